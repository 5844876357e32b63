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

void Document::setCropBox(int index, const FixedRect& box) {
    checkIndex(index);
    auto saved = changedCrops_.emplace(index, backend_->cropBox(index)).first;
    backend_->setCropBox(index, box);
    const FixedRect& was = saved->second;
    if (was.left == box.left && was.top == box.top && was.right == box.right && was.bottom == box.bottom)
        changedCrops_.erase(saved);
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
