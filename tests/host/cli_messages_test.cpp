// SPDX-License-Identifier: AGPL-3.0-or-later
// The command line's view of a script run's messages: everything reaches
// the user as it comes, except the failure line naming the generated
// script, which the command line words itself.
#include "cli/held_messages.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace vellora::cli;

namespace {

TEST(CliMessages, OnlyTheScriptsOwnLinesAreHeld) {
    std::ostringstream target;
    HeldMessages messages(target, "(vellora crop):");
    messages << "alert: Minimum crop region is 1 inch by 1 inch.\n";
    messages << "(vellora crop):9: the region is 1 2 3 4, expected none\n";
    messages << "(vellora"
             << " cropx) is not the prefix\n";
    messages << "(vellora crop):12: unfinished";
    messages.finish();
    EXPECT_EQ(target.str(), "alert: Minimum crop region is 1 inch by 1 inch.\n(vellora cropx) is not the prefix\n");
    ASSERT_EQ(messages.held().size(), 2u);
    EXPECT_EQ(messages.held()[0], "(vellora crop):9: the region is 1 2 3 4, expected none");
    EXPECT_EQ(messages.held()[1], "(vellora crop):12: unfinished");
}

TEST(CliMessages, ProgressBarIsShownAtOnce) {
    std::ostringstream target;
    HeldMessages messages(target, "(vellora reset):");
    messages << "\r[###   ] 3/7" << std::flush;
    EXPECT_EQ(target.str(), "\r[###   ] 3/7");
    messages << "\r[####  ] 4/7";
    EXPECT_EQ(target.str(), "\r[###   ] 3/7\r");  // the bar before it has gone out whole
    messages << std::flush;
    EXPECT_EQ(target.str(), "\r[###   ] 3/7\r[####  ] 4/7");
}

}  // namespace
