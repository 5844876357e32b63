// SPDX-License-Identifier: AGPL-3.0-or-later
// The Pages To Crop dialog on the window-system stand-in, with the module's
// own dialog template: labels, the starting choice, each way out, centring.
#include <gtest/gtest.h>

#include <deque>

#include <vxwin32/standin.h>

#include "fake_host.h"
#include "module/module_state.h"
#include "ui/pages_dialog.h"

namespace {

using Action = vxwin32::DialogAction;

std::deque<Action> actions;

class PagesDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module = vxwin32::RegisterModuleFile(VX_MODULE_PATH);
        mainWindow = vxwin32::CreateTopLevelWindow("main", RECT{100, 50, 1101, 850});
    }

    void SetUp() override
    {
        fake::Install(std::vector<fake::FakePage>(12));
        fake::state.currentPage = 4;
        moduleInstance = module;
        hostMainWindow = mainWindow;
        actions.clear();
        vxwin32::SetDialogInputSource([](const vxwin32::DialogState &) -> std::optional<Action> {
            if (actions.empty()) return std::nullopt;
            const Action next = actions.front();
            actions.pop_front();
            return next;
        });
    }

    void TearDown() override
    {
        vxwin32::SetDialogInputSource(nullptr);
    }

    static PageChoice Ask(std::deque<Action> steps)
    {
        actions = std::move(steps);
        return AskPagesToCrop();
    }

    static const vxwin32::ControlState &Control(const vxwin32::DialogState &dialog, int id)
    {
        for (const vxwin32::ControlState &control : dialog.controls) {
            if (control.id == id) return control;
        }
        throw std::runtime_error("no control " + std::to_string(id));
    }

    static HINSTANCE module;
    static HWND mainWindow;
};

HINSTANCE PagesDialog::module = nullptr;
HWND PagesDialog::mainWindow = nullptr;

Action Click(int id)
{
    return Action{Action::ClickControl, id};
}

TEST_F(PagesDialog, EachWayOutGivesItsChoice)
{
    const struct {
        const char *name;
        std::deque<Action> steps;
        PageChoice want;
    } cases[] = {
        {"OK as opened", {Click(IDOK)}, PageChoice::Current},
        {"all pages", {Click(IDC_ALL_PAGES), Click(IDOK)}, PageChoice::All},
        {"odd pages", {Click(IDC_ODD_PAGES), Click(IDOK)}, PageChoice::Odd},
        {"even pages", {Click(IDC_EVEN_PAGES), Click(IDOK)}, PageChoice::Even},
        {"back to current",
         {Click(IDC_EVEN_PAGES), Click(IDC_CURRENT_PAGE), Click(IDOK)},
         PageChoice::Current},
        {"Cancel", {Click(IDC_ODD_PAGES), Click(IDCANCEL)}, PageChoice::Cancel},
        {"Escape", {Action{Action::PressEscape, 0}}, PageChoice::Cancel},
        // Dismissing the dialog must never crop the current page.
        {"close box", {Click(IDC_ALL_PAGES), Action{Action::CloseBox, 0}}, PageChoice::Cancel},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.want, Ask(c.steps)) << c.name;
        EXPECT_TRUE(actions.empty()) << c.name;
    }
    // Any other message is left to the dialog manager.
    const UINT paint = 0x000F;
    EXPECT_EQ(0, PagesToCropDialogProc(nullptr, paint, 0, 0));
}

TEST_F(PagesDialog, LabelsComeFromTheActiveDocumentAndCurrentIsCheckedOnEveryOpening)
{
    Ask({Click(IDC_EVEN_PAGES), Click(IDOK)});
    fake::state.currentPage = 0;
    fake::state.pages.resize(3);
    Ask({Click(IDCANCEL)});

    const std::optional<vxwin32::DialogState> dialog = vxwin32::LastDialog();
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ("Pages To Crop", dialog->title);
    EXPECT_EQ("Current Page: (1)", Control(*dialog, IDC_CURRENT_PAGE).text);
    EXPECT_EQ("All Pages: (1-3)", Control(*dialog, IDC_ALL_PAGES).text);
    EXPECT_TRUE(Control(*dialog, IDC_CURRENT_PAGE).checked);
    EXPECT_FALSE(Control(*dialog, IDC_EVEN_PAGES).checked);
}

TEST_F(PagesDialog, TwelvePagesFifthCurrent)
{
    Ask({Click(IDOK)});
    const std::optional<vxwin32::DialogState> dialog = vxwin32::LastDialog();
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ("Current Page: (5)", Control(*dialog, IDC_CURRENT_PAGE).text);
    EXPECT_EQ("All Pages: (1-12)", Control(*dialog, IDC_ALL_PAGES).text);
}

TEST_F(PagesDialog, OpensCentredOverTheMainWindowAtItsTemplateSize)
{
    for (const RECT &where : {RECT{100, 50, 1101, 850}, RECT{-300, 20, 200, 421}}) {
        vxwin32::MoveTopLevelWindow(mainWindow, where);
        Ask({Click(IDOK)});
        const RECT r = vxwin32::LastDialog()->windowRect;
        const long width = r.right - r.left, height = r.bottom - r.top;
        EXPECT_EQ(where.left + (where.right - where.left) / 2 - width / 2, r.left);
        EXPECT_EQ(where.top + (where.bottom - where.top) / 2 - height / 2, r.top);
        EXPECT_GT(width, 193);  // 193 by 95 dialog units, frame included
        EXPECT_GT(height, 95);
    }
}

}  // namespace
