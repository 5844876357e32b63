// SPDX-License-Identifier: AGPL-3.0-or-later
// The host's main window: a real top-level window of its own class. It owns
// the module's modal dialogs, so their modal loop tells it each time the
// dialog waits for input (WM_ENTERIDLE), and the host answers then.
#include "native.h"

namespace vxwin32 {
namespace {

constexpr wchar_t kClassName[] = L"VelloraMainWindow";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
        native::DriveDialog(reinterpret_cast<HWND>(lParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterMainWindowClass() {
    static const bool registered = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = MainWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kClassName;
        if (RegisterClassW(&windowClass) == 0) throw Win32Error("cannot register the main window's class");
        return true;
    }();
    (void)registered;
}

}  // namespace

// Never shown: the dialogs it owns are, and they stand where the host says
// its window is.
HWND CreateTopLevelWindow(const std::string& title, const RECT& screenRect) {
    RegisterMainWindowClass();
    native::WatchDialogsOfThisThread();
    HWND window =
        CreateWindowExW(0, kClassName, Wide(title).c_str(), WS_OVERLAPPEDWINDOW, screenRect.left, screenRect.top,
                        screenRect.right - screenRect.left, screenRect.bottom - screenRect.top, nullptr, nullptr,
                        GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) throw Win32Error("cannot create the main window");
    return window;
}

void MoveTopLevelWindow(HWND window, const RECT& screenRect) {
    MoveWindow(window, screenRect.left, screenRect.top, screenRect.right - screenRect.left,
               screenRect.bottom - screenRect.top, FALSE);
}

}  // namespace vxwin32
