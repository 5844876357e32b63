// SPDX-License-Identifier: AGPL-3.0-or-later
// Helpers shared by the PDF tests: sample paths, scratch directories, file
// contents and the output of the independent tools the results are checked
// with (qpdf, pdfinfo, Ghostscript, mutool).
#pragma once

#include "backend/document_backend.h"

#include <filesystem>
#include <string>
#include <vector>

namespace pdftest {

std::string Sample(const std::string& name);

// A fresh, empty directory for one test, removed when it goes away.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string path(const std::string& name) const
    {
        return (dir_ / name).string();
    }

private:
    std::filesystem::path dir_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

struct CommandResult {
    int status = -1;
    std::string output;  // standard output and error together
};
CommandResult RunCommand(const std::string& command);
std::string Quote(const std::string& path);

// `qpdf --check` passes without warnings.
bool QpdfCheckClean(const std::string& path, std::string* report = nullptr);

// A box in points (x0 y0 x1 y1) as a reader prints it.
struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
// Page N's "CropBox" or "MediaBox" as poppler's pdfinfo reports it.
std::vector<Box> PdfinfoBoxes(const std::string& path, int pages, const std::string& which);
// The per-page bounding boxes of Ghostscript's bbox device (HiResBoundingBox).
std::vector<Box> GhostscriptBoxes(const std::string& path, int first, int last);

Box ToBox(const FixedRect& r);
// The largest difference between corresponding sides.
double Distance(const Box& a, const Box& b);
std::string Show(const Box& b);
FixedRect FixedBox(double left, double bottom, double right, double top);

// Opens a document that must open without warnings.
std::unique_ptr<vellora::DocumentBackend> OpenClean(const std::string& path);

}  // namespace pdftest
