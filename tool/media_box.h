// SPDX-License-Identifier: AGPL-3.0-or-later
// The media box display: a red outline around the media box of the page
// shown, in every page view drawn, while it is switched on.
#pragma once

#include "vx_types.h"

// The name the menu registration gives the plug-in's submenu, by which the
// display finds it again; the crop tool's type has the same name.
inline constexpr char kSubmenuName[] = "ZUNO:Trim Vex";

extern HostBool mediaBoxShown;

// The two items that take turns at index 2 of the submenu, and the wrapped
// drawing routine; made by the menu registration, and none (null, 0) in a
// host without the Tools or the Extensions menu.
extern MenuItem ShowMediaBoxItem;
extern MenuItem HideMediaBoxItem;
extern HostCallback DrawMediaBoxCallback;

void DrawMediaBox(PageView view, void *data);
void ShowMediaBox(void *data);
void HideMediaBox(void *data);
