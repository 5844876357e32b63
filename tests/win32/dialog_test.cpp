// SPDX-License-Identifier: AGPL-3.0-or-later
// Modal dialogs: what the dialog procedure is sent for each user action,
// and how the modal run ends.
#include "resource_builders.h"

#include <vxwin32/standin.h>

#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>

using namespace win32test;

namespace {

constexpr uint32_t kRadio = 0x50010009;  // visible child, tab stop, automatic radio
constexpr uint32_t kGroup = 0x00020000;
constexpr uint32_t kPush = 0x50010000;
constexpr uint32_t kDefPush = 0x50010001;
constexpr uint32_t kStatic = 0x50000000;

struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// What the test procedure saw and how it behaves.
struct ProcScript {
    std::vector<Message> seen;
    std::optional<INT_PTR> endOnInit;
    bool handleClose = true;   // WM_CLOSE ends with 1, as the module's procedure does
    bool handleCancel = true;  // IDCANCEL ends with 0
    int firstRadio = 0;        // OK ends with 1 + index of the checked radio from here
};
ProcScript g_proc;

INT_PTR CALLBACK TestProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    g_proc.seen.push_back({message, wParam, lParam});
    switch (message) {
    case WM_INITDIALOG:
        if (g_proc.endOnInit) EndDialog(dialog, *g_proc.endOnInit);
        return 1;
    case WM_CLOSE:
        if (!g_proc.handleClose) return 0;
        EndDialog(dialog, 1);
        return 1;
    case WM_COMMAND:
        if (wParam == IDOK) {
            for (int i = 0; i < 4; ++i)
                if (IsDlgButtonChecked(dialog, g_proc.firstRadio + i)) return EndDialog(dialog, 1 + i);
            return EndDialog(dialog, 99);
        }
        if (wParam == IDCANCEL && g_proc.handleCancel) return EndDialog(dialog, 0);
        return 0;
    default:
        return 0;
    }
}

// Input that plays a fixed list of actions, then runs dry.
struct InputScript {
    std::deque<vxwin32::DialogAction> actions;
    std::vector<vxwin32::DialogState> states;
    std::vector<std::string> events;
};
InputScript g_input;

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_proc = ProcScript{};
        g_input = InputScript{};
        vxwin32::SetDialogInputSource([](const vxwin32::DialogState& state) -> std::optional<vxwin32::DialogAction> {
            g_input.states.push_back(state);
            if (g_input.actions.empty()) return std::nullopt;
            auto action = g_input.actions.front();
            g_input.actions.pop_front();
            return action;
        });
        vxwin32::SetDialogObserver(
            [](const vxwin32::DialogState&, const char* event) { g_input.events.push_back(event); });
        owner_ = vxwin32::CreateTopLevelWindow("Host", RECT{100, 50, 900, 650});
    }
    void TearDown() override {
        vxwin32::SetDialogInputSource(nullptr);
        vxwin32::SetDialogObserver(nullptr);
    }

    static void Queue(std::initializer_list<vxwin32::DialogAction> actions) {
        g_input.actions.insert(g_input.actions.end(), actions);
    }
    static vxwin32::DialogAction Click(int id) { return {vxwin32::DialogAction::ClickControl, id}; }
    static vxwin32::DialogAction Key(vxwin32::DialogAction::Kind kind) { return {kind, 0}; }

    INT_PTR Run(HINSTANCE module, int name = 117) {
        return DialogBoxParamA(module, MAKEINTRESOURCEA(name), owner_, TestProc, 42);
    }
    INT_PTR RunPagesToCrop() {
        static HINSTANCE module = vxwin32::RegisterModuleFile(VX_MODULE_PATH);
        g_proc.firstRadio = 1019;
        return Run(module);
    }
    static const vxwin32::ControlState& Control(const vxwin32::DialogState& state, int id) {
        for (const auto& control : state.controls)
            if (control.id == id) return control;
        throw std::runtime_error("no control " + std::to_string(id));
    }
    static std::vector<bool> Checks(const vxwin32::DialogState& state) {
        std::vector<bool> checks;
        for (const auto& control : state.controls) checks.push_back(control.checked);
        return checks;
    }

    HWND owner_ = nullptr;
};

// Two radio groups and a push button group, to see groups kept apart.
HINSTANCE TwoGroupModule() {
    static HINSTANCE module =
        RegisterResources({{5, uint16_t{117}, 1033,
                            BuildTemplate(DialogLayout{0x80C800C0,
                                                       0,
                                                       0,
                                                       100,
                                                       80,
                                                       "Groups",
                                                       8,
                                                       "MS Sans Serif",
                                                       {{"A1", 11, kRadio | kGroup, 0, 0, 10, 10},
                                                        {"A2", 12, kRadio, 0, 10, 10, 10},
                                                        {"A3", 13, kRadio, 0, 20, 10, 10},
                                                        {"B1", 21, kRadio | kGroup, 20, 0, 10, 10},
                                                        {"B2", 22, kRadio, 20, 10, 10, 10},
                                                        {"Label", 30, kStatic | kGroup, 40, 0, 10, 10, 0x82},
                                                        {"OK", 1, kPush | kGroup, 0, 60, 20, 10},
                                                        {"Cancel", 2, kPush, 30, 60, 20, 10}}})}});
    return module;
}

}  // namespace

TEST_F(DialogTest, PagesToCropOpensWithItsTemplateLaidOutInPixels) {
    Queue({Key(vxwin32::DialogAction::PressEnter)});
    EXPECT_EQ(RunPagesToCrop(), 99);  // nothing checked yet: the procedure says so
    ASSERT_EQ(g_input.states.size(), 1u);
    const vxwin32::DialogState& state = g_input.states[0];
    EXPECT_EQ(state.title, "Pages To Crop");
    EXPECT_EQ(state.style, 0x80C800C0u);
    // 193 x 95 units at 6 x 13 base units, in a 3-pixel frame under an
    // 18-pixel caption, at the owner's corner.
    EXPECT_EQ(state.windowRect.left, 100);
    EXPECT_EQ(state.windowRect.top, 50);
    EXPECT_EQ(state.windowRect.right, 100 + 290 + 6);
    EXPECT_EQ(state.windowRect.bottom, 50 + 154 + 24);
    ASSERT_EQ(state.controls.size(), 6u);
    const auto& current = Control(state, 1019);
    EXPECT_EQ(current.className, "BUTTON");
    EXPECT_EQ(current.text, "Current Page:");
    EXPECT_TRUE(current.isRadio);
    EXPECT_EQ(current.style, 0x50030009u);
    EXPECT_EQ((std::vector<LONG>{current.rect.left, current.rect.top, current.rect.right, current.rect.bottom}),
              (std::vector<LONG>{114, 87, 270, 103}));
    const auto& even = Control(state, 1022);
    EXPECT_EQ((std::vector<LONG>{even.rect.left, even.rect.top, even.rect.right, even.rect.bottom}),
              (std::vector<LONG>{274, 112, 382, 128}));
    const auto& cancel = Control(state, 2);
    EXPECT_FALSE(cancel.isRadio);
    EXPECT_EQ(cancel.text, "Cancel");
    EXPECT_EQ((std::vector<LONG>{cancel.rect.left, cancel.rect.top, cancel.rect.right, cancel.rect.bottom}),
              (std::vector<LONG>{252, 191, 327, 214}));
}

TEST_F(DialogTest, InitDialogGetsTheFirstTabStopAndTheInitParameter) {
    Queue({Key(vxwin32::DialogAction::PressEscape)});
    EXPECT_EQ(RunPagesToCrop(), 0);
    ASSERT_FALSE(g_proc.seen.empty());
    EXPECT_EQ(g_proc.seen[0].message, static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(g_proc.seen[0].lParam, 42);
    EXPECT_EQ(reinterpret_cast<HWND>(g_proc.seen[0].wParam), Control(g_input.states.at(0), 1019).window);
    EXPECT_EQ(g_input.events, (std::vector<std::string>{"shown", "ending"}));
}

TEST_F(DialogTest, ClickingARadioButtonMovesTheCheckWithinItsGroupOnly) {
    Queue({Click(12), Click(22), Click(13), Click(30), Key(vxwin32::DialogAction::PressEnter)});
    g_proc.firstRadio = 11;
    EXPECT_EQ(Run(TwoGroupModule()), 3);
    ASSERT_EQ(g_input.states.size(), 5u);
    //                                          A1     A2     A3     B1     B2     Label  OK     Cancel
    EXPECT_EQ(Checks(g_input.states[1]), (std::vector<bool>{false, true, false, false, false, false, false, false}));
    EXPECT_EQ(Checks(g_input.states[2]), (std::vector<bool>{false, true, false, false, true, false, false, false}));
    EXPECT_EQ(Checks(g_input.states[3]), (std::vector<bool>{false, false, true, false, true, false, false, false}));
    // Each click told the procedure: BN_CLICKED with the control's handle;
    // the static label sent nothing.
    std::vector<std::pair<WPARAM, HWND>> commands;
    for (const Message& m : g_proc.seen)
        if (m.message == WM_COMMAND) commands.push_back({m.wParam, reinterpret_cast<HWND>(m.lParam)});
    const auto& state = g_input.states[0];
    EXPECT_EQ(commands, (std::vector<std::pair<WPARAM, HWND>>{{12, Control(state, 12).window},
                                                              {22, Control(state, 22).window},
                                                              {13, Control(state, 13).window},
                                                              {IDOK, Control(state, IDOK).window}}));
}

TEST_F(DialogTest, ProcedureChecksAndLabelsShowInTheState) {
    g_proc.firstRadio = 1019;
    static HINSTANCE module = vxwin32::RegisterModuleFile(VX_MODULE_PATH);
    const DLGPROC proc = [](HWND dialog, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            SetDlgItemTextA(dialog, 1020, "All Pages: (1-12)");
            CheckRadioButton(dialog, 1019, 1022, 1021);
            return 1;
        }
        if (message == WM_COMMAND && wParam == IDOK) {
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1020), static_cast<UINT>(BST_CHECKED));
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1021), static_cast<UINT>(BST_UNCHECKED));
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1), static_cast<UINT>(BST_UNCHECKED));  // a push button
            EXPECT_EQ(IsDlgButtonChecked(dialog, 4711), 0u);
            EXPECT_FALSE(SetDlgItemTextA(dialog, 4711, "x"));
            return EndDialog(dialog, 7);
        }
        return 0;
    };
    Queue({Click(1020), Key(vxwin32::DialogAction::PressEnter)});
    EXPECT_EQ(DialogBoxParamA(module, MAKEINTRESOURCEA(117), owner_, proc, 0), 7);
    const auto& first = g_input.states.at(0);
    EXPECT_EQ(Control(first, 1020).text, "All Pages: (1-12)");
    EXPECT_EQ(Checks(first), (std::vector<bool>{false, false, true, false, false, false}));
    const auto last = vxwin32::LastDialog();
    ASSERT_TRUE(last.has_value());
    EXPECT_TRUE(Control(*last, 1020).checked);
    EXPECT_FALSE(Control(*last, 1021).checked);
}

TEST_F(DialogTest, KeysAndCloseBoxReachTheProcedureAsThePlatformSendsThem) {
    Queue({Click(1022), Key(vxwin32::DialogAction::PressEnter)});
    EXPECT_EQ(RunPagesToCrop(), 4);
    Queue({Click(2)});
    EXPECT_EQ(RunPagesToCrop(), 0);
    Queue({Key(vxwin32::DialogAction::PressEscape)});
    EXPECT_EQ(RunPagesToCrop(), 0);
    Queue({Key(vxwin32::DialogAction::CloseBox)});
    EXPECT_EQ(RunPagesToCrop(), 1);
    // A procedure that leaves WM_CLOSE to the default gets IDCANCEL.
    g_proc.handleClose = false;
    g_proc.seen.clear();
    Queue({Key(vxwin32::DialogAction::CloseBox), Click(1021), Key(vxwin32::DialogAction::PressEnter)});
    EXPECT_EQ(RunPagesToCrop(), 0);
    EXPECT_EQ(g_input.actions.size(), 2u);  // ended by the close box itself
    ASSERT_EQ(g_proc.seen.size(), 3u);
    EXPECT_EQ(g_proc.seen[1].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(g_proc.seen[2].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(g_proc.seen[2].wParam, static_cast<WPARAM>(IDCANCEL));
}

TEST_F(DialogTest, FocusGoesToTheFirstEnabledTabStopAndEnterToTheDefaultButton) {
    constexpr uint32_t kDisabled = 0x08000000;
    const HINSTANCE module =
        RegisterResources({{5, uint16_t{117}, 1033,
                            BuildTemplate(DialogLayout{0x80C800C0,
                                                       0,
                                                       0,
                                                       60,
                                                       40,
                                                       "Default",
                                                       8,
                                                       "MS Sans Serif",
                                                       {{"Label", 30, kStatic, 0, 0, 20, 10, 0x82},
                                                        {"Off", 5, kPush | kDisabled, 0, 10, 20, 10},
                                                        {"OK", 1, kPush, 0, 20, 20, 10},
                                                        {"Go", 77, kDefPush, 0, 30, 20, 10}}})}});
    Queue({Click(5), Key(vxwin32::DialogAction::PressEnter), Key(vxwin32::DialogAction::PressEscape)});
    EXPECT_EQ(Run(module), 0);
    ASSERT_EQ(g_proc.seen.size(), 3u);  // init, Enter, Escape: the disabled button said nothing
    EXPECT_EQ(reinterpret_cast<HWND>(g_proc.seen[0].wParam), Control(g_input.states.at(0), 1).window);
    EXPECT_EQ(g_proc.seen[1].wParam, 77u);
}

TEST_F(DialogTest, EndDialogDuringInitEndsWithoutShowingTheDialog) {
    g_proc.endOnInit = 5;
    EXPECT_EQ(RunPagesToCrop(), 5);
    EXPECT_TRUE(g_input.states.empty());
    EXPECT_EQ(g_input.events, (std::vector<std::string>{"ending"}));
    ASSERT_TRUE(vxwin32::LastDialog().has_value());
    EXPECT_EQ(vxwin32::LastDialog()->title, "Pages To Crop");
}

TEST_F(DialogTest, InputRunningOutEndsAsEscapeThenWithMinusOne) {
    EXPECT_EQ(RunPagesToCrop(), 0);
    EXPECT_EQ(g_input.events, (std::vector<std::string>{"shown", "input-exhausted", "ending"}));
    g_proc.handleCancel = false;
    EXPECT_EQ(RunPagesToCrop(), -1);
    vxwin32::SetDialogInputSource(nullptr);
    EXPECT_EQ(RunPagesToCrop(), -1);
}

TEST_F(DialogTest, EndlessInputCannotHangTheModalLoop) {
    int asked = 0;
    vxwin32::SetDialogInputSource([&asked](const vxwin32::DialogState&) -> std::optional<vxwin32::DialogAction> {
        ++asked;
        return vxwin32::DialogAction{vxwin32::DialogAction::ClickControl, 1019};
    });
    EXPECT_EQ(RunPagesToCrop(), -1);
    EXPECT_EQ(asked, 1000);
}

TEST_F(DialogTest, AnInputSourceErrorIsKeptForTheHost) {
    vxwin32::SetDialogInputSource([](const vxwin32::DialogState&) -> std::optional<vxwin32::DialogAction> {
        throw std::runtime_error("no answer queued");
    });
    EXPECT_EQ(RunPagesToCrop(), 0);  // ended as Escape would
    const std::exception_ptr error = vxwin32::TakeDialogInputError();
    ASSERT_TRUE(error);
    EXPECT_THROW(std::rethrow_exception(error), std::runtime_error);
    EXPECT_FALSE(vxwin32::TakeDialogInputError());
}

TEST_F(DialogTest, HandlesOfAnEndedDialogAreDead) {
    HWND dialog = nullptr;
    g_proc.endOnInit = 3;
    EXPECT_EQ(RunPagesToCrop(), 3);
    dialog = vxwin32::LastDialog()->window;
    const HWND control = vxwin32::LastDialog()->controls.at(0).window;
    EXPECT_FALSE(EndDialog(dialog, 1));
    EXPECT_FALSE(SetDlgItemTextA(dialog, 1019, "x"));
    EXPECT_FALSE(CheckRadioButton(dialog, 1019, 1022, 1019));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1019), 0u);
    RECT rect{};
    EXPECT_FALSE(GetWindowRect(dialog, &rect));
    EXPECT_FALSE(GetWindowRect(control, &rect));
    EXPECT_FALSE(SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOSIZE));
    EXPECT_FALSE(EndDialog(owner_, 1));  // not a dialog
}

TEST_F(DialogTest, DialogsThatCannotBeMadeReturnMinusOne) {
    static HINSTANCE module = vxwin32::RegisterModuleFile(VX_MODULE_PATH);
    EXPECT_EQ(Run(module, 118), -1);
    EXPECT_EQ(DialogBoxParamA(module, MAKEINTRESOURCEA(117), owner_, nullptr, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(117), owner_, TestProc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(module, MAKEINTRESOURCEA(117), reinterpret_cast<HWND>(uintptr_t{8}), TestProc, 0), -1);
    EXPECT_TRUE(g_proc.seen.empty());
    // By name: "#117" is the number.
    Queue({Key(vxwin32::DialogAction::PressEscape)});
    EXPECT_EQ(DialogBoxParamA(module, "#117", owner_, TestProc, 0), 0);
}

TEST_F(DialogTest, ExtendedTemplateGivesTheSameDialog) {
    const DialogLayout layout = PagesToCropLayout();
    const HINSTANCE plain = RegisterResources({{5, std::string("PAGES"), 1033, BuildTemplate(layout)}});
    const HINSTANCE extended = RegisterResources({{5, std::string("PAGES"), 1033, BuildTemplateEx(layout)}});
    g_proc.endOnInit = 0;
    ASSERT_EQ(DialogBoxParamA(plain, "pages", owner_, TestProc, 0), 0);
    const vxwin32::DialogState a = *vxwin32::LastDialog();
    ASSERT_EQ(DialogBoxParamA(extended, "Pages", owner_, TestProc, 0), 0);
    const vxwin32::DialogState b = *vxwin32::LastDialog();
    EXPECT_EQ(a.title, b.title);
    EXPECT_EQ(a.style, b.style);
    ASSERT_EQ(a.controls.size(), b.controls.size());
    for (size_t i = 0; i < a.controls.size(); ++i) {
        EXPECT_EQ(a.controls[i].id, b.controls[i].id);
        EXPECT_EQ(a.controls[i].text, b.controls[i].text);
        EXPECT_EQ(a.controls[i].style, b.controls[i].style);
        EXPECT_EQ(a.controls[i].rect.left, b.controls[i].rect.left);
        EXPECT_EQ(a.controls[i].rect.bottom, b.controls[i].rect.bottom);
    }
}

TEST_F(DialogTest, EveryTruncatedOrMalformedTemplateGivesMinusOne) {
    for (const auto& full : {BuildTemplate(PagesToCropLayout()), BuildTemplateEx(PagesToCropLayout())}) {
        std::vector<ResourceEntry> cut;
        for (size_t length = 0; length < full.size(); ++length)
            cut.push_back({5, static_cast<uint16_t>(length + 1), 1033, Bytes(full.begin(), full.begin() + length)});
        const HINSTANCE module = RegisterResources(cut);
        for (size_t length = 0; length < full.size(); ++length)
            EXPECT_EQ(Run(module, static_cast<int>(length + 1)), -1) << "cut at " << length;
    }
    DialogLayout badClass = PagesToCropLayout();
    badClass.controls[3].classOrdinal = 0x99;
    Bytes manyControls = BuildTemplate(PagesToCropLayout());
    manyControls[8] = 0xFF;  // the control count
    manyControls[9] = 0xFF;
    const HINSTANCE module =
        RegisterResources({{5, uint16_t{1}, 1033, BuildTemplate(badClass)}, {5, uint16_t{2}, 1033, manyControls}});
    EXPECT_EQ(Run(module, 1), -1);
    EXPECT_EQ(Run(module, 2), -1);
    EXPECT_TRUE(g_proc.seen.empty());
}
