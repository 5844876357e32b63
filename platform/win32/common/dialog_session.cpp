// SPDX-License-Identifier: AGPL-3.0-or-later
#include "dialog_session.h"

namespace vxwin32 {
namespace detail {

DialogSession& Session() {
    static DialogSession session;
    return session;
}

void NotifyObserver(const DialogState& state, const char* event) {
    if (!Session().observer) return;
    try {
        Session().observer(state, event);
    } catch (...) {
    }
}

std::optional<DialogAction> AskInputSource(const DialogState& state) {
    if (!Session().source) return std::nullopt;
    try {
        return Session().source(state);
    } catch (...) {
        Session().inputError = std::current_exception();
        return std::nullopt;
    }
}

}  // namespace detail

void SetDialogInputSource(DialogInputSource source) { detail::Session().source = std::move(source); }
void SetDialogObserver(DialogObserver observer) { detail::Session().observer = std::move(observer); }
std::optional<DialogState> LastDialog() { return detail::Session().last; }

std::exception_ptr TakeDialogInputError() {
    std::exception_ptr error = detail::Session().inputError;
    detail::Session().inputError = nullptr;
    return error;
}

}  // namespace vxwin32
