// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/incremental_update.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace vellora::pdf {

namespace {

struct Run {
    int start = 0;
    int count = 0;
};

bool Listable(const XrefEntry& e, bool stream)
{
    return e.type == 'n' || e.type == 'f' || (stream && e.type == 'o');
}

// Runs of object numbers to list: every changed object, and the unchanged
// ones between two changed ones unless the gap is long or holds an entry
// the format cannot state.
std::vector<Run> Subsections(const std::vector<ChangedObject>& sorted, const FileXref& xref)
{
    std::vector<Run> runs;
    for (size_t i = 0; i < sorted.size(); ++i) {
        const int num = sorted[i].num;
        if (!runs.empty()) {
            Run& last = runs.back();
            const int end = last.start + last.count;
            bool bridge = num - end <= kLongestListedGap;
            for (int gap = end; bridge && gap < num; ++gap)
                bridge = Listable(xref.entries[size_t(gap)], xref.stream);
            if (bridge) {
                last.count = num - last.start + 1;
                continue;
            }
        }
        runs.push_back(Run{num, 1});
    }
    return runs;
}

void AppendClassicEntry(std::string& out, const XrefEntry& e)
{
    char line[32];
    std::snprintf(line, sizeof line, "%010" PRId64 " %05u %c \n", e.ofs, unsigned(e.gen),
                  e.type == 'n' ? 'n' : 'f');
    out += line;
}

void AppendBigEndian(std::string& out, uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out += char((value >> (8 * i)) & 0xFFu);
}

int BytesFor(uint64_t value)
{
    int n = 1;
    while (n < 8 && (value >> (8 * n)) != 0)
        ++n;
    return n;
}

std::string IndexText(const std::vector<Run>& runs)
{
    std::string text;
    for (const Run& r : runs)
        text += (text.empty() ? "" : " ") + std::to_string(r.start) + " " + std::to_string(r.count);
    return text;
}

void AppendEnd(std::string& out, int64_t startxref)
{
    out += "startxref\n" + std::to_string(startxref) + "\n%%EOF\n";
}

}  // namespace

Update MakeUpdate(const FileXref& before, std::vector<ChangedObject> objects)
{
    std::sort(objects.begin(), objects.end(),
              [](const ChangedObject& a, const ChangedObject& b) { return a.num < b.num; });
    Update update;
    update.after = before;
    FileXref& after = update.after;
    std::string& out = update.bytes;
    for (const ChangedObject& o : objects) {
        if (o.num <= 0 || o.num >= before.size || o.gen < 0 || o.gen > 65535)
            throw std::invalid_argument("object " + std::to_string(o.num) + " is not in the file");
        XrefEntry& e = after.entries[size_t(o.num)];
        e = XrefEntry{'n', uint16_t(o.gen), before.length + int64_t(out.size())};
        out +=
            std::to_string(o.num) + " " + std::to_string(o.gen) + " obj\n" + o.body + "\nendobj\n";
    }
    std::vector<Run> runs = Subsections(objects, after);
    const int64_t xrefAt = before.length + int64_t(out.size());

    if (!before.stream) {
        out += "xref\n";
        for (const Run& r : runs) {
            out += std::to_string(r.start) + " " + std::to_string(r.count) + "\n";
            for (int n = r.start; n < r.start + r.count; ++n)
                AppendClassicEntry(out, after.entries[size_t(n)]);
        }
        out += "trailer\n<< /Size " + std::to_string(after.size) + " /Prev " +
               std::to_string(before.startxref) + " " + before.trailerKeys + " >>\n";
    } else {
        // The stream lists itself, under the next free number.
        const int self = after.size;
        after.entries.push_back(XrefEntry{'n', 0, xrefAt});
        after.size = self + 1;
        runs.push_back(Run{self, 1});
        if (runs.size() >= 2 && runs[runs.size() - 2].start + runs[runs.size() - 2].count == self) {
            runs[runs.size() - 2].count += 1;
            runs.pop_back();
        }
        uint64_t largest = 0;
        for (const Run& r : runs)
            for (int n = r.start; n < r.start + r.count; ++n)
                largest = std::max(largest, uint64_t(after.entries[size_t(n)].ofs));
        const int width = BytesFor(largest);
        std::string data;
        for (const Run& r : runs)
            for (int n = r.start; n < r.start + r.count; ++n) {
                const XrefEntry& e = after.entries[size_t(n)];
                data += char(e.type == 'n' ? 1 : e.type == 'o' ? 2 : 0);
                AppendBigEndian(data, uint64_t(e.ofs), width);
                AppendBigEndian(data, e.gen, 2);
            }
        out += std::to_string(self) + " 0 obj\n<< /Type /XRef /Size " + std::to_string(after.size) +
               " /W [1 " + std::to_string(width) + " 2] /Index [" + IndexText(runs) + "] /Prev " +
               std::to_string(before.startxref) + " " + before.trailerKeys + " /Length " +
               std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream\nendobj\n";
    }
    AppendEnd(out, xrefAt);
    after.startxref = xrefAt;
    after.length = before.length + int64_t(out.size());
    return update;
}

std::optional<size_t> UpdateEnd(std::string_view text, int64_t startxref, bool atFileEnd)
{
    const auto blanks = [&text](size_t& i) {
        const size_t from = i;
        while (i < text.size() && std::strchr(" \t\r\n\f", text[i]) && text[i] != '\0')
            ++i;
        return i > from;
    };
    for (size_t at = text.find("startxref"); at != std::string_view::npos;
         at = text.find("startxref", at + 1)) {
        size_t i = at + 9;
        if (!blanks(i))
            continue;
        const size_t digits = i;
        int64_t number = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - digits < 18)
            number = number * 10 + (text[i++] - '0');
        if (i == digits || number != startxref || !blanks(i) || text.compare(i, 5, "%%EOF") != 0)
            continue;
        i += 5;
        if (i < text.size() && text[i] == '\r')
            ++i;
        if (i < text.size() && text[i] == '\n')
            ++i;
        else if (i == text.size() && !atFileEnd)
            return std::nullopt;  // a line break may follow beyond the text
        return i;
    }
    return std::nullopt;
}

}  // namespace vellora::pdf
