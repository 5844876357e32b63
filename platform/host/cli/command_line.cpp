#include "cli/command_line.h"

#include "backend/document_backend.h"
#include "cli/cli_options.h"
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

int Usage(std::ostream& err, const std::string& problem) {
    err << "vellora: " << problem << "\n" << UsageText();
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
PageFacts ReadPageFacts(const PageRequest& request) {
    if (!PdfSupportAvailable()) {
        throw HostError("this build of vellora reads no PDF files (built without PDF support)");
    }
    std::vector<std::string> warnings;  // the script's own `open` reports them
    std::unique_ptr<DocumentBackend> doc = OpenPdfDocument(request.input, warnings);
    PageFacts facts;
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

int RunPageCommand(const std::vector<std::string>& args, const Environment& env) {
    std::ostream& err = env.err ? *env.err : std::cerr;
    std::ostream& out = env.out ? *env.out : std::cout;
    PageRequest request;
    PageFacts facts;
    try {
        request = ParsePageRequest(args);
    } catch (const UsageError& e) {
        err << "vellora: " << e.what() << " (vellora --help lists the options)\n";
        return kExitUsage;
    }
    try {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(request.input, ec)) {
            throw HostError(request.input + (std::filesystem::exists(request.input, ec)
                                                 ? ": not a regular file"
                                                 : ": no such file"));
        }
        CheckOutputTarget(request);
        facts = ReadPageFacts(request);
        CheckAgainstDocument(request, facts);
    } catch (const UsageError& e) {
        err << "vellora: " << e.what() << "\n";
        return kExitUsage;
    } catch (const HostError& e) {
        err << "vellora: " << e.what() << "\n";
        return kExitFile;
    }

    ScriptRunOptions options;
    options.modulePath = env.modulePath;
    options.progressBar = env.progressBar;
    options.out = env.out;
    options.err = env.err;
    const std::string scriptName = "(vellora " + args[0] + ")";
    if (request.printScript) {
        out << MakePageScript(request, facts, request.output);
        return kExitOk;
    }
    if (request.verb == Verb::Boxes) {
        return RunHostScript(MakePageScript(request, facts, ""), scriptName, options);
    }
    try {
        StagedOutput staged(request.output);
        const int status =
            RunHostScript(MakePageScript(request, facts, staged.path()), scriptName, options);
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
