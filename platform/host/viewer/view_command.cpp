// SPDX-License-Identifier: AGPL-3.0-or-later
#include "viewer/view_command.h"

#include "core/box_settings.h"
#include "core/exit_status.h"
#include "core/fixed_text.h"
#include "core/host_error.h"
#include "script/interpreter.h"
#include "viewer/viewer_session.h"
#include "viewer/web_server.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vellora::viewer {

namespace {

int Number(const std::string& option, const std::string& text, int low, int high) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
        throw UsageError(option + " must be a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\"");
    return v;
}

// A page only this user can read that forwards the browser to the viewer's
// address. The browser is handed its file name: a process's arguments are
// there for every local user to read, the token must not be.
class ForwardingPage {
public:
    explicit ForwardingPage(const std::string& url) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::string base = runtime != nullptr && *runtime != '\0' ? runtime : "/tmp";
        std::string pattern = base + "/vellora-view-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) return;  // a directory only this user can enter
        dir_ = pattern;
        std::string path = dir_ + "/open.html";
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) return;
        std::string page =
            "<!doctype html>\n<html><head><meta charset=\"utf-8\">"
            "<meta name=\"referrer\" content=\"no-referrer\">"
            "<meta http-equiv=\"refresh\" content=\"0;url=" +
            url + "\"><title>Vellora</title></head>\n<body><p><a href=\"" + url +
            "\">Open the Vellora viewer</a></p></body></html>\n";
        bool written = write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size());
        if (close(fd) == 0 && written) path_ = path;
    }
    ~ForwardingPage() {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }
    ForwardingPage(const ForwardingPage&) = delete;
    ForwardingPage& operator=(const ForwardingPage&) = delete;
    // Empty when it could not be written.
    const std::string& path() const { return path_; }

private:
    std::string dir_, path_;
};

// Hands the forwarding page to the desktop's browser; the viewer does not wait for it.
void OpenInBrowser(const ForwardingPage& page, std::ostream& err) {
    if (page.path().empty()) {
        err << "vellora: could not write the page that opens the viewer; open the address above in a browser\n";
        return;
    }
    std::string program = "xdg-open";
    std::string target = "file://" + page.path();
    char* argv[] = {program.data(), target.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) {
        err << "vellora: could not start xdg-open; open the address above in a browser\n";
        return;
    }
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
}

// Passes what the host prints on to standard error and keeps its warnings
// (a file repaired on opening) for the page's status bar.
class WarningTap : public std::streambuf {
public:
    explicit WarningTap(std::ostream& to) : to_(to) {}
    std::vector<std::string> take() { return std::exchange(warnings_, {}); }

protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) return 0;
        to_.put(static_cast<char>(c));
        if (c != '\n') {
            line_ += static_cast<char>(c);
        } else {
            if (line_.rfind("warning: ", 0) == 0) warnings_.push_back("Warning: " + line_.substr(9));
            line_.clear();
        }
        return c;
    }
    int sync() override {
        to_.flush();
        return 0;
    }

private:
    std::ostream& to_;
    std::string line_;
    std::vector<std::string> warnings_;
};

bool HasDisplay() { return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr; }

}  // namespace

std::vector<std::string> ViewSynopsis() {
    return {"vellora view [FILE.pdf ...] [--root DIR] [--port N] [--no-browser] [--zoom PERCENT]",
            "[--margin M|L,B,R,T] [--ink-threshold PERCENT] [--ignore-dark-edges]"};
}

std::string ViewUsage() {
    const std::vector<std::string> synopsis = ViewSynopsis();
    std::string usage = "usage: " + synopsis[0] + "\n";
    for (size_t i = 1; i < synopsis.size(); ++i) usage += "       " + synopsis[i] + "\n";
    return usage +
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
            if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
            return args[++i];
        };
        if (a == "--port") {
            o.port = Number(a, value(), 0, 65535);
        } else if (a == "--zoom") {
            o.zoom = Number(a, value(), 1, 6400);
        } else if (a == "--margin") {
            const BoxMargin m = MarginOption(value());
            o.boxSettings.push_back({"host", "margin", FixedToText(m.left), FixedToText(m.bottom), FixedToText(m.right),
                                     FixedToText(m.top)});
        } else if (a == "--ink-threshold") {
            o.boxSettings.push_back({"host", "ink-threshold", FixedToText(InkThresholdOption(value()))});
        } else if (a == "--ignore-dark-edges") {
            o.boxSettings.push_back({"host", "dark-edges", "ignore"});
        } else if (a == "--root") {
            o.root = value();
        } else if (a == "--no-browser") {
            o.openBrowser = false;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (!a.empty() && a[0] == '-') {
            throw UsageError("unknown option for view: " + a);
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
    } catch (const UsageError& e) {
        err << "vellora: " << e.what() << " (vellora view --help)\n";
        return kExitUsage;
    }
    if (options.help) {
        out << ViewUsage();
        return kExitOk;
    }
    ScriptRunOptions run;
    run.modulePath = env.modulePath;
    run.out = &out;
    WarningTap tap(err);
    std::ostream hostErr(&tap);
    run.err = &hostErr;
    Interpreter interpreter("vellora view", run);
    try {
        for (const std::vector<std::string>& line : options.boxSettings) interpreter.runCommand(line);
        interpreter.runCommand({"load"});
        for (const std::string& file : options.files) {
            interpreter.runCommand({"open", file});
            interpreter.runCommand({"zoom", std::to_string(static_cast<int>(options.zoom))});
        }
    } catch (const ScriptError& e) {
        err << "vellora: " << e.what() << "\n";
        return e.status == kExitFile ? kExitFile : kExitUsage;
    } catch (const ModuleError& e) {
        err << "vellora: " << e.what() << "\n";
        return ExitStatusOf(ErrorKind::Module);
    } catch (const std::exception& e) {
        err << "vellora: " << e.what() << "\n";
        return kExitFile;
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
        return kExitUsage;
    }

    UserEventQueue events;
    Publication publication;
    bool quit = false;
    try {
        WebServer server(events, publication);
        server.setFileChooser(&*chooser);
        ViewerSession session(interpreter, events, publication, err);
        session.setWarningSource([&tap] { return tap.take(); });
        session.setFileChooser(&*chooser, options.zoom);
        session.publish();
        server.start(options.port);
        out << server.url() << std::endl;
        std::optional<ForwardingPage> forward;
        if (options.openBrowser && HasDisplay()) OpenInBrowser(forward.emplace(server.url()), err);
        quit = session.run();
        events.close();
        server.stop();
    } catch (const std::exception& e) {
        err << "vellora: " << e.what() << "\n";
        return kExitFailed;
    }
    // Nothing is written that the person did not save.
    for (const auto& w : interpreter.frontEnd().windows())
        if (w->document().modified()) err << "vellora: unsaved changes to \"" << w->name() << "\" were not saved\n";
    return quit ? kExitOk : kExitStopped;
}

}  // namespace vellora::viewer
