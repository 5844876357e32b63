// SPDX-License-Identifier: AGPL-3.0-or-later
#include "input/dialog_answers.h"
#include "input/input_queue.h"
#include "script/script_runner.h"

#include <gtest/gtest.h>

namespace vellora {
namespace {

TEST(InputQueue, StopAfterCountsPollsFromItsLine) {
    UserStopFlag().store(false);
    InputQueue input;
    EXPECT_FALSE(input.poll());
    input.stopAfter(3);
    EXPECT_FALSE(input.poll());
    EXPECT_FALSE(input.poll());
    EXPECT_TRUE(input.poll());
    EXPECT_TRUE(input.poll());  // and from then on
    input.stopNever();
    EXPECT_FALSE(input.poll());
    RequestUserStop();
    EXPECT_TRUE(input.poll());
    UserStopFlag().store(false);
}

TEST(InputQueue, AnswersComeInOrder) {
    InputQueue input;
    input.queueAnswer("Skip");
    input.queueAnswer("All Pages");
    EXPECT_EQ(input.takeAnswer(), "Skip");
    EXPECT_EQ(input.pendingAnswers().size(), 1u);
    EXPECT_EQ(input.takeAnswer(), "All Pages");
    EXPECT_FALSE(input.takeAnswer());
}

vxwin32::DialogState PagesDialog() {
    vxwin32::DialogState d;
    d.title = "Pages To Crop";
    auto radio = [](int id, const char* text) {
        vxwin32::ControlState c;
        c.id = id;
        c.className = "BUTTON";
        c.text = text;
        c.isRadio = true;
        return c;
    };
    auto push = [](int id, const char* text) {
        vxwin32::ControlState c;
        c.id = id;
        c.className = "BUTTON";
        c.text = text;
        return c;
    };
    d.controls = {radio(1019, "Current Page: (5)"),
                  radio(1020, "All Pages: (1-12)"),
                  radio(1021, "Odd Pages"),
                  radio(1022, "Even Pages"),
                  push(1, "OK"),
                  push(2, "Cancel")};
    return d;
}

std::string Describe(const std::vector<vxwin32::DialogAction>& actions) {
    std::string s;
    for (const auto& a : actions) {
        switch (a.kind) {
        case vxwin32::DialogAction::ClickControl:
            s += "click:" + std::to_string(a.controlId) + " ";
            break;
        case vxwin32::DialogAction::PressEscape:
            s += "escape ";
            break;
        case vxwin32::DialogAction::PressEnter:
            s += "enter ";
            break;
        case vxwin32::DialogAction::CloseBox:
            s += "close ";
            break;
        }
    }
    return s;
}

TEST(DialogAnswers, RadioTextUpToItsColonChecksItAndPressesOk) {
    vxwin32::DialogState d = PagesDialog();
    EXPECT_EQ(Describe(DialogActionsFor(d, "Current Page")), "click:1019 click:1 ");
    EXPECT_EQ(Describe(DialogActionsFor(d, "All Pages")), "click:1020 click:1 ");
    EXPECT_EQ(Describe(DialogActionsFor(d, "Even Pages")), "click:1022 click:1 ");
    EXPECT_EQ(Describe(DialogActionsFor(d, "OK")), "click:1 ");
    EXPECT_EQ(Describe(DialogActionsFor(d, "Cancel")), "click:2 ");
    EXPECT_EQ(Describe(DialogActionsFor(d, "escape")), "escape ");
    EXPECT_EQ(Describe(DialogActionsFor(d, "close")), "close ");
    EXPECT_TRUE(DialogActionsFor(d, "All Pages: (1-12)").empty());
    EXPECT_TRUE(DialogActionsFor(d, "Skip").empty());
    EXPECT_NE(DescribeDialog(d).find("\"Pages To Crop\""), std::string::npos);
}

}  // namespace
}  // namespace vellora
