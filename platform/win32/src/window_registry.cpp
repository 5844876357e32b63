// SPDX-License-Identifier: AGPL-3.0-or-later
#include "window_registry.h"

#include "handle_table.h"

#include <vxwin32/standin.h>

#include <algorithm>
#include <limits>

namespace vxwin32 {
namespace detail {
namespace {

HandleTable<HWND, Window>& Windows() {
    static HandleTable<HWND, Window> table(0x10000000);
    return table;
}

constexpr UINT kSwpNoMove = 0x0002;  // not in the module's header subset

}  // namespace

HWND AddWindow(Window window) { return Windows().Add(std::move(window)); }
void RemoveWindow(HWND handle) { Windows().Remove(handle); }
Window* FindWindow(HWND handle) { return Windows().Find(handle); }

Window* FindDialog(HWND handle) {
    Window* window = FindWindow(handle);
    return window && window->kind == Window::Kind::Dialog ? window : nullptr;
}

HWND DialogItemHandle(HWND dialog, int id) {
    const Window* owner = FindDialog(dialog);
    if (!owner) return nullptr;
    for (HWND control : owner->controls)
        if (const Window* item = FindWindow(control); item && item->id == id) return control;
    return nullptr;
}

Window* FindDialogItem(HWND dialog, int id) {
    const HWND handle = DialogItemHandle(dialog, id);
    return handle ? FindWindow(handle) : nullptr;
}

LONG AddClamped(int64_t a, int64_t b) {
    constexpr int64_t low = std::numeric_limits<LONG>::min();
    constexpr int64_t high = std::numeric_limits<LONG>::max();
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) return static_cast<LONG>(b > 0 ? high : low);
    return static_cast<LONG>(std::clamp(sum, low, high));
}

int64_t Difference(int64_t a, int64_t b) {
    int64_t difference = 0;
    if (__builtin_sub_overflow(a, b, &difference))
        return b < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return difference;
}

RECT MovedRect(const RECT& rect, int64_t dx, int64_t dy) {
    return RECT{AddClamped(rect.left, dx), AddClamped(rect.top, dy), AddClamped(rect.right, dx),
                AddClamped(rect.bottom, dy)};
}

}  // namespace detail

HWND CreateTopLevelWindow(const std::string& title, const RECT& screenRect) {
    detail::Window window;
    window.text = title;
    window.rect = screenRect;
    return detail::AddWindow(std::move(window));
}

void MoveTopLevelWindow(HWND window, const RECT& screenRect) {
    detail::Window* found = detail::FindWindow(window);
    if (!found || found->kind != detail::Window::Kind::TopLevel) throw Win32Error("not a top-level window");
    found->rect = screenRect;
}

}  // namespace vxwin32

using vxwin32::detail::Window;

extern "C" BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    const Window* window = vxwin32::detail::FindWindow(hWnd);
    if (!window || !lpRect) return FALSE;
    *lpRect = window->rect;
    return TRUE;
}

extern "C" BOOL WINAPI SetWindowPos(HWND hWnd, HWND /*hWndInsertAfter: no z-order here*/, int X, int Y, int cx, int cy,
                                    UINT uFlags) {
    using namespace vxwin32::detail;
    Window* window = FindWindow(hWnd);
    if (!window) return FALSE;
    // A control's position is given in its dialog's client coordinates.
    int64_t originX = 0, originY = 0;
    if (window->kind == Window::Kind::Control) {
        const Window* dialog = FindDialog(window->parent);
        if (!dialog) return FALSE;
        originX = AddClamped(dialog->rect.left, dialog->clientLeft);
        originY = AddClamped(dialog->rect.top, dialog->clientTop);
    }
    const RECT old = window->rect;
    RECT moved = old;
    if (!(uFlags & kSwpNoMove)) {
        const LONG left = AddClamped(originX, X);
        const LONG top = AddClamped(originY, Y);
        moved = MovedRect(old, Difference(left, old.left), Difference(top, old.top));
    }
    if (!(uFlags & SWP_NOSIZE)) {
        moved.right = AddClamped(moved.left, std::max(cx, 0));
        moved.bottom = AddClamped(moved.top, std::max(cy, 0));
    }
    window->rect = moved;
    // Controls travel with their dialog.
    for (HWND control : window->controls)
        if (Window* item = FindWindow(control))
            item->rect = MovedRect(item->rect, Difference(moved.left, old.left), Difference(moved.top, old.top));
    return TRUE;
}
