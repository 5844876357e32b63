// SPDX-License-Identifier: AGPL-3.0-or-later
// Alerts and progress as the user sees them: alerts are answered from the
// input queue; notes are shown on the message stream, questions and their
// answers only when the conversation is asked for (verbose).
#include "model/host.h"

#include "core/message_text.h"

#include <algorithm>

namespace vellora {

namespace {

std::string WithoutAmpersands(const std::string& text) {
    std::string plain;
    for (char c : text)
        if (c != '&') plain += c;
    return plain;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

int32_t HostState::alert(const std::string& message, const std::vector<const char*>& buttons) {
    AlertShown shown{"question", message, {}, {}};
    for (const char* b : buttons)
        if (b != nullptr) shown.buttons.emplace_back(b);
    if (shown.buttons.empty()) shown.buttons.emplace_back("OK");
    // Without a fitting answer the alert is dismissed with its cancel-like
    // button: "Cancel" when it has one, else the first.
    int32_t choice = VX_ALERT_BUTTON1;
    for (size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i] != nullptr && WithoutAmpersands(buttons[i]) == "Cancel")
            choice = static_cast<int32_t>(VX_ALERT_BUTTON1 + i);
    std::string list;
    for (const std::string& b : shown.buttons) list += (list.empty() ? "" : ", ") + Quoted(b);
    if (input_.live != nullptr) {
        // The person picks among the buttons shown; the plug-in hears the
        // number of that button among those it gave.
        std::vector<int32_t> numbers;
        for (size_t i = 0; i < buttons.size(); ++i)
            if (buttons[i] != nullptr) numbers.push_back(static_cast<int32_t>(VX_ALERT_BUTTON1 + i));
        if (numbers.empty()) numbers.push_back(VX_ALERT_BUTTON1);
        size_t picked = static_cast<size_t>(std::clamp(
            input_.live->answer(Question{"question", message, shown.buttons}), 1, static_cast<int>(numbers.size())));
        choice = numbers[picked - 1];
        shown.answer = shown.buttons[picked - 1];
        if (verbose_) PrintMessage(err_, "question: " + message + " [" + list + "] -> " + shown.answer);
        alerts_.push_back(std::move(shown));
        return choice;
    }
    std::optional<std::string> answer = input_.standingAnswer(message);
    if (!answer) answer = input_.takeAnswer();
    bool fits = false;
    if (!answer) {
        recordUnanswered(message, "no answer queued for the alert " + Quoted(message) + " (buttons " + list + ")");
    } else {
        for (size_t i = 0; i < buttons.size(); ++i)
            if (buttons[i] != nullptr && WithoutAmpersands(buttons[i]) == *answer) {
                choice = static_cast<int32_t>(VX_ALERT_BUTTON1 + i);
                fits = true;
                break;
            }
        if (!fits)
            recordUnanswered(message, "the answer " + Quoted(*answer) + " fits no button of the alert " +
                                          Quoted(message) + " (buttons " + list + ")");
    }
    const size_t pressed = static_cast<size_t>(choice - VX_ALERT_BUTTON1);
    shown.answer = pressed < buttons.size() && buttons[pressed] ? buttons[pressed] : "";
    // A question nobody answered is dismissed, and the line says so.
    if (verbose_)
        PrintMessage(err_, "question: " + message + " [" + list + "] -> " + shown.answer +
                               (fits ? "" : " (dismissed: no fitting answer)"));
    alerts_.push_back(std::move(shown));
    return choice;
}

void HostState::note(const std::string& message, const std::string& kind) {
    PrintMessage(err_, "alert: " + message);
    if (input_.live != nullptr) (void)input_.live->answer(Question{kind, message, {"OK"}});
    alerts_.push_back(AlertShown{kind, message, {"OK"}, "OK"});
}

bool HostState::confirm(const std::string& message) {
    std::optional<std::string> answer =
        input_.live != nullptr
            ? std::optional<std::string>(input_.live->answer(Question{"confirm", message, {"Yes", "No"}}) == 1 ? "yes"
                                                                                                               : "no")
            : input_.takeAnswer();
    bool yes = false;
    if (!answer)
        recordUnanswered(message, "no answer queued for the confirmation " + Quoted(message) + " (yes or no)");
    else if (*answer == "yes")
        yes = true;
    else if (*answer != "no")
        recordUnanswered(message, "the answer " + Quoted(*answer) + " fits no button of the confirmation " +
                                      Quoted(message) + " (yes or no)");
    if (verbose_) PrintMessage(err_, "confirm: " + message + " -> " + (yes ? "yes" : "no"));
    alerts_.push_back(AlertShown{"confirm", message, {"yes", "no"}, yes ? "yes" : "no"});
    return yes;
}

void HostState::progressUpdate(ProgressEvent event, int32_t value) {
    ProgressRecord record{event, value};
    progressRecords_.push_back(record);
    if (input_.live != nullptr) {
        // The front end shows the bar; the message stream stays readable.
        input_.live->showProgress(record);
        return;
    }
    progressDisplay_.update(record);
}

}  // namespace vellora
