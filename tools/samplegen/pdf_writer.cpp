// SPDX-License-Identifier: AGPL-3.0-or-later
#include "pdf_writer.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace samplegen {

int PdfWriter::reserve() {
    bodies_.emplace_back();
    return int(bodies_.size());
}

void PdfWriter::set(int object, std::string body) { bodies_.at(size_t(object - 1)) = std::move(body); }

void PdfWriter::setStream(int object, const std::string& dict, const std::string& data) {
    set(object, "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream");
}

int PdfWriter::add(std::string body) {
    const int object = reserve();
    set(object, std::move(body));
    return object;
}

std::string PdfWriter::bytes(int root) const {
    std::string out = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < bodies_.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + bodies_[i] + "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(bodies_.size() + 1) + "\n0000000000 65535 f \n";
    char line[32];
    for (size_t offset : offsets) {
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(bodies_.size() + 1) + " /Root " + std::to_string(root) +
           " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

void PdfWriter::write(const std::string& path, int root) const { WriteFile(path, bytes(root)); }

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    if (!file.flush()) throw std::runtime_error(path + ": cannot write");
}

std::string Array(std::initializer_list<double> values) {
    std::string out = "[";
    char number[40];
    for (double v : values) {
        std::snprintf(number, sizeof number, "%.10g", v);
        if (out.size() > 1) out += ' ';
        out += number;
    }
    return out + "]";
}

}  // namespace samplegen
