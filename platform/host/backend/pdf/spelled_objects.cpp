// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/spelled_objects.h"

#include "backend/pdf/object_text.h"

namespace vellora::pdf {

std::optional<std::string> SpelledObjects::dictionary(int num, const XrefEntry& e)
{
    if (e.type == 'n' && e.ofs >= 0 && e.ofs < file_.length()) {
        // A window that holds the whole dictionary: one small read for any
        // page but one with a very long array.
        for (size_t want = 4096;; want *= 4) {
            const std::string_view text = file_.from(e.ofs, want);
            const auto body = ObjectHeaderAt(text, 0, num, e.gen);
            const auto span = body ? DictionaryAt(text, *body) : std::nullopt;
            if (span)
                return std::string(text.substr(span->begin, span->end - span->begin));
            if (!body || text.size() < want)
                return std::nullopt;
        }
    }
    if (e.type != 'o')
        return std::nullopt;
    auto found = streams_.find(int(e.ofs));
    if (found == streams_.end()) {
        MuBytes data{};
        int first = 0;
        MuError err{};
        std::string text;
        if (MuObjectStreamData(mu_.get(), doc_(), int(e.ofs), &data, &first, &err))
            text = CopiedAndDropped(mu_, data);
        found = streams_.emplace(int(e.ofs), std::make_pair(std::move(text), first)).first;
    }
    const std::string& text = found->second.first;
    const auto start = ObjectInStreamAt(text, size_t(found->second.second), e.gen, num);
    const auto span = start ? DictionaryAt(text, *start) : std::nullopt;
    if (!span)
        return std::nullopt;
    const std::string_view d(text.data() + span->begin, span->end - span->begin);
    if (encrypted_ && HoldsStrings(d))
        return std::nullopt;
    return std::string(d);
}

}  // namespace vellora::pdf
