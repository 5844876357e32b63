#include "cli/command_line.h"

#include "backend/document_backend.h"
#include "cli/cli_options.h"
#include "cli/held_messages.h"
#include "cli/output_file.h"
#include "cli/page_script.h"
#include "model/view_geometry.h"
#include "script/script_runner.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <system_error>

namespace vellora::cli {

namespace {

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return false;
    text = buffer.str();
    return true;
}

// One line: what is wrong, and where the usage is.
int Usage(std::ostream& err, const std::string& problem) {
    err << "vellora: " << problem << " (vellora --help lists the commands and options)\n";
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
    if (!ReadWholeFile(scriptPath, text)) {
        err << "vellora: cannot read script " << scriptPath << "\n";
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
    opened.backend = OpenPdfDocument(request.input, opened.warnings);
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

// Refuses an output that would overwrite the input unless asked to.
void CheckOutputTarget(const PageRequest& request) {
    if (request.output.empty() || request.inPlace) return;
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
                   const std::string& prefix, const std::string& script, const PageRequest& request) {
    const std::string unwritten =
        request.output.empty() ? std::string() : "; nothing written to " + request.output;
    if (status == kExitStopped) {
        err << "vellora: stopped" << unwritten << "\n";
        return;
    }
    for (const std::string& message : held) {
        if (message.find(kMismatchQuestion) != std::string::npos) {
            err << "vellora: the plug-in asks \"" << kMismatchQuestion
                << "\": answer it with --mismatch crop or --mismatch skip" << unwritten << "\n";
        } else if (HeldLineNumber(message, prefix) != 0 &&
                   HeldLineNumber(message, prefix) == LineNumberOf(script, kRegionAcceptedCheck)) {
            err << "vellora: the plug-in refused the region (its alert above says why)" << unwritten
                << "\n";
        } else {
            err << message << unwritten << "\n";
        }
    }
}

// Runs the command's script; messages pass through, its failure is told in
// the command line's terms.
int RunGenerated(const PageRequest& request, const PageFacts& facts, std::shared_ptr<OpenedDocument> opened,
                 const std::string& outputPath, const std::string& verb, const Environment& env) {
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

int RunPageCommand(const std::vector<std::string>& args, const Environment& env) {
    std::ostream& err = env.err ? *env.err : std::cerr;
    std::ostream& out = env.out ? *env.out : std::cout;
    PageRequest request;
    PageFacts facts;
    auto opened = std::make_shared<OpenedDocument>();
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
        CheckOutputTarget(request);
        facts = ReadPageFacts(request, *opened);
        CheckAgainstDocument(request, facts);
    } catch (const UsageError& e) {
        err << "vellora: " << e.what() << "\n";
        return kExitUsage;
    } catch (const HostError& e) {
        err << "vellora: " << e.what() << "\n";
        return kExitFile;
    }

    if (request.printScript) {
        out << MakePageScript(request, facts, request.output);
        return kExitOk;
    }
    if (request.verb == Verb::Boxes) return RunGenerated(request, facts, opened, "", args[0], env);
    try {
        StagedOutput staged(request.output);
        const int status = RunGenerated(request, facts, opened, staged.path(), args[0], env);
        if (status != kExitOk) return status;
        staged.commit();
        return kExitOk;
    } catch (const HostError& e) {
        err << "vellora: " << e.what() << "\n";
        return kExitFile;
    }
}

}  // namespace

std::string UsageText() {
    return "usage:\n"
           "  vellora run SCRIPT [--trace FILE]\n"
           "  vellora crop IN.pdf -o OUT.pdf --region L,B,R,T [--page N]\n"
           "               [--pages current|all|odd|even] [--mismatch crop|skip]\n"
           "  vellora bbox IN.pdf -o OUT.pdf [--each|--biggest|--page N]\n"
           "  vellora reset IN.pdf -o OUT.pdf [--all|--page N]\n"
           "  vellora boxes IN.pdf\n"
           "  vellora show IN.pdf --page N -o OUT.png [--zoom PERCENT] [--media-box]\n"
           "               [--region L,B,R,T]\n"
           "  vellora view FILE.pdf [FILE.pdf ...] [--port N] [--no-browser] [--zoom PERCENT]\n"
           "See docs/command-line.md.\n";
}

int RunCommandLine(const std::vector<std::string>& args, const Environment& env) {
    std::ostream& err = env.err ? *env.err : std::cerr;
    if (args.empty()) return Usage(err, "no command given");
    const std::string& command = args[0];
    if (command == "run") return RunScriptCommand(args, env);
    if (IsPageVerb(command)) return RunPageCommand(args, env);
    if (command == "--help" || command == "-h" || command == "help") {
        (env.out ? *env.out : std::cout) << UsageText();
        return kExitOk;
    }
    return Usage(err, "unknown command: " + command);
}

}  // namespace vellora::cli
