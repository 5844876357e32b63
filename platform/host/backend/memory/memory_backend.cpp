// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/memory/memory_backend.h"

#include "render/raster_draw.h"

#include <algorithm>

namespace vellora {

MemoryBackend::MemoryBackend(int pages, Fixed width, Fixed height) {
    PageSetup page;
    page.media = FixedRect{0, height, width, 0};
    pages_.assign(static_cast<size_t>(pages), page);
}

PageSetup& MemoryBackend::at(int page) {
    if (page < 0 || page >= pageCount()) throw HostError("no page index " + std::to_string(page));
    return pages_[static_cast<size_t>(page)];
}

const PageSetup& MemoryBackend::at(int page) const {
    if (page < 0 || page >= pageCount()) throw HostError("no page index " + std::to_string(page));
    return pages_[static_cast<size_t>(page)];
}

FixedRect MemoryBackend::cropBox(int page) const {
    const PageSetup& p = at(page);
    return p.crop ? *p.crop : p.media;
}

FixedRect MemoryBackend::boundingBox(int page) {
    const PageSetup& p = at(page);
    return p.bbox ? *p.bbox : p.media;
}

std::optional<FixedRect> MemoryBackend::marksOnMediaBox(int page) {
    const PageSetup& p = at(page);
    if (!p.bbox) return std::nullopt;
    auto ordered = [](const FixedRect& r) {
        return FixedRect{std::min(r.left, r.right), std::max(r.top, r.bottom), std::max(r.left, r.right),
                         std::min(r.top, r.bottom)};
    };
    const FixedRect b = ordered(*p.bbox), m = ordered(p.media);
    const FixedRect marks{std::max(b.left, m.left), std::min(b.top, m.top), std::min(b.right, m.right),
                          std::max(b.bottom, m.bottom)};
    if (marks.left >= marks.right || marks.bottom >= marks.top) return std::nullopt;
    return marks;
}

DocumentBackend::ReaderMaker MemoryBackend::readerMaker() const {
    auto pages = std::make_shared<const std::vector<PageSetup>>(pages_);
    return [pages]() -> std::unique_ptr<DocumentBackend> {
        auto copy = std::make_unique<MemoryBackend>(0, 0, 0);
        copy->pages_ = *pages;
        return copy;
    };
}

void MemoryBackend::render(int page, const Affine& toDevice, const FixedRect& clip, Raster& out) {
    const PageSetup& p = at(page);
    DeviceBox area = TransformBox(toDevice, clip);
    FillBox(out, area, 0xFFFFFFFFu);
    // The marks: a pale block where the bounding box says they are.
    if (p.bbox) FillBox(out, Intersect(TransformBox(toDevice, *p.bbox), area), 0xFFE8D8C8u);
}

void MemoryBackend::save(const std::string& path, SaveMode) { WriteBlankPdf(pages_, path); }

}  // namespace vellora
