// SPDX-License-Identifier: AGPL-3.0-or-later
// The interpreter's handling of bad scripts, without a module.
#include "host/run_script.h"

#include "backend/memory/memory_backend.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vellora {
namespace {

TEST(Script, ErrorsNameTheScriptTheLineAndTheProblem) {
    ScriptResult r = RunScript("new doc 2\n\n# fine so far\nfrobnicate 3\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("t.vscript:4: unknown command \"frobnicate\""), std::string::npos) << r.err;

    r = RunScript("new doc 2\nexpect crop 3 0 0 612 792\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("t.vscript:2:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("page number"), std::string::npos) << r.err;

    r = RunScript("new doc 2\nexpect alert \"unclosed\n");
    EXPECT_NE(r.err.find("t.vscript:2: a quote is not closed"), std::string::npos) << r.err;

    r = RunScript("new doc 2 612\n");
    EXPECT_NE(r.err.find("height is missing"), std::string::npos) << r.err;

    r = RunScript("zoom 100\n");
    EXPECT_NE(r.err.find("no document window is open"), std::string::npos) << r.err;
}

TEST(Script, HostileBytesAreShownEscaped) {
    ScriptResult r = RunScript("new doc 1\nfrob\x1b[2J\x1b]0;title\x07 1\n");
    EXPECT_EQ(r.err, "t.vscript:2: unknown command \"frob\\x1b[2J\\x1b]0;title\\x07\"\n");
    r = RunScript(std::string("fr\0ob 1\n", 8));
    EXPECT_EQ(r.err, "t.vscript:1: unknown command \"fr\\0ob\"\n");
    // A line break inside a word cannot come from a line; a quoted answer
    // can still carry a carriage return.
    r = RunScript("new doc 1\nexpect alert \"a\rb\"\n");
    EXPECT_NE(r.err.find("a\\rb"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
}

TEST(Script, ByteOrderMarkIsSkipped) {
    EXPECT_EQ(RunScript("\xEF\xBB\xBFnew doc 2\nexpect page-count 2\n").status, 0);
    // Only at the very start.
    ScriptResult r = RunScript(
        "new doc 2\n\xEF\xBB\xBF"
        "expect page-count 2\n");
    EXPECT_EQ(r.status, 1);
}

TEST(Script, ZoomIsInPercent) {
    for (const char* zoom : {"99999999999", "0.5", "abc", "nan"}) {
        ScriptResult r = RunScript(std::string("new doc 1\nzoom ") + zoom + "\n");
        EXPECT_NE(r.err.find("a number of percent from 1 to 6400"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("points"), std::string::npos) << r.err;
    }
    EXPECT_EQ(RunScript("new doc 1\nzoom 2e2\n").status, 0);
}

TEST(Script, StopsAtTheFirstFailedExpectation) {
    ScriptResult r = RunScript("new doc 1\npage 1 crop 10 20 300 400.5\nexpect crop 1 10 20 300 400\nprint boxes\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("t.vscript:3: the crop box of page 1 is 10 20 300 400.5, expected 10 20 300 400"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(Script, PrintsBoxesOfTheActiveDocument) {
    ScriptResult r = RunScript("new a 2 300 400\npage 2 rotate 90 crop 1 2 3 4 bbox 5 6 7 8\nprint boxes\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "page 1 rotate 0 media 0 0 300 400 crop 0 0 300 400 bbox 0 0 300 400\n"
              "page 2 rotate 90 media 0 0 300 400 crop 1 2 3 4 bbox 5 6 7 8\n");
}

TEST(Script, ConfigurationComesFirstAndAnswersMustBeUsed) {
    ScriptResult r = RunScript("new doc 1\nhost can-edit 0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("t.vscript:2: host configuration must come before"), std::string::npos) << r.err;

    r = RunScript("host table Model 0x20002 0x20003\nhost table Nope 1\n");
    EXPECT_NE(r.err.find("t.vscript:2: unknown table \"Nope\""), std::string::npos) << r.err;

    r = RunScript("new doc 1\nanswer Skip\nanswer \"All Pages\"\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("never asked for: \"Skip\", \"All Pages\""), std::string::npos) << r.err;
}

TEST(Script, WindowsAndPages) {
    ScriptResult r = RunScript(
        "new a 3\nnew b 1\nexpect window b\nactivate a\nexpect window a\ngoto 3\nexpect page 3\n"
        "close\nexpect window b\nclose\nexpect window none\nactivate a\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("t.vscript:12: no document window is named \"a\""), std::string::npos) << r.err;
}

TEST(Script, MissingModuleIsALoadError) {
    ScriptResult r = RunScript("load /no/such/module.so\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("/no/such/module.so"), std::string::npos) << r.err;
}

TEST(Script, UnwritableOutputIsAFileError) {
    ScriptResult r = RunScript("new doc 1\nsnapshot /no/such/folder/a.png\n");
    EXPECT_EQ(r.status, 3);
    ScriptRunOptions options;
    std::ostringstream err;
    options.err = &err;
    options.tracePath = "/no/such/folder/trace.txt";
    EXPECT_EQ(RunHostScript("new doc 1\n", "t.vscript", options), 3);
}

}  // namespace
}  // namespace vellora

namespace vellora {
namespace {

// A document the caller opened is taken by the script's `open` of its path
// (the file is not read again: here there is none), with its warnings, once.
TEST(Script, OpenTakesTheDocumentOpenedAlready) {
    std::ostringstream out, err;
    ScriptRunOptions options;
    options.out = &out;
    options.err = &err;
    options.opened = std::make_shared<OpenedDocument>();
    options.opened->path = "no-such-file.pdf";
    options.opened->backend = std::make_unique<MemoryBackend>(2, 100 * VX_FIXED_ONE, 200 * VX_FIXED_ONE);
    options.opened->warnings = {"no-such-file.pdf: repaired"};
    EXPECT_EQ(RunHostScript("open no-such-file.pdf\nexpect media 2 0 0 100 200\n", "t.vscript", options), 0)
        << err.str();
    EXPECT_NE(err.str().find("warning: no-such-file.pdf: repaired"), std::string::npos) << err.str();
    // Opening it a second time reads the file, which is not there.
    EXPECT_NE(RunHostScript("open no-such-file.pdf\nopen no-such-file.pdf\n", "t.vscript", options), 0);
    EXPECT_NE(err.str().find("t.vscript:1: no-such-file.pdf"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace vellora
