// SPDX-License-Identifier: AGPL-3.0-or-later
// The commands of `vellora`, one row each: the name, the usage lines, the
// help, the options it takes and the host script it builds. The usage text,
// each command's help (and from them the manual page) come from here.
#pragma once

#include "cli/cli_options.h"

#include <sstream>
#include <string>
#include <vector>

namespace vellora::cli {

struct PageFacts;

// The rest of a page command's script, after the lines that open the input
// at the page the command starts on.
using ScriptBuilder = void (*)(std::ostringstream& script, const PageRequest& request,
                               const PageFacts& facts, const std::string& outputPath);

// What a page command checks of the document once it is open, besides the
// page number and the permission to change it; throws UsageError.
using DocumentCheck = void (*)(const PageRequest& request, const PageFacts& facts);

// What a page command writes to the file of -o.
enum class Writes { Nothing, Pdf, Png };

struct CommandRow {
    std::string name;
    // The command's lines in the usage text; the first begins "vellora NAME".
    std::vector<std::string> synopsis;
    // `vellora NAME --help`, before the options every page command takes.
    std::string help;
    // A page command: its verb, its options (blank-separated, besides
    // --password, --password-file, --print-script and --verbose), what it
    // writes, its script and its own check of the document (null: none).
    // Null `build`: not a page command.
    Verb verb = Verb::Boxes;
    std::string options;
    Writes writes = Writes::Nothing;
    ScriptBuilder build = nullptr;
    DocumentCheck checkDocument = nullptr;
};

// Every command the command line runs itself, in the order the usage lists them.
const std::vector<CommandRow>& CommandTable();

// The row of a page command (by name or verb); null for any other word.
const CommandRow* FindPageCommand(const std::string& name);
const CommandRow& PageCommandOf(Verb verb);

// True when the command takes the option.
bool Takes(const CommandRow& row, const std::string& option);

// The usage text: every row's synopsis (`more` are rows of commands run
// elsewhere, as `view`), then the exit statuses.
std::string UsageText(const std::vector<CommandRow>& more);

// A command's help, its common options after its own; empty for a word
// that names no command.
std::string CommandHelp(const std::string& command, const std::vector<CommandRow>& more);

}  // namespace vellora::cli
