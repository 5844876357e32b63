// The media box display: a red outline around the media box of the page
// shown, in every page view drawn, while it is switched on.
#pragma once

#include "vx_types.h"

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
