// SPDX-License-Identifier: AGPL-3.0-or-later
// Undo and Redo of crop boxes: a person's action is one step of each
// document it changed, whoever set the boxes (the plug-in or the host).
#include "model/host.h"

namespace vellora {

void HostState::closeSteps() {
    for (const auto& doc : documents_) (void)doc->closeStep();
}

void HostState::beginAction() {
    // Changes made between actions (a drawing routine, a timer) are a step of their own.
    if (actionDepth_++ == 0) closeSteps();
}

void HostState::endAction() {
    if (--actionDepth_ == 0) closeSteps();
}

void HostState::stepActive(bool back) {
    const char* verb = back ? "undo" : "redo";
    if (active_ == nullptr) throw HostError(std::string("no document is open to ") + verb + " in");
    Document& doc = active_->document();
    closeSteps();
    if (!(back ? doc.canUndo() : doc.canRedo()))
        throw HostError(std::string("nothing to ") + verb + " in \"" + active_->name() + "\"");
    for (int page : back ? doc.undo() : doc.redo()) notifyPageChanged(doc, page);
}

}  // namespace vellora
