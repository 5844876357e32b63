// SPDX-License-Identifier: AGPL-3.0-or-later
// Pages whose geometry a script gives: exact boxes for tests. Pages render
// white with their marks' bounding box shaded; saving writes blank pages of
// the same geometry as a PDF file.
#pragma once

#include "backend/document_backend.h"

namespace vellora {

class MemoryBackend : public DocumentBackend {
public:
    MemoryBackend(int pages, Fixed width, Fixed height);

    int pageCount() const override { return static_cast<int>(pages_.size()); }
    FixedRect mediaBox(int page) const override { return at(page).media; }
    FixedRect cropBox(int page) const override;
    int rotation(int page) const override { return at(page).rotation; }
    FixedRect boundingBox(int page) override;
    std::optional<FixedRect> marksOnMediaBox(int page) override;
    ReaderMaker readerMaker() const override;
    void setCropBox(int page, const FixedRect& box) override { at(page).crop = box; }
    uint32_t permissions() const override { return VX_PERMISSION_EDIT; }
    void render(int page, const Affine& toDevice, const FixedRect& clip, Raster& out) override;
    void save(const std::string& path, SaveMode mode) override;

    // The script's own access to a page.
    PageSetup& setup(int page) { return at(page); }

private:
    PageSetup& at(int page);
    const PageSetup& at(int page) const;
    std::vector<PageSetup> pages_;
};

}  // namespace vellora
