// SPDX-License-Identifier: AGPL-3.0-or-later
#include "tool/media_box.h"

#include "module/module_state.h"

HostBool mediaBoxShown = VX_FALSE;
MenuItem ShowMediaBoxItem = nullptr;
MenuItem HideMediaBoxItem = nullptr;
HostCallback DrawMediaBoxCallback = VX_NO_CALLBACK;

namespace {

DeviceRect MediaBoxOnDevice(PageView view)
{
    FixedRect media;
    host.model->GetMediaBox(host.viewer->PageOf(view), &media);
    DeviceRect dev;
    host.viewer->RectToDevice(view, &media, &dev);
    return dev;
}

// Draws in red and gives the view its colour back, so that other drawing
// routines (the region outline) keep the view's own colour.
void OutlineMediaBox(PageView view)
{
    ColorValue saved;
    host.viewer->GetColor(view, &saved);
    ColorValue red = {};
    red.space = VX_COLOR_SPACE_RGB;
    red.value[0] = 0x10000;
    host.viewer->SetColor(view, &red);
    const DeviceRect dev = MediaBoxOnDevice(view);
    host.viewer->DrawRectOutline(view, &dev, 1, nullptr, 0);
    host.viewer->DrawNow(view);
    host.viewer->SetColor(view, &saved);
}

// Puts `incoming` at index 2 of our submenu in place of `outgoing`. The
// removed item keeps the extra reference taken here, so that it stays valid
// for the other command to put back.
void SwapMediaBoxItem(MenuItem outgoing, MenuItem incoming)
{
    const Menu menu = host.viewer->AcquireMenuByName(host.viewer->GetMenubar(), kSubmenuName);
    host.viewer->RemoveMenuItem(host.viewer->AcquireMenuItem(outgoing));
    host.viewer->AddMenuItem(menu, incoming, 2);
    host.viewer->ReleaseMenu(menu);
}

}  // namespace

void DrawMediaBox(PageView view, void *)
{
    OutlineMediaBox(view);
}

void ShowMediaBox(void *)
{
    const DocWindow window = host.viewer->GetActiveDocWindow();
    mediaBoxShown = VX_TRUE;
    if (window != nullptr) {
        OutlineMediaBox(host.viewer->PageViewOf(window));
    }
    SwapMediaBoxItem(ShowMediaBoxItem, HideMediaBoxItem);
    if (DrawMediaBoxCallback != VX_NO_CALLBACK) {
        host.viewer->RegisterPageViewDrawing(DrawMediaBoxCallback, nullptr);
    }
}

void HideMediaBox(void *)
{
    const DocWindow window = host.viewer->GetActiveDocWindow();
    if (DrawMediaBoxCallback != VX_NO_CALLBACK) {
        host.viewer->UnregisterPageViewDrawing(DrawMediaBoxCallback);
    }
    mediaBoxShown = VX_FALSE;
    if (window != nullptr) {
        const PageView view = host.viewer->PageViewOf(window);
        const DeviceRect dev = MediaBoxOnDevice(view);
        host.viewer->InvalidateRect(view, &dev);
        host.viewer->DrawNow(view);
    }
    SwapMediaBoxItem(HideMediaBoxItem, ShowMediaBoxItem);
}
