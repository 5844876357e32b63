// SPDX-License-Identifier: AGPL-3.0-or-later
#include "script/tokenizer.h"

#include <gtest/gtest.h>

using vellora::ScriptError;
using vellora::Tokenize;
using Words = std::vector<std::string>;

TEST(Tokenizer, SplitsOnBlanksAndDropsComments) {
    EXPECT_EQ(Tokenize("  expect crop 1\t0 0 612 792  "), (Words{"expect", "crop", "1", "0", "0", "612", "792"}));
    EXPECT_EQ(Tokenize("load # the default module"), (Words{"load"}));
    EXPECT_EQ(Tokenize("# only a comment"), Words{});
    EXPECT_EQ(Tokenize("zoom 200#comment"), (Words{"zoom", "200"}));
    EXPECT_EQ(Tokenize(""), Words{});
}

TEST(Tokenizer, QuotesHoldBlanksHashesAndEscapes) {
    EXPECT_EQ(Tokenize(R"(menu "ZUNO:Trim Vex")"), (Words{"menu", "ZUNO:Trim Vex"}));
    EXPECT_EQ(Tokenize(R"(answer "a # not a comment")"), (Words{"answer", "a # not a comment"}));
    EXPECT_EQ(Tokenize(R"(expect alert "say \"hi\" \\ back")"), (Words{"expect", "alert", "say \"hi\" \\ back"}));
    EXPECT_EQ(Tokenize(R"(expect alert "")"), (Words{"expect", "alert", ""}));
    EXPECT_EQ(Tokenize(R"(a"b c"d)"), (Words{"ab cd"}));
    EXPECT_EQ(Tokenize(R"(open "two\nlines\r.pdf")"), (Words{"open", "two\nlines\r.pdf"}));
}

TEST(Tokenizer, RejectsBrokenQuoting) {
    EXPECT_THROW(Tokenize(R"(expect alert "open)"), ScriptError);
    EXPECT_THROW(Tokenize(R"(expect alert "bad \t escape")"), ScriptError);
    EXPECT_THROW(Tokenize(R"(expect alert "ends in \)"), ScriptError);
}
