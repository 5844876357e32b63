#include "cli/command_line.h"

#include "script/script_runner.h"

#include <fstream>
#include <iostream>
#include <sstream>

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
    if (command == "--help" || command == "-h" || command == "help") {
        (env.out ? *env.out : std::cout) << UsageText();
        return kExitOk;
    }
    return Usage(err, "unknown command: " + command);
}

}  // namespace vellora::cli
