// The media box display: a red outline around the media box of the page
// shown, in every page view drawn, while it is switched on.
#pragma once

#include "vx_types.h"

extern HostBool mediaBoxShown;

void DrawMediaBox(PageView view, void *data);
void ShowMediaBox(void *data);
void HideMediaBox(void *data);
