// SPDX-License-Identifier: AGPL-3.0-or-later
#include "cli/command_line.h"

#include "backend/document_backend.h"
#include "cli/cli_options.h"
#include "cli/command_table.h"
#include "cli/held_messages.h"
#include "cli/output_file.h"
#include "cli/page_script.h"
#include "core/message_text.h"
#include "core/plugin_names.h"
#include "files/file_lock.h"
#include "loader/module_loader.h"
#include "model/view_geometry.h"
#include "script/script_runner.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <system_error>
#include <vector>

namespace vellora::cli {

namespace {

// Scripts and password files are small: a file past this is refused before
// it is read (a regular file), or once this much is read (/dev/zero, a pipe).
constexpr size_t kLargestReadFile = size_t(16) << 20;

// Reads a whole file; throws HostError naming the file and the problem.
std::string ReadWholeFile(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw HostError(ErrorKind::InputFile, path + ": is a directory");
    const std::string tooLarge =
        path + ": larger than 16 MB, more than a script or password file holds";
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kLargestReadFile) throw HostError(ErrorKind::InputFile, tooLarge);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw HostError(ErrorKind::InputFile, path + ": cannot read: " + std::strerror(errno));
    std::string text;
    std::vector<char> chunk(64 * 1024);
    while (in) {
        in.read(chunk.data(), std::streamsize(chunk.size()));
        text.append(chunk.data(), size_t(in.gcount()));
        if (text.size() > kLargestReadFile) throw HostError(ErrorKind::InputFile, tooLarge);
    }
    if (in.bad()) throw HostError(ErrorKind::InputFile, path + ": cannot read");
    return text;
}

// The command line's own message: one line, which names what went wrong.
void Say(std::ostream& err, const std::string& message) {
    PrintMessage(err, "vellora: " + message);
}

// One line: what is wrong, and where the usage is.
int Usage(std::ostream& err, const std::string& problem) {
    Say(err, problem + " (vellora --help lists the commands and options)");
    return kExitUsage;
}

int RunScriptCommand(const std::vector<std::string>& args, const Environment& env) {
    std::ostream& err = env.err ? *env.err : std::cerr;
    std::string scriptPath;
    ScriptRunOptions options;
    options.modulePath = env.modulePath;
    options.progressBar = env.progressBar;
    options.out = env.out;
    options.err = env.err;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--trace") {
            if (i + 1 >= args.size()) return Usage(err, "--trace needs a file name");
            options.tracePath = args[++i];
        } else if (a == "--verbose") {
            options.verbose = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return Usage(err, "unknown option for run: " + a);
        } else if (scriptPath.empty()) {
            scriptPath = a;
        } else {
            return Usage(err, "run takes one script, got a second: " + a);
        }
    }
    if (scriptPath.empty()) return Usage(err, "run needs a script file");
    std::string text;
    try {
        text = ReadWholeFile(scriptPath);
    } catch (const HostError& e) {
        Say(err, std::string("cannot read script ") + e.what());
        return ExitStatusOf(e.kind());
    }
    return RunHostScript(text, scriptPath, options);
}

// What the command needs to know of the document before it makes the script.
// The document stays open for the script, which would otherwise read it again.
PageFacts ReadPageFacts(const PageRequest& request, OpenedDocument& opened) {
    if (!PdfSupportAvailable()) {
        throw HostError(ErrorKind::InputFile,
                        "this build of vellora reads no PDF files (built without PDF support)");
    }
    opened.path = request.input;
    const OpenFor use = request.verb == Verb::BBox && request.bboxMode != BBoxMode::Page
                            ? OpenFor::EveryBoundingBox
                            : OpenFor::Anything;
    try {
        opened.backend =
            OpenPdfDocument(request.input, opened.warnings, request.password.value_or(""), use,
                            InkSettingsOf(request));
    } catch (const HostError& e) {
        if (!request.password && e.kind() == ErrorKind::PasswordMissing) {
            throw HostError(
                e.kind(),
                std::string(e.what()) +
                    " (give it with --password-file FILE, VELLORA_PASSWORD or --password PW)");
        }
        throw;
    }
    opened.password = request.password.value_or("");
    const DocumentBackend* doc = opened.backend.get();
    PageFacts facts;
    facts.repaired = !opened.warnings.empty();
    facts.editable = (doc->permissions() & VX_PERMISSION_EDIT) != 0;
    facts.pageCount = doc->pageCount();
    if (facts.pageCount < 1)
        throw HostError(ErrorKind::Damaged, request.input + ": the document has no pages");
    const int index = std::min(StartPage(request), facts.pageCount) - 1;
    facts.area = UnionRect(OrderedRect(doc->mediaBox(index)), OrderedRect(doc->cropBox(index)));
    return facts;
}

// The password for an encrypted input: --password, else the first line of
// --password-file, else VELLORA_PASSWORD.
std::optional<std::string> PasswordFor(const PageRequest& request, const Environment& env) {
    std::optional<std::string> password = request.password;
    if (!password && request.passwordFile) {
        std::string text = ReadWholeFile(*request.passwordFile);
        text = text.substr(0, text.find('\n'));
        if (!text.empty() && text.back() == '\r') text.pop_back();
        password = text;
    }
    if (!password) password = env.passwordVariable;
    // A script line holds one command: the password cannot carry a line break into it.
    if (password && password->find_first_of("\n\r") != std::string::npos) {
        throw UsageError("passwords with line breaks are not supported");
    }
    return password;
}

// Where the result goes, for messages.
std::string OutputName(const PageRequest& request) {
    return ToStandardOutput(request.output) ? "standard output" : request.output;
}

// A stopped run: nothing was written.
int Stopped(std::ostream& err, const PageRequest& request) {
    Say(err, "stopped" + (request.output.empty() ? std::string()
                                                 : "; nothing written to " + OutputName(request)));
    return kExitStopped;
}

// Refuses an output that would overwrite the input unless asked to.
void CheckOutputTarget(const PageRequest& request) {
    if (ToStandardOutput(request.output) && request.inPlace) {
        throw UsageError(
            "-o - writes to standard output and --in-place over the input; give one of them");
    }
    if (request.output.empty() || request.inPlace || ToStandardOutput(request.output)) return;
    if (SameFile(request.input, request.output)) {
        throw UsageError("-o " + request.output + " is the input file " + request.input +
                         "; give --in-place to replace it");
    }
}

// The number of the script line that is exactly `text`, or 0.
int LineNumberOf(const std::string& script, const std::string& text) {
    std::istringstream lines(script);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (line == text) return number;
    }
    return 0;
}

// Says why a generated script failed, in the command line's terms where it
// knows them; otherwise passes the host's message on.
void ReportFailure(std::ostream& err, int status, const std::vector<std::string>& held,
                   const ScriptFailure& failure, const std::string& script,
                   const PageRequest& request) {
    const std::string unwritten =
        request.output.empty() ? std::string() : "; nothing written to " + OutputName(request);
    if (status == kExitStopped) {
        Stopped(err, request);
        return;
    }
    // The failure's own line is the last one held.
    for (size_t i = 0; i < held.size(); ++i) {
        const bool failureLine = i + 1 == held.size();
        if (failureLine && failure.unanswered == plugin::kOrientationQuestion) {
            Say(err, std::string("the plug-in asks \"") + plugin::kOrientationQuestion +
                         "\": answer it with --mismatch crop or --mismatch skip" + unwritten);
        } else if (failureLine && failure.line != 0 &&
                   failure.line == LineNumberOf(script, kRegionAcceptedCheck)) {
            Say(err, "the plug-in refused the region (its alert above says why)" + unwritten);
        } else {
            PrintMessage(err, held[i] + unwritten);
        }
    }
}

// How the pages drawn or run for their marks were found: a port to another
// PDF library release shows here whether it still finds them directly.
void SayPageLoads(std::ostream& err) {
    const PdfPageLoads loads = PdfPagesLoaded();
    Say(err, "pages loaded: " + std::to_string(loads.loaded) + ", " + std::to_string(loads.direct) +
                 " of them by their listed objects; page tree read " +
                 std::to_string(loads.treeReads) + (loads.treeReads == 1 ? " time" : " times"));
}

// Runs the command's script; messages pass through, its failure is told in
// the command line's terms.
int RunGenerated(const PageRequest& request, const PageFacts& facts,
                 std::shared_ptr<OpenedDocument> opened, const std::string& outputPath,
                 const std::string& verb, const Environment& env) {
    std::ostream& err = env.err ? *env.err : std::cerr;
    const std::string scriptName = "(vellora " + verb + ")";
    const std::string script = MakePageScript(request, facts, outputPath);
    HeldMessages messages(err, scriptName + ":");
    ScriptRunOptions options;
    options.modulePath = env.modulePath;
    options.progressBar = env.progressBar;
    options.verbose = request.verbose;
    options.opened = std::move(opened);
    options.out = env.out;
    options.err = &messages;
    ScriptFailure failure;
    options.failure = &failure;
    const int status = RunHostScript(script, scriptName, options);
    messages.finish();
    if (status != kExitOk) ReportFailure(err, status, messages.held(), failure, script, request);
    return status;
}

// Locks the target, and for --in-place the input, against other vellora
// processes; with --wait waits for them (a Ctrl-C ends the wait).
void LockFiles(const PageRequest& request, const std::string& target,
               std::vector<std::unique_ptr<FileLock>>& locks) {
    try {
        if (!target.empty())
            locks.push_back(std::make_unique<FileLock>(target, request.wait, UserStopRequested));
        if (request.inPlace)
            locks.push_back(
                std::make_unique<FileLock>(request.input, request.wait, UserStopRequested));
    } catch (const HostError& e) {
        if (UserStopRequested()) throw;
        throw HostError(e.kind(),
                        std::string(e.what()) + "; nothing done (give --wait to wait for it)");
    }
}

int RunPageCommand(const std::vector<std::string>& args, const Environment& env) {
    std::ostream& err = env.err ? *env.err : std::cerr;
    std::ostream& out = env.out ? *env.out : std::cout;
    PageRequest request;
    PageFacts facts;
    auto opened = std::make_shared<OpenedDocument>();
    std::string target;
    // Held from before the input is read until the result is in place.
    std::vector<std::unique_ptr<FileLock>> locks;
    try {
        request = ParsePageRequest(args);
    } catch (const UsageError& e) {
        return Usage(err, e.what());
    }
    const Writes writes = PageCommandOf(request.verb).writes;
    try {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(request.input, ec)) {
            throw HostError(
                ErrorKind::InputFile,
                request.input + (std::filesystem::exists(request.input, ec) ? ": not a regular file"
                                                                            : ": no such file"));
        }
        request.password = PasswordFor(request, env);
        CheckOutputTarget(request);
        // Through a symbolic link the result goes to the file it names, once
        // resolved here: the link stays a link.
        const bool toStandardOutput = ToStandardOutput(request.output);
        target = request.output.empty() ? std::string()
                 : toStandardOutput ? StandardOutputStandIn(writes == Writes::Png ? ".png" : ".pdf")
                                    : ResolvedTarget(request.output);
        if (toStandardOutput && !request.printScript) CheckStandardOutput();
        if (!target.empty() && !toStandardOutput) CheckRegularTarget(target, request.output);
        if (!request.printScript) LockFiles(request, target, locks);
        facts = ReadPageFacts(request, *opened);
        CheckAgainstDocument(request, facts);
    } catch (const HostError& e) {
        if (e.kind() != ErrorKind::Usage && UserStopRequested()) return Stopped(err, request);
        Say(err, e.what());
        return ExitStatusOf(e.kind());
    }

    if (request.printScript) {
        // The script shown is the one that runs, but for the password.
        PageRequest shown = request;
        if (shown.password) shown.password = "(hidden)";
        out << MakePageScript(shown, facts, target);
        return kExitOk;
    }
    if (writes == Writes::Nothing) {
        const int status = RunGenerated(request, facts, opened, "", args[0], env);
        if (request.verbose) SayPageLoads(err);
        return status;
    }
    try {
        StagedOutput staged(target);
        if (UserStopRequested()) return Stopped(err, request);
        const int status = RunGenerated(request, facts, opened, staged.path(), args[0], env);
        if (request.verbose) SayPageLoads(err);
        if (status != kExitOk) return status;
        // A stop asked once the script was done still keeps the result out.
        if (UserStopRequested()) return Stopped(err, request);
        if (ToStandardOutput(request.output)) {
            staged.send();
        } else {
            staged.commit();
        }
        return kExitOk;
    } catch (const HostError& e) {
        Say(err, e.what());
        return ExitStatusOf(e.kind());
    }
}

// The program's version, the module's interface and the PDF library's.
std::string VersionText(const Environment& env) {
    std::ostringstream s;
    s << "vellora " << env.programVersion << "\n";
    try {
        const uint32_t version = ModuleHandshakeVersion(env.modulePath);
        s << "module " << env.modulePath << ": plug-in interface " << (version >> 16) << "."
          << (version & 0xFFFF) << "\n";
    } catch (const HostError& e) {
        s << e.what() << "\n";
    }
    const std::string library = PdfLibraryVersion();
    s << (library.empty() ? "no PDF library (built without PDF support)" : library) << "\n";
    return s.str();
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, const Environment& env) {
    std::ostream& err = env.err ? *env.err : std::cerr;
    if (args.empty()) return Usage(err, "no command given");
    const std::string& command = args[0];
    std::ostream& out = env.out ? *env.out : std::cout;
    if (command == "--version" || command == "version") {
        out << VersionText(env);
        return kExitOk;
    }
    // `vellora COMMAND --help` and `vellora help COMMAND`.
    const bool asksHelp = std::find_if(args.begin() + 1, args.end(), [](const std::string& a) {
                              return a == "--help" || a == "-h";
                          }) != args.end();
    if (asksHelp || (command == "help" && args.size() == 2)) {
        const std::string help =
            CommandHelp(command == "help" ? args[1] : command, env.moreCommands);
        if (help.empty())
            return Usage(err, "unknown command: " + (command == "help" ? args[1] : command));
        out << help;
        return kExitOk;
    }
    if (command == "run") return RunScriptCommand(args, env);
    if (FindPageCommand(command)) return RunPageCommand(args, env);
    if (command == "--help" || command == "-h" || command == "help") {
        out << UsageText(env.moreCommands);
        return kExitOk;
    }
    return Usage(err, "unknown command: " + command);
}

}  // namespace vellora::cli
