// SPDX-License-Identifier: AGPL-3.0-or-later
// Window rectangles: the host's main window and a dialog moved by its
// procedure, as the module centres Pages To Crop.
#include "resource_builders.h"

#include <vxwin32/standin.h>

#include <gtest/gtest.h>

#include <climits>

namespace {

std::vector<LONG> Sides(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

struct MoveScript {
    int x = 0, y = 0, cx = 0, cy = 0;
    UINT flags = SWP_NOSIZE;
    RECT before{}, after{}, controlBefore{}, controlAfter{};
    HWND firstControl = nullptr;
};
MoveScript g_move;

INT_PTR CALLBACK MovingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_INITDIALOG) return 0;
    g_move.firstControl = reinterpret_cast<HWND>(wParam);
    GetWindowRect(dialog, &g_move.before);
    GetWindowRect(g_move.firstControl, &g_move.controlBefore);
    EXPECT_TRUE(SetWindowPos(dialog, nullptr, g_move.x, g_move.y, g_move.cx, g_move.cy, g_move.flags));
    GetWindowRect(dialog, &g_move.after);
    GetWindowRect(g_move.firstControl, &g_move.controlAfter);
    EndDialog(dialog, 0);
    return 1;
}

INT_PTR RunMoving(HWND owner) {
    static HINSTANCE module = vxwin32::RegisterModuleFile(VX_MODULE_PATH);
    return DialogBoxParamA(module, MAKEINTRESOURCEA(117), owner, MovingProc, 0);
}

}  // namespace

TEST(Windows, MainWindowKeepsTheRectangleTheHostGives) {
    const HWND main = vxwin32::CreateTopLevelWindow("Vellora", RECT{10, 20, 810, 620});
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(main, &rect));
    EXPECT_EQ(Sides(rect), (std::vector<LONG>{10, 20, 810, 620}));
    vxwin32::MoveTopLevelWindow(main, RECT{-300, -200, 100, 100});
    ASSERT_TRUE(GetWindowRect(main, &rect));
    EXPECT_EQ(Sides(rect), (std::vector<LONG>{-300, -200, 100, 100}));
    EXPECT_FALSE(GetWindowRect(main, nullptr));
    EXPECT_FALSE(GetWindowRect(nullptr, &rect));
    EXPECT_FALSE(GetWindowRect(reinterpret_cast<HWND>(uintptr_t{0x10000001}), &rect));
    EXPECT_THROW(vxwin32::MoveTopLevelWindow(nullptr, rect), vxwin32::Win32Error);
}

TEST(Windows, SetWindowPosWithNoSizeMovesTheDialogAndItsControls) {
    const HWND main = vxwin32::CreateTopLevelWindow("Vellora", RECT{0, 0, 1024, 768});
    g_move = MoveScript{};
    g_move.x = 364;
    g_move.y = 295;
    ASSERT_EQ(RunMoving(main), 0);
    EXPECT_EQ(Sides(g_move.before), (std::vector<LONG>{0, 0, 296, 178}));
    EXPECT_EQ(Sides(g_move.after), (std::vector<LONG>{364, 295, 660, 473}));
    EXPECT_EQ(Sides(g_move.controlAfter),
              (std::vector<LONG>{g_move.controlBefore.left + 364, g_move.controlBefore.top + 295,
                                 g_move.controlBefore.right + 364, g_move.controlBefore.bottom + 295}));
    // What the host sees after the dialog has ended.
    EXPECT_EQ(Sides(vxwin32::LastDialog()->windowRect), Sides(g_move.after));
}

TEST(Windows, SetWindowPosWithoutNoSizeResizes) {
    const HWND main = vxwin32::CreateTopLevelWindow("Vellora", RECT{0, 0, 1024, 768});
    g_move = MoveScript{};
    g_move = MoveScript{5, 6, 70, 80, 0};
    ASSERT_EQ(RunMoving(main), 0);
    EXPECT_EQ(Sides(g_move.after), (std::vector<LONG>{5, 6, 75, 86}));
}

TEST(Windows, ExtremePositionsSaturateInsteadOfOverflowing) {
    const HWND main = vxwin32::CreateTopLevelWindow("Vellora", RECT{LONG_MAX - 10, LONG_MAX - 10, LONG_MAX, LONG_MAX});
    g_move = MoveScript{};
    g_move.x = INT_MAX;
    g_move.y = INT_MIN;
    ASSERT_EQ(RunMoving(main), 0);
    EXPECT_EQ(g_move.before.right, LONG_MAX);
    EXPECT_LE(g_move.after.left, g_move.after.right);
    EXPECT_LE(g_move.after.top, g_move.after.bottom);
    EXPECT_LE(g_move.controlAfter.left, g_move.controlAfter.right);
}
