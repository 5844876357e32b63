// The toolbar button and the menu items of the module, their enabled and
// marked tests, and the state the menu step leaves for the tool and the
// media box display.
#pragma once

#include "vx_types.h"

// Made by RegisterMenuItems; none (null, 0) in a host without the Tools or
// the Extensions menu.
extern MenuItem ShowMediaBoxItem;
extern MenuItem HideMediaBoxItem;
extern HostCallback DrawMediaBoxCallback;
extern HostCallback DrawCropRegionCallback;

void RegisterToolbarButton();
void RegisterMenuItems();

// Wraps and attaches, in this order: the execute routine with data 0, the
// enabled test with its data, the marked test with data 0.
void HookMenuItem(MenuItem item, ExecuteProc execute, TestProc enabledTest, void *enabledData,
                  TestProc markedTest);

void SelectCropTool(void *data);
HostBool EditPermissionTest(void *data);
HostBool ActiveToolTest(void *data);
HostBool AlwaysTrue(void *data);
HostBool AlwaysFalse(void *data);
