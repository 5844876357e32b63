// SPDX-License-Identifier: AGPL-3.0-or-later
// A minimal PDF file writer: numbered objects written as given, then the
// cross-reference table and trailer. The sample documents are written by
// hand so that every box, rotation and inheritance is exactly as intended.
#pragma once

#include <string>
#include <vector>

namespace samplegen {

class PdfWriter {
public:
    // A new object number; its body is given later with set().
    int reserve();
    // The object's body: a dictionary, array or number, as PDF text.
    void set(int object, std::string body);
    // A stream object with `dict` entries besides /Length.
    void setStream(int object, const std::string& dict, const std::string& data);
    int add(std::string body);

    // The whole file; `root` is the catalog.
    std::string bytes(int root) const;
    // Writes the file. Throws std::runtime_error.
    void write(const std::string& path, int root) const;

private:
    std::vector<std::string> bodies_;
};

// Writes `bytes` to `path`. Throws std::runtime_error.
void WriteFile(const std::string& path, const std::string& bytes);

// "[a b c d]" with numbers written exactly.
std::string Array(std::initializer_list<double> values);

}  // namespace samplegen
