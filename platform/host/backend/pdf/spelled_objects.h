// SPDX-License-Identifier: AGPL-3.0-or-later
// Objects as a PDF file spells them, for saves that keep every byte of a
// page object but its crop box: a dictionary is read from the file's bytes
// where it lies there, or from the object stream that holds it, which MuPDF
// decodes once for every object read from it.
#pragma once

#include "backend/pdf/file_bytes.h"
#include "backend/pdf/incremental_update.h"
#include "backend/pdf/mu_context.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace vellora::pdf {

class SpelledObjects {
public:
    // `file` holds the file's bytes; `doc` gives MuPDF's document of it,
    // asked for only when an object stream is first read. In an encrypted
    // file a dictionary from an object stream that holds strings does not
    // serve (its strings would need encrypting for the object).
    SpelledObjects(const MuContext& mu, std::function<pdf_document*()> doc, FileBytes& file,
                   bool encrypted)
        : mu_(mu), doc_(std::move(doc)), file_(file), encrypted_(encrypted)
    {
    }

    // Object `num`, a dictionary, as the file whose entry for it is `e`
    // spells it; none where its text cannot serve (an object MuPDF had to
    // find elsewhere, or one as above).
    std::optional<std::string> dictionary(int num, const XrefEntry& e);

private:
    const MuContext& mu_;
    std::function<pdf_document*()> doc_;
    FileBytes& file_;
    bool encrypted_;
    // Object streams read so far: their data and /First, by object number.
    std::map<int, std::pair<std::string, int>> streams_;
};

}  // namespace vellora::pdf
