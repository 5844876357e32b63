// SPDX-License-Identifier: AGPL-3.0-or-later
// The PDF backend on untrusted files: open, read every page's boxes,
// rotation and bounding box, set crop boxes, save incrementally and in
// full, and open both results again. Each input is written to a file of
// its own in a scratch folder, since the backend reads and writes paths.
#include "backend/document_backend.h"

#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace {

constexpr int kPagesLooked = 16;  // enough to reach odd page trees, short enough to stay fast

// The scratch folder, removed when the program ends. (A handler given to
// atexit while the folder's path was being made would run after the path
// was destroyed, and read freed memory.)
struct ScratchFolder {
    ScratchFolder()
        : path(std::filesystem::temp_directory_path() / ("vx-fuzz-pdf-" + std::to_string(getpid())))
    {
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
};

const std::filesystem::path &Scratch()
{
    static const ScratchFolder folder;
    return folder.path;
}

// A failure of the backend must be a HostError naming the file.
[[noreturn]] void Unclear(const char *what)
{
    std::fprintf(stderr, "fuzz_pdf: %s\n", what);
    std::abort();
}

std::unique_ptr<vellora::DocumentBackend> Open(const std::string &path)
{
    std::vector<std::string> warnings;
    try {
        return vellora::OpenPdfDocument(path, warnings);
    } catch (const vellora::HostError &e) {
        if (std::string(e.what()).rfind(path + ": ", 0) != 0) Unclear(e.what());
        return nullptr;
    }
}

// Reads every page looked at; returns false when a page cannot be read.
bool ReadPages(vellora::DocumentBackend &doc)
{
    for (int i = 0; i < std::min(doc.pageCount(), kPagesLooked); ++i) {
        (void)doc.mediaBox(i);
        (void)doc.cropBox(i);
        (void)doc.rotation(i);
        try {
            (void)doc.boundingBox(i);
        } catch (const vellora::HostError &) {
            return false;
        }
    }
    return true;
}

void SaveAndReopen(vellora::DocumentBackend &doc, const std::string &path, vellora::SaveMode mode)
{
    try {
        doc.save(path, mode);
    } catch (const vellora::HostError &) {
        return;  // refused (permissions, or MuPDF cannot write it): the old file stays
    }
    const int pages = doc.pageCount();
    std::unique_ptr<vellora::DocumentBackend> again = Open(path);
    if (!again) Unclear("a saved file does not open again");
    if (again->pageCount() != pages) Unclear("a saved file has another page count");
    ReadPages(*again);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string in = (Scratch() / "in.pdf").string();
    {
        std::ofstream file(in, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char *>(data), std::streamsize(size));
    }
    std::unique_ptr<vellora::DocumentBackend> doc = Open(in);
    if (!doc) return 0;
    if (!ReadPages(*doc)) return 0;
    for (int i = 0; i < std::min(doc->pageCount(), kPagesLooked); ++i) {
        // An inset crop box, as the plug-in would set, of any page size.
        const FixedRect m = doc->mediaBox(i);
        const Fixed dx = Fixed((int64_t(m.right) - m.left) / 8),
                    dy = Fixed((int64_t(m.top) - m.bottom) / 8);
        try {
            doc->setCropBox(i, FixedRect{m.left + dx, m.top - dy, m.right - dx, m.bottom + dy});
        } catch (const vellora::HostError &) {
            return 0;
        }
    }
    SaveAndReopen(*doc, (Scratch() / "incremental.pdf").string(), vellora::SaveMode::Incremental);
    SaveAndReopen(*doc, (Scratch() / "full.pdf").string(), vellora::SaveMode::Full);
    return 0;
}
