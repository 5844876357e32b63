// SPDX-License-Identifier: AGPL-3.0-or-later
// The command table: what it says of each command is what the command line
// does with it, and `info`, the command added through it.
#include "backend/document_backend.h"
#include "cli/command_line.h"
#include "cli/page_script.h"

#include "host/run_script.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace vellora;
using namespace vellora::cli;

namespace {

std::string Refusal(const std::vector<std::string>& args) {
    try {
        ParsePageRequest(args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "(accepted)";
}

// The help names the option as a word of its own (not the start of a longer one).
bool Mentions(const std::string& help, const std::string& option) {
    for (size_t at = help.find(option); at != std::string::npos; at = help.find(option, at + 1)) {
        const char before = at == 0 ? ' ' : help[at - 1];
        const char after = at + option.size() < help.size() ? help[at + option.size()] : '\n';
        if ((before == ' ' || before == '[' || before == '|') && std::string(" ,|]\n").find(after) != std::string::npos)
            return true;
    }
    return false;
}

// Every option a page command takes is in its help, and no other command
// takes it unless it says so.
TEST(CliCommands, EachRowsOptionsAreItsHelpsAndNoOthers) {
    std::vector<std::string> every;
    for (const CommandRow& row : CommandTable()) {
        std::istringstream words(row.options);
        for (std::string option; words >> option;) {
            every.push_back(option);
            EXPECT_TRUE(Mentions(CommandHelp(row.name, {}), option)) << row.name << " " << option;
        }
    }
    for (const CommandRow& row : CommandTable()) {
        if (row.build == nullptr) continue;
        for (const std::string& option : every) {
            if (Takes(row, option)) continue;
            EXPECT_EQ(Refusal({row.name, "in.pdf", option, "x"}), row.name + " does not take " + option);
        }
    }
}

TEST(CliCommands, UsageListsEveryRowAndTheOnesRunElsewhere) {
    CommandRow view;
    view.name = "view";
    view.synopsis = {"vellora view [FILE.pdf ...]", "[--port N]"};
    view.help = "usage: vellora view\n";
    const std::string usage = UsageText({view});
    for (const CommandRow& row : CommandTable())
        EXPECT_NE(usage.find("\n  " + row.synopsis[0] + "\n"), std::string::npos) << row.name;
    // A continued line lines up after the command's name.
    EXPECT_NE(usage.find("\n  vellora view [FILE.pdf ...]\n               [--port N]\n"), std::string::npos) << usage;
    EXPECT_EQ(CommandHelp("view", {view}), view.help);
    EXPECT_EQ(CommandHelp("view", {}), "");
    // Only commands that write take --wait; only those that write a PDF, --in-place.
    EXPECT_EQ(CommandHelp("boxes", {}).find("--wait"), std::string::npos);
    EXPECT_NE(CommandHelp("show", {}).find("--wait"), std::string::npos);
    EXPECT_EQ(CommandHelp("show", {}).find("--in-place"), std::string::npos);
    EXPECT_NE(CommandHelp("reset", {}).find("--in-place"), std::string::npos);
}

TEST(CliCommands, InfoReadsTheDocumentWithoutThePlugIn) {
    const PageRequest request = ParsePageRequest({"info", "a b.pdf"});
    PageFacts facts;
    facts.pageCount = 2;
    EXPECT_EQ(MakePageScript(request, facts, ""), "open \"a b.pdf\"\nprint info\n");
    EXPECT_EQ(Refusal({"info", "a.pdf", "-o", "b.pdf"}), "info does not take -o");
    EXPECT_EQ(Refusal({"info"}), "info needs an input file");
}

TEST(CliCommands, InfoCountsPagesOfEachSize) {
    const ScriptResult r =
        RunScript("new doc 4 612 792\npage 2 crop 0 0 300 400.5\npage 4 crop 10 10 310 410.5\nprint info\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string library = PdfLibraryVersion();
    EXPECT_EQ(r.out, "pages 4\nsize 612 x 792 pt: 2\nsize 300 x 400.5 pt: 2\nencrypted no\nrepaired no\nlibrary " +
                         (library.empty() ? std::string("none") : library) + "\n");
}

}  // namespace
