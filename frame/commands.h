// SPDX-License-Identifier: AGPL-3.0-or-later
// The toolbar button and the menu items of the module and their enabled
// and marked tests.
#pragma once

#include "vx_types.h"

void RegisterToolbarButton();
void RegisterMenuItems();

// Wraps and attaches, in this order: the execute routine with data 0, the
// enabled test with its data, the marked test with data 0.
void HookMenuItem(MenuItem item, ExecuteProc execute, TestProc enabledTest, void *enabledData,
                  TestProc markedTest);

void SelectCropTool(void *data);
HostBool EditPermissionTest(void *data);
HostBool ActiveToolTest(void *data);
