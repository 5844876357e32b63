// SPDX-License-Identifier: AGPL-3.0-or-later
// Whole-job timings of the PDF backend, for bench/run.sh to set beside
// other tools doing the same job:
//   pdf_bench bbox FILE                       every page's bounding box
//   pdf_bench crop FILE OUT incremental|full  a crop box on every page, saved
// Prints one line of key=value pairs.
#include "backend/document_backend.h"

#include <sys/resource.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor time (user and system): the machine may be shared, and then
// wall-clock time says more about the neighbours than about the work.
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::unique_ptr<vellora::DocumentBackend> Open(const std::string& path)
{
    std::vector<std::string> warnings;
    auto doc = vellora::OpenPdfDocument(path, warnings);
    for (const auto& w : warnings)
        std::fprintf(stderr, "%s\n", w.c_str());
    return doc;
}

int BoundingBoxes(const std::string& path)
{
    const auto start = Clock::now();
    auto doc = Open(path);
    const double opened = Seconds(start);
    for (int page = 0; page < doc->pageCount(); ++page)
        doc->boundingBox(page);
    std::printf("pages=%d open_s=%.3f total_s=%.3f cpu_s=%.3f peak_kb=%ld\n", doc->pageCount(),
                opened, Seconds(start), CpuSeconds(), PeakKilobytes());
    return 0;
}

int CropAndSave(const std::string& path, const std::string& out, vellora::SaveMode mode)
{
    const auto start = Clock::now();
    auto doc = Open(path);
    const double opened = Seconds(start);
    for (int page = 0; page < doc->pageCount(); ++page) {
        FixedRect box = doc->mediaBox(page);
        box.left += 36 * VX_FIXED_ONE;
        box.bottom += 36 * VX_FIXED_ONE;
        box.right -= 36 * VX_FIXED_ONE;
        box.top -= 36 * VX_FIXED_ONE;
        doc->setCropBox(page, box);
    }
    const double cropped = Seconds(start);
    doc->save(out, mode);
    const double saveStart = Seconds(start);
    std::printf(
        "pages=%d open_s=%.3f crop_s=%.3f save_s=%.3f total_s=%.3f cpu_s=%.3f bytes_in=%ju "
        "bytes_out=%ju peak_kb=%ld\n",
        doc->pageCount(), opened, cropped - opened, saveStart - cropped, saveStart, CpuSeconds(),
        uintmax_t(std::filesystem::file_size(path)), uintmax_t(std::filesystem::file_size(out)),
        PeakKilobytes());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const std::string job = argc > 1 ? argv[1] : "";
        if (job == "bbox" && argc == 3)
            return BoundingBoxes(argv[2]);
        if (job == "crop" && argc == 5) {
            const std::string mode = argv[4];
            if (mode == "incremental" || mode == "full")
                return CropAndSave(
                    argv[2], argv[3],
                    mode == "full" ? vellora::SaveMode::Full : vellora::SaveMode::Incremental);
        }
        std::fprintf(stderr,
                     "usage: pdf_bench bbox FILE | pdf_bench crop FILE OUT incremental|full\n");
        return 2;
    } catch (const vellora::HostError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
