// SPDX-License-Identifier: AGPL-3.0-or-later
// The host script interpreter: one table of commands, each a name, a usage
// line, an argument count and a handler.
#pragma once

#include "core/host_config.h"
#include "loader/module_loader.h"
#include "model/host.h"
#include "script/script_runner.h"
#include "script/tokenizer.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vellora {

class Interpreter;

// The words of one command after its name, read in order.
class Args {
public:
    Args(std::vector<std::string> words, std::string usage) : words_(std::move(words)), usage_(std::move(usage)) {}

    size_t size() const { return words_.size(); }
    bool more() const { return next_ < words_.size(); }
    const std::string& peek() const;
    std::string text(const char* what);
    int64_t integer(const char* what, int64_t low, int64_t high);
    uint32_t version(const char* what);
    bool flag(const char* what);  // 0 or 1
    Fixed fixed(const char* what);
    // Four values written left bottom right top.
    FixedRect rect(const char* what);
    // The rest of the words.
    std::vector<std::string> rest();
    [[noreturn]] void fail(const std::string& problem) const;

private:
    std::vector<std::string> words_;
    std::string usage_;
    size_t next_ = 0;
};

struct Command {
    std::string usage;
    size_t minArgs = 0, maxArgs = 0;  // maxArgs SIZE_MAX: any number
    bool configuration = false;       // only before the host starts
    std::function<void(Interpreter&, Args&)> run;
};

class Interpreter {
public:
    Interpreter(std::string scriptName, const ScriptRunOptions& options);
    ~Interpreter();

    int run(const std::string& text);
    // One line's command, its words already split: runs it, lets the host
    // redraw, and throws ScriptError (or HostError) for what went wrong; the
    // host stays usable for the next command.
    void runCommand(const std::vector<std::string>& words);

    // ---- For the command handlers.
    HostConfig& config();
    // The host as the commands see it; starts the host on first use.
    ScriptSide& host() { return startedHost(); }
    bool started() const { return host_ != nullptr; }
    const LoadedModule& module() const { return module_; }
    // Loads the plug-in module into the host (starting it), which sees the
    // module's calls from the plug-in's side.
    void loadModule(const std::string& path);

    // ---- For a front end that runs the commands for a person.
    FrontEndSide& frontEnd() { return startedHost(); }
    const ScriptRunOptions& options() const { return options_; }
    std::ostream& out() const;
    std::ostream& err() const;

    DocWindow& activeWindow();
    PageView& activeView() { return activeWindow().view(); }
    Document& activeDocument() { return activeWindow().document(); }
    // Page number N (from 1) of the active document, as an index.
    int pageIndex(Args& args);

    // Runs a user action: the gesture is the mouse's path for drag loops.
    void userAction(const std::optional<Gesture>& gesture, const std::function<void()>& action);

    static const std::map<std::string, Command>& commands();

private:
    Host& startedHost();
    void runLine(const std::vector<std::string>& words);
    // The checks made when every line has run.
    void finish(int lastLine);
    [[noreturn]] void fail(int status, const std::string& where, const std::string& message,
                           const std::string& unanswered = {}) const;

    std::string scriptName_;
    ScriptRunOptions options_;
    HostConfig config_;
    std::unique_ptr<Host> host_;
    LoadedModule module_;
};

// The status of a step on a file (open, save, snapshot) that failed: a
// failure with no more precise kind failed on the file.
int FileStepStatus(const HostError& error);

// Adds one command to the table.
void AddCommand(std::map<std::string, Command>& table, const std::string& name, const std::string& usage,
                size_t minArgs, size_t maxArgs, std::function<void(Interpreter&, Args&)> run,
                bool configuration = false);

// Each group of commands adds itself to the table.
void AddConfigurationCommands(std::map<std::string, Command>& table);
void AddDocumentCommands(std::map<std::string, Command>& table);
void AddActionCommands(std::map<std::string, Command>& table);
void AddExpectCommands(std::map<std::string, Command>& table);
void AddOutputCommands(std::map<std::string, Command>& table);

}  // namespace vellora
