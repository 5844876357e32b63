// SPDX-License-Identifier: AGPL-3.0-or-later
// The section an incremental save appends: the changed objects, one
// cross-reference subsection spanning them (or an xref stream with one
// range when the file uses xref streams), and a trailer that links back to
// the file's newest section. Readers walk a section's subsections for every
// lookup, so one subsection per changed object makes a file of many pages
// quadratic to read; this keeps the count at one except across large gaps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellora::pdf {

// One object number's entry in the file's cross-reference data, as it
// stands after every section so far.
struct XrefEntry {
    char type = 0;     // 'n' at an offset, 'o' in an object stream, 'f' free, 0 none
    uint16_t gen = 0;  // generation; the index in the stream for 'o'
    int64_t ofs = 0;   // offset; the stream's object number for 'o'; next free for 'f'
};

// What an update needs to know of the file it goes after.
struct FileXref {
    int64_t length = 0;              // where an update goes: the end of the newest one
    int64_t startxref = 0;           // offset of its newest cross-reference section
    bool stream = false;             // that section is an xref stream
    int size = 0;                    // the trailer's /Size
    std::string trailerKeys;         // the trailer's /Root, /Info, /ID and /Encrypt, as text
    std::vector<XrefEntry> entries;  // by object number, `size` of them
};

struct ChangedObject {
    int num = 0;
    int gen = 0;
    std::string body;  // the object's text, without "N G obj" and "endobj"
};

struct Update {
    std::string bytes;  // to append at `length`
    FileXref after;     // the file's cross-reference data with the update
};

// Unchanged entries listed between changed objects are copied as they are;
// a gap longer than this, or holding an entry the section's format cannot
// state, starts a new subsection instead.
constexpr int kLongestListedGap = 1024;

// Throws std::invalid_argument for an object number outside the file.
Update MakeUpdate(const FileXref& before, std::vector<ChangedObject> objects);

// Where the update whose cross-reference data is at `startxref` ends in
// `text` (bytes of the file from somewhere at or after `startxref`): just
// past the first "startxref NUMBER %%EOF" that names it, and the line break
// after. None when `text` holds no such end; `atFileEnd` says whether
// `text` runs to the end of the file (else a line break may follow).
std::optional<size_t> UpdateEnd(std::string_view text, int64_t startxref, bool atFileEnd);

}  // namespace vellora::pdf
