// SPDX-License-Identifier: AGPL-3.0-or-later
#include "cli/command_table.h"

#include "cli/page_script.h"

#include <sstream>

namespace vellora::cli {

namespace {

// The options every page command takes, after its own in its help.
const char kCommonHelp[] =
    "  --password PW    the password of an encrypted input (also --password-file FILE,\n"
    "                   or the variable VELLORA_PASSWORD)\n"
    "  --print-script   print the host script the command runs, and stop\n"
    "  --verbose        show the questions, their answers, progress lines and how the\n"
    "                   pages were found in the file\n";
const char kStandardOutputHelp[] =
    "  -o -             write the result to standard output (a file or a program, not a "
    "terminal)\n";
const char kWaitHelp[] =
    "  --wait           wait while another vellora process changes the file, instead of "
    "refusing\n";
const char kInPlaceHelp[] =
    "  --in-place       write over the input (without -o), or let -o name it\n";
const char kBoxOptions[] = "--margin --ink-threshold --ignore-dark-edges";

std::vector<CommandRow> MakeTable() {
    std::vector<CommandRow> rows;
    rows.push_back({"run",
                    {"vellora run SCRIPT [--trace FILE]"},
                    "usage: vellora run SCRIPT [--trace FILE]\n"
                    "Runs a host script (docs/host-scripts.md).\n"
                    "  --trace FILE     write one line per host operation the plug-in calls\n"
                    "  --verbose        show the questions, their answers and progress lines\n",
                    Verb::Boxes,
                    "",
                    Writes::Nothing,
                    nullptr});  // runs a script of its own
    rows.push_back(
        {"crop",
         {"vellora crop IN.pdf -o OUT.pdf --region L,B,R,T [--page N]",
          "[--pages current|all|odd|even] [--mismatch crop|skip]"},
         "usage: vellora crop IN.pdf -o OUT.pdf --region L,B,R,T [options]\n"
         "Crops pages to a region with the plug-in's crop tool.\n"
         "  --region L,B,R,T the region in points, on the page of --page\n"
         "  --page N         the page the region is drawn on (default 1); alone: crop that page\n"
         "  --pages current|all|odd|even   the pages to crop (default: all)\n"
         "  --mismatch crop|skip           the answer for pages of another size or orientation\n",
         Verb::Crop,
         "-o --wait --in-place --region --page --pages --mismatch",
         Writes::Pdf,
         CropScript,
         CropFitsDocument});
    rows.push_back(
        {"bbox",
         {"vellora bbox IN.pdf -o OUT.pdf [--each|--biggest|--page N] [--margin M|L,B,R,T]",
          "[--ink-threshold PERCENT] [--ignore-dark-edges]"},
         "usage: vellora bbox IN.pdf -o OUT.pdf [--each|--biggest|--page N] [options]\n"
         "Crops pages to the bounding box of their marks.\n"
         "  --each           every page to its own box (default)\n"
         "  --biggest        every page to the biggest box of the document\n"
         "  --page N         page N alone\n"
         "  --margin M|L,B,R,T   points added around every box (default 0); the crop\n"
         "                   stops at the media box\n"
         "  --ink-threshold PERCENT  how far from white an image's pixel must be to count\n"
         "                   as ink (default 25)\n"
         "  --ignore-dark-edges  leave out dark bands along a scanned image's edges\n",
         Verb::BBox,
         std::string("-o --wait --in-place --page --each --biggest ") + kBoxOptions,
         Writes::Pdf,
         BBoxScript});
    rows.push_back({"reset",
                    {"vellora reset IN.pdf -o OUT.pdf [--all|--page N]"},
                    "usage: vellora reset IN.pdf -o OUT.pdf [--all|--page N] [options]\n"
                    "Sets crop boxes back to the media box.\n"
                    "  --all            every page (default)\n"
                    "  --page N         page N alone\n",
                    Verb::Reset,
                    "-o --wait --in-place --page --all",
                    Writes::Pdf,
                    ResetScript});
    rows.push_back({"boxes",
                    {"vellora boxes IN.pdf"},
                    "usage: vellora boxes IN.pdf [options]\n"
                    "Prints each page's rotation, media box, crop box and bounding box.\n"
                    "  --margin, --ink-threshold, --ignore-dark-edges   as for bbox\n",
                    Verb::Boxes,
                    kBoxOptions,
                    Writes::Nothing,
                    BoxesScript});
    rows.push_back({"show",
                    {"vellora show IN.pdf --page N -o OUT.png [--zoom PERCENT] [--media-box]",
                     "[--region L,B,R,T]"},
                    "usage: vellora show IN.pdf --page N -o OUT.png [options]\n"
                    "Writes page N as PNG, as the host's page view draws it.\n"
                    "  --zoom PERCENT   from 1 to 6400 (default 100)\n"
                    "  --media-box      outline the media box in red\n"
                    "  --region L,B,R,T select that region with the crop tool\n",
                    Verb::Show,
                    "-o --wait --region --page --zoom --media-box",
                    Writes::Png,
                    ShowScript,
                    ShowFitsDocument});
    rows.push_back({"info",
                    {"vellora info IN.pdf"},
                    "usage: vellora info IN.pdf [options]\n"
                    "Prints the number of pages, the page sizes (crop boxes, in points) with the\n"
                    "number of pages of each, whether the file is encrypted and whether it was\n"
                    "repaired on opening, and the PDF library that read it.\n",
                    Verb::Info,
                    "",
                    Writes::Nothing,
                    InfoScript});
    return rows;
}

const CommandRow* FindIn(const std::vector<CommandRow>& rows, const std::string& name) {
    for (const CommandRow& row : rows) {
        if (row.name == name) return &row;
    }
    return nullptr;
}

}  // namespace

const std::vector<CommandRow>& CommandTable() {
    static const std::vector<CommandRow> table = MakeTable();
    return table;
}

const CommandRow* FindPageCommand(const std::string& name) {
    const CommandRow* row = FindIn(CommandTable(), name);
    return row != nullptr && row->build != nullptr ? row : nullptr;
}

const CommandRow& PageCommandOf(Verb verb) {
    for (const CommandRow& row : CommandTable()) {
        if (row.build != nullptr && row.verb == verb) return row;
    }
    return CommandTable().front();  // not reached: every verb has its row
}

bool Takes(const CommandRow& row, const std::string& option) {
    std::istringstream words(row.options);
    for (std::string word; words >> word;) {
        if (word == option) return true;
    }
    return false;
}

std::string UsageText(const std::vector<CommandRow>& more) {
    std::string text = "usage:\n";
    auto add = [&text](const CommandRow& row) {
        const std::string indent(2 + std::string("vellora ").size() + row.name.size() + 1, ' ');
        for (size_t i = 0; i < row.synopsis.size(); ++i)
            text += (i == 0 ? "  " : indent) + row.synopsis[i] + "\n";
    };
    for (const CommandRow& row : CommandTable()) add(row);
    for (const CommandRow& row : more) add(row);
    return text +
           "  vellora --version\n"
           "  vellora COMMAND --help\n"
           "exit status:\n"
           "  0    done\n"
           "  1    the run failed: a refused region, an unanswered question, a failed script line\n"
           "  2    a bad command line, or the module could not be loaded\n"
           "  3    a file could not be read or written: missing, not a PDF, damaged beyond "
           "repair,\n"
           "       encrypted without its password, without editing permission\n"
           "  130  stopped by Ctrl-C\n"
           "See docs/command-line.md.\n";
}

std::string CommandHelp(const std::string& command, const std::vector<CommandRow>& more) {
    const CommandRow* row = FindIn(CommandTable(), command);
    if (row == nullptr) row = FindIn(more, command);
    if (row == nullptr) return "";
    if (row->build == nullptr) return row->help;
    std::string text = row->help + kCommonHelp;
    if (Takes(*row, "-o")) text += kStandardOutputHelp;
    if (Takes(*row, "--wait")) text += kWaitHelp;
    if (Takes(*row, "--in-place")) text += kInPlaceHelp;
    return text;
}

}  // namespace vellora::cli
