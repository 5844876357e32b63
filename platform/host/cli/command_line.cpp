// SPDX-License-Identifier: AGPL-3.0-or-later
#include "cli/command_line.h"

#include "backend/document_backend.h"
#include "cli/cli_options.h"
#include "cli/held_messages.h"
#include "cli/output_file.h"
#include "cli/page_script.h"
#include "core/message_text.h"
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
#include <map>
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
    if (std::filesystem::is_directory(path, ec)) throw HostError(path + ": is a directory");
    const std::string tooLarge =
        path + ": larger than 16 MB, more than a script or password file holds";
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kLargestReadFile) throw HostError(tooLarge);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw HostError(path + ": cannot read: " + std::strerror(errno));
    std::string text;
    std::vector<char> chunk(64 * 1024);
    while (in) {
        in.read(chunk.data(), std::streamsize(chunk.size()));
        text.append(chunk.data(), size_t(in.gcount()));
        if (text.size() > kLargestReadFile) throw HostError(tooLarge);
    }
    if (in.bad()) throw HostError(path + ": cannot read");
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
        return kExitFile;
    }
    return RunHostScript(text, scriptPath, options);
}

// What the command needs to know of the document before it makes the script.
// The document stays open for the script, which would otherwise read it again.
PageFacts ReadPageFacts(const PageRequest& request, OpenedDocument& opened) {
    if (!PdfSupportAvailable()) {
        throw HostError("this build of vellora reads no PDF files (built without PDF support)");
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
        if (!request.password &&
            std::string(e.what()).find("without its password") != std::string::npos) {
            throw HostError(
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
    if (facts.pageCount < 1) throw HostError(request.input + ": the document has no pages");
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
                   const std::string& prefix, const std::string& script,
                   const PageRequest& request) {
    const std::string unwritten =
        request.output.empty() ? std::string() : "; nothing written to " + OutputName(request);
    if (status == kExitStopped) {
        Stopped(err, request);
        return;
    }
    for (const std::string& message : held) {
        if (message.find(kMismatchQuestion) != std::string::npos) {
            Say(err, std::string("the plug-in asks \"") + kMismatchQuestion +
                         "\": answer it with --mismatch crop or --mismatch skip" + unwritten);
        } else if (HeldLineNumber(message, prefix) != 0 &&
                   HeldLineNumber(message, prefix) == LineNumberOf(script, kRegionAcceptedCheck)) {
            Say(err, "the plug-in refused the region (its alert above says why)" + unwritten);
        } else {
            PrintMessage(err, message + unwritten);
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
    const int status = RunHostScript(script, scriptName, options);
    messages.finish();
    if (status != kExitOk) {
        ReportFailure(err, status, messages.held(), scriptName + ":", script, request);
    }
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
        throw HostError(std::string(e.what()) + "; nothing done (give --wait to wait for it)");
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
    try {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(request.input, ec)) {
            throw HostError(request.input + (std::filesystem::exists(request.input, ec)
                                                 ? ": not a regular file"
                                                 : ": no such file"));
        }
        request.password = PasswordFor(request, env);
        CheckOutputTarget(request);
        // Through a symbolic link the result goes to the file it names, once
        // resolved here: the link stays a link.
        const bool toStandardOutput = ToStandardOutput(request.output);
        target = request.output.empty() ? std::string()
                 : toStandardOutput
                     ? StandardOutputStandIn(request.verb == Verb::Show ? ".png" : ".pdf")
                     : ResolvedTarget(request.output);
        if (toStandardOutput && !request.printScript) CheckStandardOutput();
        if (!target.empty() && !toStandardOutput) CheckRegularTarget(target, request.output);
        if (!request.printScript) LockFiles(request, target, locks);
        facts = ReadPageFacts(request, *opened);
        CheckAgainstDocument(request, facts);
    } catch (const UsageError& e) {
        Say(err, e.what());
        return kExitUsage;
    } catch (const HostError& e) {
        if (UserStopRequested()) return Stopped(err, request);
        Say(err, e.what());
        return kExitFile;
    }

    if (request.printScript) {
        // The script shown is the one that runs, but for the password.
        PageRequest shown = request;
        if (shown.password) shown.password = "(hidden)";
        out << MakePageScript(shown, facts, target);
        return kExitOk;
    }
    if (request.verb == Verb::Boxes) {
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
        return kExitFile;
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

std::string CommandHelp(const std::string& command) {
    static const std::map<std::string, std::string> kHelp = {
        {"run",
         "usage: vellora run SCRIPT [--trace FILE]\n"
         "Runs a host script (docs/host-scripts.md).\n"
         "  --trace FILE     write one line per host operation the plug-in calls\n"
         "  --verbose        show the questions, their answers and progress lines\n"},
        {"crop",
         "usage: vellora crop IN.pdf -o OUT.pdf --region L,B,R,T [options]\n"
         "Crops pages to a region with the plug-in's crop tool.\n"
         "  --region L,B,R,T the region in points, on the page of --page\n"
         "  --page N         the page the region is drawn on (default 1); alone: crop that page\n"
         "  --pages current|all|odd|even   the pages to crop (default: all)\n"
         "  --mismatch crop|skip           the answer for pages of another size or orientation\n"},
        {"bbox",
         "usage: vellora bbox IN.pdf -o OUT.pdf [--each|--biggest|--page N] [options]\n"
         "Crops pages to the bounding box of their marks.\n"
         "  --each           every page to its own box (default)\n"
         "  --biggest        every page to the biggest box of the document\n"
         "  --page N         page N alone\n"
         "  --margin M|L,B,R,T   points added around every box (default 0); the crop\n"
         "                   stops at the media box\n"
         "  --ink-threshold PERCENT  how far from white an image's pixel must be to count\n"
         "                   as ink (default 25)\n"
         "  --ignore-dark-edges  leave out dark bands along a scanned image's edges\n"},
        {"reset",
         "usage: vellora reset IN.pdf -o OUT.pdf [--all|--page N] [options]\n"
         "Sets crop boxes back to the media box.\n"
         "  --all            every page (default)\n"
         "  --page N         page N alone\n"},
        {"boxes",
         "usage: vellora boxes IN.pdf [options]\n"
         "Prints each page's rotation, media box, crop box and bounding box.\n"
         "  --margin, --ink-threshold, --ignore-dark-edges   as for bbox\n"},
        {"show",
         "usage: vellora show IN.pdf --page N -o OUT.png [options]\n"
         "Writes page N as PNG, as the host's page view draws it.\n"
         "  --zoom PERCENT   from 1 to 6400 (default 100)\n"
         "  --media-box      outline the media box in red\n"
         "  --region L,B,R,T select that region with the crop tool\n"},
    };
    const auto found = kHelp.find(command);
    if (found == kHelp.end()) return "";
    if (command == "run") return found->second;
    std::string text = found->second;
    text +=
        "  --password PW    the password of an encrypted input (also --password-file FILE,\n"
        "                   or the variable VELLORA_PASSWORD)\n"
        "  --print-script   print the host script the command runs, and stop\n"
        "  --verbose        show the questions, their answers, progress lines and how the\n"
        "                   pages were found in the file\n";
    if (command != "boxes") {
        text +=
            "  -o -             write the result to standard output (a file or a program, not a "
            "terminal)\n"
            "  --wait           wait while another vellora process changes the file, instead of "
            "refusing\n";
    }
    if (command == "crop" || command == "bbox" || command == "reset") {
        text += "  --in-place       write over the input (without -o), or let -o name it\n";
    }
    return text;
}

std::string UsageText() {
    return "usage:\n"
           "  vellora run SCRIPT [--trace FILE]\n"
           "  vellora crop IN.pdf -o OUT.pdf --region L,B,R,T [--page N]\n"
           "               [--pages current|all|odd|even] [--mismatch crop|skip]\n"
           "  vellora bbox IN.pdf -o OUT.pdf [--each|--biggest|--page N] [--margin M|L,B,R,T]\n"
           "               [--ink-threshold PERCENT] [--ignore-dark-edges]\n"
           "  vellora reset IN.pdf -o OUT.pdf [--all|--page N]\n"
           "  vellora boxes IN.pdf\n"
           "  vellora show IN.pdf --page N -o OUT.png [--zoom PERCENT] [--media-box]\n"
           "               [--region L,B,R,T]\n"
           "  vellora view [FILE.pdf ...] [--root DIR] [--port N] [--no-browser] [--zoom PERCENT]\n"
           "               [--margin M|L,B,R,T] [--ink-threshold PERCENT] [--ignore-dark-edges]\n"
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
        const std::string help = CommandHelp(command == "help" ? args[1] : command);
        if (help.empty())
            return Usage(err, "unknown command: " + (command == "help" ? args[1] : command));
        out << help;
        return kExitOk;
    }
    if (command == "run") return RunScriptCommand(args, env);
    if (IsPageVerb(command)) return RunPageCommand(args, env);
    if (command == "--help" || command == "-h" || command == "help") {
        out << UsageText();
        return kExitOk;
    }
    return Usage(err, "unknown command: " + command);
}

}  // namespace vellora::cli
