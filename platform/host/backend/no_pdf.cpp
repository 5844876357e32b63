// SPDX-License-Identifier: AGPL-3.0-or-later
// The backend entry points of a build made without the PDF library: every
// request for a PDF file is refused with a message that says why.
#include "backend/document_backend.h"

namespace vellora {

namespace {

[[noreturn]] void Refuse(const std::string& path) {
    throw HostError(ErrorKind::InputFile, path + ": cannot read or write PDF files: this build has no PDF support");
}

}  // namespace

bool PdfSupportAvailable() { return false; }

std::unique_ptr<DocumentBackend> OpenPdfDocument(const std::string& path, std::vector<std::string>&, const std::string&,
                                                 OpenFor, const InkSettings&) {
    Refuse(path);
}

std::string PdfLibraryVersion() { return ""; }

PdfPageLoads PdfPagesLoaded() { return PdfPageLoads{}; }

void WriteBlankPdf(const std::vector<PageSetup>&, const std::string& path) { Refuse(path); }

}  // namespace vellora
