// SPDX-License-Identifier: AGPL-3.0-or-later
// Writing a document that has no file yet: blank pages with its geometry.
#include "backend/document_backend.h"
#include "backend/pdf/mu_context.h"
#include "backend/pdf/page_units.h"
#include "files/replacement_file.h"

namespace vellora {

void WriteBlankPdf(const std::vector<PageSetup>& pages, const std::string& path)
{
    using namespace vellora::pdf;
    if (pages.empty())
        throw HostError(ErrorKind::OutputFile, path + ": cannot write a PDF file without pages");
    std::vector<MuBlankPage> blank(pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        const PageSetup& p = pages[i];
        const auto put = [](float out[4], const FixedRect& r) {
            out[0] = ToWritablePoints(r.left);
            out[1] = ToWritablePoints(r.bottom);
            out[2] = ToWritablePoints(r.right);
            out[3] = ToWritablePoints(r.top);
        };
        put(blank[i].media, p.media);
        blank[i].hasCrop = p.crop.has_value();
        if (p.crop)
            put(blank[i].crop, *p.crop);
        blank[i].rotate = p.rotation;
    }
    MuContext mu;
    ReplacementFile file(path);
    MuError err{};
    if (!MuWriteBlankDocument(mu.get(), blank.data(), int(blank.size()), file.fd(), &err))
        throw HostError(ErrorKind::OutputFile, path + ": cannot save: " + err.text);
    file.commit();
}

}  // namespace vellora
