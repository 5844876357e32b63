// SPDX-License-Identifier: AGPL-3.0-or-later
#include "pdf/pdf_test_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

namespace pdftest {

std::string Sample(const std::string& name)
{
    std::string path = VX_BINARY_DIR;
    path += "/samples/";
    path += name;
    return path;
}

ScratchDir::ScratchDir()
{
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           ("vx-pdf-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(dir_);
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

CommandResult RunCommand(const std::string& command)
{
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quote(const std::string& path)
{
    std::string out = "'";
    for (char c : path)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool QpdfCheckClean(const std::string& path, std::string* report)
{
    const CommandResult r = RunCommand("qpdf --check " + Quote(path));
    if (report)
        *report = r.output;
    return r.status == 0;
}

std::vector<Box> PdfinfoBoxes(const std::string& path, int pages, const std::string& which)
{
    const CommandResult r =
        RunCommand("pdfinfo -box -f 1 -l " + std::to_string(pages) + " " + Quote(path));
    std::vector<Box> boxes;
    std::istringstream in(r.output);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word, number, kind;
        Box b;
        if (words >> word >> number >> kind >> b.x0 >> b.y0 >> b.x1 >> b.y1 && word == "Page" &&
            kind == which + ":")
            boxes.push_back(b);
    }
    return boxes;
}

std::vector<Box> GhostscriptBoxes(const std::string& path, int first, int last)
{
    const CommandResult r = RunCommand(
        "gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=bbox -dFirstPage=" + std::to_string(first) +
        " -dLastPage=" + std::to_string(last) + " " + Quote(path));
    std::vector<Box> boxes;
    std::istringstream in(r.output);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        Box b;
        if (words >> key >> b.x0 >> b.y0 >> b.x1 >> b.y1 && key == "%%HiResBoundingBox:")
            boxes.push_back(b);
    }
    return boxes;
}

Box ToBox(const FixedRect& r)
{
    return Box{r.left / 65536.0, r.bottom / 65536.0, r.right / 65536.0, r.top / 65536.0};
}

double Distance(const Box& a, const Box& b)
{
    return std::max({std::abs(a.x0 - b.x0), std::abs(a.y0 - b.y0), std::abs(a.x1 - b.x1),
                     std::abs(a.y1 - b.y1)});
}

std::string Show(const Box& b)
{
    char text[128];
    std::snprintf(text, sizeof text, "%.3f %.3f %.3f %.3f", b.x0, b.y0, b.x1, b.y1);
    return text;
}

FixedRect FixedBox(double left, double bottom, double right, double top)
{
    const auto f = [](double v) { return Fixed(std::lround(v * 65536.0)); };
    return FixedRect{f(left), f(top), f(right), f(bottom)};
}

std::unique_ptr<vellora::DocumentBackend> OpenClean(const std::string& path)
{
    std::vector<std::string> warnings;
    auto doc = vellora::OpenPdfDocument(path, warnings);
    EXPECT_TRUE(warnings.empty()) << path << ": " << (warnings.empty() ? "" : warnings[0]);
    return doc;
}

}  // namespace pdftest
