#include "viewer/view_command.h"

#include "script/interpreter.h"
#include "viewer/viewer_session.h"
#include "viewer/web_server.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace vellora::viewer {

namespace {

int Number(const std::string& option, const std::string& text, int low, int high) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
        throw std::invalid_argument(option + " must be a whole number from " + std::to_string(low) + " to " +
                                    std::to_string(high) + ", not \"" + text + "\"");
    return v;
}

// Hands the address to the desktop's browser; the viewer does not wait for it.
void OpenInBrowser(const std::string& url, std::ostream& err) {
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) return;
    std::string program = "xdg-open";
    char* argv[] = {program.data(), const_cast<char*>(url.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) {
        err << "vellora: could not start xdg-open; open the address above in a browser\n";
        return;
    }
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
}

}  // namespace

std::string ViewUsage() {
    return "usage: vellora view [FILE.pdf ...] [--root DIR] [--port N] [--no-browser] [--zoom PERCENT]\n"
           "Serves an interactive viewer on http://127.0.0.1:PORT/ (port 0, the default, picks a free one)\n"
           "and prints its address with the access token. Ctrl-C or File > Exit on the page ends it.\n"
           "File > Open lists the folders and PDF files under DIR (default: the first file's folder, or the\n"
           "current folder when no file is given); with no file the page opens on that chooser.\n";
}

ViewOptions ParseViewOptions(const std::vector<std::string>& args) {
    ViewOptions o;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
            return args[++i];
        };
        if (a == "--port") {
            o.port = Number(a, value(), 0, 65535);
        } else if (a == "--zoom") {
            o.zoom = Number(a, value(), 1, 6400);
        } else if (a == "--root") {
            o.root = value();
        } else if (a == "--no-browser") {
            o.openBrowser = false;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (!a.empty() && a[0] == '-') {
            throw std::invalid_argument("unknown option for view: " + a);
        } else {
            o.files.push_back(a);
        }
    }
    return o;
}

int RunViewCommand(const std::vector<std::string>& args, const ViewEnvironment& env) {
    std::ostream& out = env.out ? *env.out : std::cout;
    std::ostream& err = env.err ? *env.err : std::cerr;
    ViewOptions options;
    try {
        options = ParseViewOptions(args);
    } catch (const std::invalid_argument& e) {
        err << "vellora: " << e.what() << " (vellora view --help)\n";
        return 2;
    }
    if (options.help) {
        out << ViewUsage();
        return 0;
    }
    UserStopFlag().store(false);
    ScriptRunOptions run;
    run.modulePath = env.modulePath;
    run.out = &out;
    run.err = &err;
    Interpreter interpreter("vellora view", run);
    try {
        interpreter.runCommand({"load"});
        for (const std::string& file : options.files) {
            interpreter.runCommand({"open", file});
            interpreter.runCommand({"zoom", std::to_string(static_cast<int>(options.zoom))});
        }
    } catch (const ScriptError& e) {
        err << "vellora: " << e.what() << "\n";
        return e.status == 3 ? 3 : 2;
    } catch (const ModuleError& e) {
        err << "vellora: " << e.what() << "\n";
        return 2;
    } catch (const std::exception& e) {
        err << "vellora: " << e.what() << "\n";
        return 3;
    }

    std::optional<FileChooser> chooser;
    try {
        std::filesystem::path root = options.root;
        if (root.empty())
            root = options.files.empty() ? std::filesystem::path(".")
                                         : std::filesystem::absolute(options.files[0]).parent_path();
        chooser.emplace(root);
    } catch (const std::invalid_argument& e) {
        err << "vellora: " << e.what() << " (vellora view --help)\n";
        return 2;
    }

    UserEventQueue events;
    Publication publication;
    bool quit = false;
    try {
        WebServer server(events, publication);
        server.setFileChooser(&*chooser);
        ViewerSession session(interpreter, events, publication, err);
        session.setFileChooser(&*chooser, options.zoom);
        session.publish();
        server.start(options.port);
        out << server.url() << std::endl;
        if (options.openBrowser) OpenInBrowser(server.url(), err);
        quit = session.run();
        events.close();
        server.stop();
    } catch (const std::exception& e) {
        err << "vellora: " << e.what() << "\n";
        return 1;
    }
    // Nothing is written that the person did not save.
    for (const auto& w : interpreter.host().windows())
        if (w->document().modified()) err << "vellora: unsaved changes to \"" << w->name() << "\" were not saved\n";
    return quit ? 0 : 130;
}

}  // namespace vellora::viewer
