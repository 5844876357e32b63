// SPDX-License-Identifier: AGPL-3.0-or-later
// A person at an interactive front end, as the host's modal loops see
// them: every loop that a script answers from the queue asks this instead
// when it is set, and waits for the person's next action. Called on the
// host's UI thread only; the front end tells its own side what to show.
#pragma once

#include "core/progress_record.h"

#include <vxwin32/standin.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vellora {

// One step of the mouse while its button is held: a move, or the release.
struct PointerStep {
    int16_t x = 0, y = 0;
    uint16_t modifiers = 0;
    bool released = false;
};

// A question the host or the plug-in puts to the person.
struct Question {
    std::string kind;  // "question" (an alert), "note", "confirm", or "host" for the host's own
    std::string text;
    std::vector<std::string> buttons;  // as given, '&' marking access keys
};

class LiveInput {
public:
    virtual ~LiveInput() = default;

    // Blocks until the mouse moves or is released during a drag loop. The
    // caller has drawn the rubber band for the point before.
    virtual PointerStep nextPointerStep() = 0;
    // Shows the question and blocks for the person's choice: the number of
    // the button (from 1).
    virtual int answer(const Question& question) = 0;
    // Shows the dialog as it stands and blocks for the person's next action
    // on it; nullopt ends it as Escape would (the person is gone).
    virtual std::optional<vxwin32::DialogAction> nextDialogAction(const vxwin32::DialogState& dialog) = 0;
    // Whether the person asked to stop the run in progress; never blocks.
    virtual bool stopRequested() = 0;
    // What a drag loop drew or a progress record changed: show it now, the
    // host is not idle until the loop or the run is over.
    virtual void showDragFrame() = 0;
    virtual void showProgress(const ProgressRecord& record) = 0;
};

}  // namespace vellora
