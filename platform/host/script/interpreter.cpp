// SPDX-License-Identifier: AGPL-3.0-or-later
#include "script/interpreter.h"

#include "core/fixed_text.h"
#include "core/message_text.h"
#include "input/dialog_answers.h"

#include <vxwin32/standin.h>

#include <climits>
#include <iostream>
#include <sstream>

namespace vellora {

// ---- Args ---------------------------------------------------------------------

void Args::fail(const std::string& problem) const { throw ScriptError(problem + " (usage: " + usage_ + ")"); }

const std::string& Args::peek() const {
    if (!more()) fail("a word is missing");
    return words_[next_];
}

std::string Args::text(const char* what) {
    if (!more()) fail(std::string(what) + " is missing");
    return words_[next_++];
}

int64_t Args::integer(const char* what, int64_t low, int64_t high) {
    std::string word = text(what);
    try {
        size_t used = 0;
        long long v = std::stoll(word, &used, 0);
        if (used == word.size() && v >= low && v <= high) return v;
    } catch (const std::exception&) {
    }
    fail(std::string(what) + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
         ", not \"" + word + "\"");
}

uint32_t Args::version(const char* what) { return static_cast<uint32_t>(integer(what, 0, UINT32_MAX)); }

bool Args::flag(const char* what) {
    std::string word = text(what);
    if (word == "0" || word == "1") return word == "1";
    fail(std::string(what) + " must be 0 or 1, not \"" + word + "\"");
}

Fixed Args::fixed(const char* what) {
    std::string word = text(what);
    if (auto v = FixedFromText(word)) return *v;
    fail(std::string(what) + " must be a number of points within the Fixed range (-32768 to 32767.99998), not \"" +
         word + "\"");
}

FixedRect Args::rect(const char* what) {
    std::string name(what);
    FixedRect r{};
    r.left = fixed((name + " left").c_str());
    r.bottom = fixed((name + " bottom").c_str());
    r.right = fixed((name + " right").c_str());
    r.top = fixed((name + " top").c_str());
    return r;
}

std::vector<std::string> Args::rest() {
    std::vector<std::string> words(words_.begin() + static_cast<std::ptrdiff_t>(next_), words_.end());
    next_ = words_.size();
    return words;
}

void AddCommand(std::map<std::string, Command>& table, const std::string& name, const std::string& usage,
                size_t minArgs, size_t maxArgs, std::function<void(Interpreter&, Args&)> run, bool configuration) {
    table[name] = Command{usage, minArgs, maxArgs, configuration, std::move(run)};
}

// ---- Interpreter ----------------------------------------------------------------

const std::map<std::string, Command>& Interpreter::commands() {
    static const std::map<std::string, Command> table = [] {
        std::map<std::string, Command> t;
        AddConfigurationCommands(t);
        AddDocumentCommands(t);
        AddActionCommands(t);
        AddExpectCommands(t);
        AddOutputCommands(t);
        return t;
    }();
    return table;
}

Interpreter::Interpreter(std::string scriptName, const ScriptRunOptions& options)
    : scriptName_(std::move(scriptName)), options_(options) {}

// The module (declared after the host) is unloaded before the host goes.
Interpreter::~Interpreter() { vxwin32::SetDialogInputSource(nullptr); }

std::ostream& Interpreter::out() const { return options_.out ? *options_.out : std::cout; }
std::ostream& Interpreter::err() const { return options_.err ? *options_.err : std::cerr; }

HostConfig& Interpreter::config() {
    if (host_) throw ScriptError("host configuration must come before load and before any document");
    return config_;
}

Host& Interpreter::startedHost() {
    if (!host_) {
        host_ = std::make_unique<Host>(config_, err(), options_.tracePath, options_.progressBar, options_.verbose);
        ScriptSide* h = host_.get();
        // Every modal dialog takes its input from the queued answers.
        auto pending = std::make_shared<std::vector<vxwin32::DialogAction>>();
        vxwin32::SetDialogInputSource(
            [h, pending](const vxwin32::DialogState& dialog) -> std::optional<vxwin32::DialogAction> {
                if (h->liveInput() != nullptr) return h->liveInput()->nextDialogAction(dialog);
                if (pending->empty()) {
                    std::optional<std::string> answer = h->takeAnswer();
                    if (!answer) {
                        h->recordPluginError("no answer queued for the dialog " + DescribeDialog(dialog));
                        return std::nullopt;
                    }
                    *pending = DialogActionsFor(dialog, *answer);
                    if (pending->empty()) {
                        h->recordPluginError("the answer \"" + *answer + "\" fits no button of the dialog " +
                                             DescribeDialog(dialog));
                        return std::nullopt;
                    }
                }
                vxwin32::DialogAction next = pending->front();
                pending->erase(pending->begin());
                return next;
            });
    }
    return *host_;
}

void Interpreter::loadModule(const std::string& path) { module_.load(startedHost(), path); }

DocWindow& Interpreter::activeWindow() {
    DocWindow* w = host().activeWindow();
    if (w == nullptr) throw ScriptError("no document window is open");
    return *w;
}

int Interpreter::pageIndex(Args& args) {
    int count = activeDocument().pageCount();
    return static_cast<int>(args.integer("page number", 1, count)) - 1;
}

void Interpreter::userAction(const std::optional<Gesture>& gesture, const std::function<void()>& action) {
    ScriptSide& h = host();
    h.restartCallCounts();
    h.setGesture(gesture);
    h.beginAction();
    struct Reset {
        ScriptSide& h;
        ~Reset() {
            h.setGesture(std::nullopt);
            h.endAction();
        }
    } reset{h};
    action();
}

int FileStepStatus(const HostError& error) {
    return ExitStatusOf(error.kind() == ErrorKind::Failed ? ErrorKind::OutputFile : error.kind());
}

void Interpreter::fail(int status, const std::string& where, const std::string& message,
                       const std::string& unanswered) const {
    throw ScriptError(scriptName_ + ":" + where + ": " + message, status, unanswered);
}

void Interpreter::runLine(const std::vector<std::string>& words) {
    const auto& table = commands();
    auto found = words.size() >= 2 ? table.find(words[0] + " " + words[1]) : table.end();
    size_t used = 2;
    if (found == table.end()) {
        found = table.find(words[0]);
        used = 1;
    }
    if (found == table.end()) {
        bool group = false;
        for (const auto& [name, command] : table) group = group || name.rfind(words[0] + " ", 0) == 0;
        if (group) throw ScriptError("unknown command \"" + words[0] + (words.size() > 1 ? " " + words[1] : "") + "\"");
        throw ScriptError("unknown command \"" + words[0] + "\"");
    }
    const Command& command = found->second;
    Args args(std::vector<std::string>(words.begin() + static_cast<std::ptrdiff_t>(used), words.end()), command.usage);
    if (args.size() < command.minArgs) args.fail("too few words");
    if (args.size() > command.maxArgs) args.fail("too many words");
    if (command.configuration && host_)
        throw ScriptError("host configuration must come before load and before any document");
    command.run(*this, args);
    if (args.more()) args.fail("unexpected \"" + args.peek() + "\"");
}

void Interpreter::runCommand(const std::vector<std::string>& words) {
    runLine(words);
    if (host_) {
        host_->idle();
        if (auto e = host_->takePluginError()) throw ScriptError(e->message, e->status, e->unanswered);
    }
}

int Interpreter::run(const std::string& text) {
    // Editors on some systems begin a UTF-8 file with a byte-order mark.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::istringstream lines(
        text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0 ? text.substr(kByteOrderMark.size()) : text);
    std::string line;
    int number = 0;
    try {
        while (std::getline(lines, line)) {
            ++number;
            std::string where = std::to_string(number);
            if (UserStopFlag().load()) fail(kExitStopped, where, "stopped by the user");
            try {
                std::vector<std::string> words = Tokenize(line);
                if (words.empty()) continue;
                runCommand(words);
            } catch (const ScriptError& e) {
                fail(e.status, where, e.text, e.unanswered);
            } catch (const ModuleError& e) {
                fail(ExitStatusOf(ErrorKind::Module), where, e.what());
            } catch (const std::exception& e) {
                fail(kExitFailed, where, e.what());
            }
            if (UserStopFlag().load()) fail(kExitStopped, where, "stopped by the user");
        }
        finish(number);
    } catch (const ScriptError& e) {
        if (options_.failure != nullptr) *options_.failure = ScriptFailure{number, e.unanswered};
        PrintMessage(err(), e.text);
        return e.status;
    }
    return kExitOk;
}

void Interpreter::finish(int lastLine) {
    std::string where = std::to_string(lastLine);
    if (!host_) return;
    const auto& left = host_->pendingAnswers();
    if (!left.empty()) {
        std::string list;
        for (const std::string& a : left) list += (list.empty() ? "\"" : ", \"") + a + "\"";
        fail(kExitFailed, where, "at the end of the script, answer(s) queued but never asked for: " + list);
    }
    std::vector<std::string> leaks = host_->leaks();
    if (!leaks.empty()) {
        std::string all;
        for (const std::string& l : leaks) all += (all.empty() ? "" : "; ") + l;
        fail(kExitFailed, where, "at the end of the script, " + all);
    }
}

}  // namespace vellora
