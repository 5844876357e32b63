// SPDX-License-Identifier: AGPL-3.0-or-later
// Reading and editing a PDF object as the file spells it. A changed page is
// written from its own bytes with only one key's value replaced, so every
// other value (numbers MuPDF would round, names, strings encrypted for the
// object's number) stays exactly as it was.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellora::pdf {

struct TextSpan {
    size_t begin = 0;
    size_t end = 0;  // one past the last byte
};

// The position just after "NUM GEN obj" when `text` holds that header at
// `at` (after blanks), for exactly this number and generation.
std::optional<size_t> ObjectHeaderAt(std::string_view text, size_t at, int num, int gen);

// Where object `num` begins in `data`, an object stream's data whose
// objects start at offset `first`, when the stream's header (pairs of
// object number and offset from `first`) lists it as its object number
// `index` (counted from 0); none otherwise.
std::optional<size_t> ObjectInStreamAt(const std::string& data, size_t first, int index, int num);

// The dictionary, "<<" to ">>", that is the next object from `at` on; none
// when the next object is not a complete dictionary.
std::optional<TextSpan> DictionaryAt(std::string_view text, size_t at);

// `dict` (a whole dictionary) with the value of top-level key `key` (a name
// without its slash) set to `value`: each occurrence replaced in place, or
// the pair added before the closing ">>". An empty `value` removes the key.
// None when `dict` is not a dictionary this reads.
std::optional<std::string> WithKeyValue(std::string_view dict, std::string_view key,
                                        std::string_view value);

// True when a string, literal or hexadecimal, appears anywhere in `dict`.
bool HoldsStrings(std::string_view dict);

// The numbers of `text`, in order, as written (none from inside a string,
// a name or a comment).
std::vector<std::string_view> NumbersIn(std::string_view text);

// The indirect references "NUM GEN R" in `text`, in order.
std::vector<std::pair<long, long>> ReferencesIn(std::string_view text);

}  // namespace vellora::pdf
