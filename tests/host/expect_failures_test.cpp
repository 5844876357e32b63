// SPDX-License-Identifier: AGPL-3.0-or-later
// Every expectation a script can write fails, with its own message, when
// what it checks is not so: an expectation that cannot fail checks nothing.
#include "host/run_script.h"
#include "script/interpreter.h"

#include <vxwin32/standin.h>

#include <gtest/gtest.h>

#include <set>

namespace vellora {
namespace {

const std::string kLoad = std::string("load \"") + VX_MODULE_PATH + "\"\n";
// A region dragged out with the crop tool on a two-page document.
const std::string kRegion = kLoad + "new doc 2\nbutton ZUNO:TrimVex\npdrag 100 100 400 500\n";

struct FailingCase {
    std::string command;  // the expectation's name in the command table
    std::string script;   // its last line is the one that must fail
    std::string message;
};

const FailingCase kCases[] = {
    {"expect alert", "new doc 1\nexpect alert \"Hello\"\n", "no alert was shown; expected \"Hello\""},
    {"expect alert", kLoad + "menu ZUNO:TrimVexAbout\nexpect alert \"\"\nexpect alert \"again\"\n",
     "no alert was shown; expected \"again\""},
    {"expect alert", kLoad + "menu ZUNO:TrimVexAbout\nexpect alert \"About\"\n",
     "the next alert is \"\", expected \"About\""},
    {"expect no-alert", kLoad + "menu ZUNO:TrimVexAbout\nexpect no-alert\n", "an alert was shown: \"\""},
    {"expect crop", "new doc 1\npage 1 crop 10 20 300 400\nexpect crop 1 10 20 300 400.5\n",
     "the crop box of page 1 is 10 20 300 400, expected 10 20 300 400.5"},
    {"expect media", "new doc 2 300 400\nexpect media 2 0 0 400 300\n",
     "the media box of page 2 is 0 0 300 400, expected 0 0 400 300"},
    {"expect enabled", kLoad + "expect enabled ZUNO:TVRevert 1\n", "\"ZUNO:TVRevert\" enabled is 0, expected 1"},
    {"expect enabled", "new doc 1\nexpect enabled NoSuchItem 1\n",
     "no menu item or toolbar button is named \"NoSuchItem\""},
    {"expect marked", kLoad + "new doc 1\nexpect marked ZUNO:TrimVex 1\n", "\"ZUNO:TrimVex\" marked is 0, expected 1"},
    {"expect items", "new doc 1\nexpect items Nope\n", "no menu is named \"Nope\""},
    {"expect items", kLoad + "expect items \"ZUNO:Trim Vex\" ZUNO:TrimVexBBox ZUNO:TVShowMediaBox\n",
     "menu \"ZUNO:Trim Vex\" holding is \"ZUNO:TrimVexBBox\" \"ZUNO:TrimVexMediaBox\" \"ZUNO:TVShowMediaBox\", "
     "expected \"ZUNO:TrimVexBBox\" \"ZUNO:TVShowMediaBox\""},
    {"expect buttons", "new doc 1\nexpect buttons ZUNO:TrimVex\n", "the toolbar holding is "},
    {"expect region", kLoad + "new doc 1\nexpect region 100 100 400 500\n",
     "the region is none, expected 100 100 400 500"},
    {"expect region", kRegion + "expect region none\n", "the region is 100 100 400 500, expected none"},
    {"expect region", kRegion + "expect region 100 100 400 501\n",
     "the region is 100 100 400 500, expected 100 100 400 501"},
    {"expect cursor", kRegion + "phover 200 200\nexpect cursor crop\n", "the cursor is scissors, expected crop"},
    {"expect cursor", kRegion + "expect cursor arrow\n", "unknown cursor \"arrow\""},
    {"expect active-tool", kLoad + "new doc 1\nbutton ZUNO:TrimVex\nexpect active-tool none\n",
     "the active tool is \"ZUNO:Trim Vex\", expected \"none\""},
    {"expect progress", kRegion + "answer \"All Pages\"\npclick 200 200\nexpect progress \"\"\n",
     "the progress since the last check is \"begin duration:2 value:0 value:0 value:1 end\", expected \"\""},
    {"expect calls", kRegion + "answer \"Current Page\"\npclick 200 200\nexpect calls Model.SetCropBox 2\n",
     "the number of Model.SetCropBox calls in the last action is 1, expected 2"},
    {"expect dialog-label", kRegion + "answer Cancel\npclick 200 200\nexpect dialog-label 1021 \"Even Pages\"\n",
     "the text of control 1021 is \"Odd Pages\", expected \"Even Pages\""},
    {"expect dialog-label", kRegion + "answer Cancel\npclick 200 200\nexpect dialog-label 4242 \"\"\n",
     "the last dialog has no control 4242"},
    {"expect page-count", "new doc 3\nexpect page-count 2\n", "the page count is 3, expected 2"},
    {"expect page", "new doc 3\ngoto 2\nexpect page 3\n", "the page shown is 2, expected 3"},
    {"expect modified", "new doc 1\nexpect modified 1\n", "the modified flag is 0, expected 1"},
    {"expect window", "new a 1\nnew b 1\nexpect window a\n", "the active window is \"b\", expected \"a\""},
    {"expect pixel", "new doc 1\nexpect pixel 0 0 FFFFFF\n", "the pixel at 0,0 is "},
    {"expect pixel", "new doc 1\nexpect pixel 0 0 white\n", "the colour must be six hex digits"},
    {"expect handshake", kLoad + "expect handshake 0x20001\n",
     "the version the module agreed is 0x20000, expected 0x20001"},
};

int LineCount(const std::string& text) {
    int lines = 0;
    for (char c : text) lines += c == '\n' ? 1 : 0;
    return lines;
}

TEST(ExpectFailures, EachCaseFailsOnItsLastLineWithItsMessage) {
    for (const FailingCase& c : kCases) {
        ScriptResult r = RunScript(c.script);
        EXPECT_EQ(r.status, 1) << c.script << r.err;
        const std::string where = "t.vscript:" + std::to_string(LineCount(c.script)) + ": ";
        EXPECT_NE(r.err.find(where + c.message), std::string::npos) << c.script << "stderr: " << r.err;
        // The same script up to the failing line passes.
        const std::string before = c.script.substr(0, c.script.rfind('\n', c.script.size() - 2) + 1);
        ScriptResult ok = RunScript(before);
        EXPECT_EQ(ok.status, 0) << before << ok.err;
    }
}

TEST(ExpectFailures, EveryExpectationHasAFailingCase) {
    std::set<std::string> covered;
    for (const FailingCase& c : kCases) covered.insert(c.command);
    covered.insert("expect dialog-centred");  // below: it needs a dialog the module would not place
    for (const auto& [name, command] : Interpreter::commands())
        if (name.rfind("expect ", 0) == 0) {
            EXPECT_TRUE(covered.count(name)) << name << " has no failing case";
        }
}

// A dialog from the module's resources that its procedure moves to (x, y).
int g_dialogX = 0, g_dialogY = 0;
INT_PTR CALLBACK PlaceDialog(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return 0;
    SetWindowPos(dialog, nullptr, g_dialogX, g_dialogY, 0, 0, SWP_NOSIZE);
    EndDialog(dialog, 1);
    return 1;
}

RECT ShowDialogAt(int x, int y) {
    g_dialogX = x, g_dialogY = y;
    const HINSTANCE resources = vxwin32::RegisterResFile(VX_RESOURCE_FILE);
    EXPECT_EQ(DialogBoxParamA(resources, MAKEINTRESOURCEA(117), nullptr, PlaceDialog, 0), 1);
    return vxwin32::LastDialog()->windowRect;
}

TEST(ExpectFailures, DialogOffCentreByMoreThanAPixel) {
    // The stand-in keeps the last dialog for the process: only a first test sees none.
    if (!vxwin32::LastDialog()) {
        ScriptResult r = RunScript("new doc 1\nexpect dialog-centred\n");
        EXPECT_NE(r.err.find("t.vscript:2: no dialog has been shown"), std::string::npos) << r.err;
    }

    // Centred over the default main window 0 0 1280 800, then a pixel and two out.
    const RECT d = ShowDialogAt(0, 0);
    const int x = (1280 - (d.right - d.left)) / 2, y = (800 - (d.bottom - d.top)) / 2;
    for (int dx : {0, 1})
        for (int dy : {0, 1}) {
            ShowDialogAt(x + dx, y + dy);
            EXPECT_EQ(RunScript("new doc 1\nexpect dialog-centred\n").status, 0) << dx << "," << dy;
        }
    for (auto [dx, dy] : {std::pair{2, 0}, std::pair{0, 2}, std::pair{-2, 0}, std::pair{0, -2}}) {
        ShowDialogAt(x + dx, y + dy);
        ScriptResult r = RunScript("new doc 1\nexpect dialog-centred\n");
        EXPECT_EQ(r.status, 1) << dx << "," << dy;
        EXPECT_NE(
            r.err.find("t.vscript:2: the dialog stands at " + std::to_string(x + dx) + " " + std::to_string(y + dy)),
            std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("not centred over the main window"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace vellora
