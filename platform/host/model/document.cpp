// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/document.h"

namespace vellora {

Document::Document(std::string name, std::unique_ptr<DocumentBackend> backend, MemoryBackend* memory)
    : name_(std::move(name)), backend_(std::move(backend)), memory_(memory) {
    for (int i = 0; i < backend_->pageCount(); ++i) pages_.push_back(PageRef{this, i, 0});
}

void Document::checkIndex(int index) const {
    if (index < 0 || index >= backend_->pageCount())
        throw HostError("document \"" + name_ + "\" has no page index " + std::to_string(index) + " (it has " +
                        std::to_string(backend_->pageCount()) + " pages)");
}

PageRef& Document::page(int index) {
    checkIndex(index);
    return pages_[static_cast<size_t>(index)];
}

uint32_t Document::permissions() const { return permissions_ ? *permissions_ : backend_->permissions(); }

namespace {

bool SameBox(const FixedRect& a, const FixedRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

FixedRect Document::putCropBox(int index, const FixedRect& box) {
    const FixedRect before = backend_->cropBox(index);
    backend_->setCropBox(index, box);
    // What the backend keeps may be normalised: compare with that.
    const FixedRect after = backend_->cropBox(index);
    const FixedRect saved = savedBoxes_.emplace(index, before).first->second;
    if (SameBox(after, saved))
        unsaved_.erase(index);
    else
        unsaved_.insert(index);
    return before;
}

void Document::setCropBox(int index, const FixedRect& box) {
    checkIndex(index);
    const FixedRect before = putCropBox(index, box);
    open_.try_emplace(index, BoxChange{index, before, before}).first->second.after = backend_->cropBox(index);
}

void Document::setModified(bool modified) {
    modified_ = modified;
    if (!modified) {
        savedBoxes_.clear();
        unsaved_.clear();
    }
}

bool Document::closeStep() {
    std::vector<BoxChange> step;
    for (const auto& [index, change] : open_)
        if (!SameBox(change.before, change.after)) step.push_back(change);
    open_.clear();
    if (step.empty()) return false;
    undo_.push_back(std::move(step));
    redo_.clear();
    return true;
}

std::vector<int> Document::replay(std::vector<std::vector<BoxChange>>& from, std::vector<std::vector<BoxChange>>& to,
                                  bool back) {
    std::vector<int> pages;
    if (from.empty()) return pages;
    std::vector<BoxChange> step = std::move(from.back());
    from.pop_back();
    // A step holds each page once: the order of the pages does not matter.
    for (const BoxChange& change : step) {
        (void)putCropBox(change.page, back ? change.before : change.after);
        pages.push_back(change.page);
    }
    to.push_back(std::move(step));
    return pages;
}

std::vector<std::string> Document::heldPages() const {
    std::vector<std::string> held;
    for (const PageRef& p : pages_)
        if (p.refs != 0)
            held.push_back("page " + std::to_string(p.index + 1) + " of \"" + name_ + "\" (" + std::to_string(p.refs) +
                           " reference" + (p.refs == 1 ? "" : "s") + ")");
    return held;
}

}  // namespace vellora
