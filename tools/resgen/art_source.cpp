// SPDX-License-Identifier: AGPL-3.0-or-later
#include "art_source.h"

#include <charconv>
#include <map>
#include <sstream>

namespace resgen {
namespace {

// Source format:
//   # comment
//   kind cursor|bitmap
//   size W H
//   hotspot X Y            (cursor)
//   depth 1|4              (bitmap)
//   legend C transparent|R G B
//   art
//   <H lines of exactly W legend characters>
class Reader {
public:
    Reader(const std::string& text, const std::string& name) : in_(text), name_(name) {}

    Art Read() {
        std::string line;
        bool inArt = false;
        std::vector<std::string> rows;
        while (std::getline(in_, line)) {
            ++lineNo_;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (inArt) {
                rows.push_back(line);
                rowLines_.push_back(lineNo_);
                continue;
            }
            if (line.empty() || line[0] == '#') continue;
            std::istringstream words(line);
            std::string keyword;
            words >> keyword;
            if (keyword == "art") {
                inArt = true;
            } else {
                Directive(keyword, words);
            }
        }
        if (!inArt) Fail(lineNo_, "no 'art' line");
        return Finish(rows);
    }

private:
    [[noreturn]] void Fail(int line, const std::string& what) const {
        throw ArtError(name_ + ":" + std::to_string(line) + ": " + what);
    }

    int Number(std::istringstream& words, const char* what, int low, int high) {
        std::string word;
        if (!(words >> word)) Fail(lineNo_, std::string("missing ") + what);
        int value = 0;
        auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (ec != std::errc() || end != word.data() + word.size())
            Fail(lineNo_, std::string("bad ") + what + " '" + word + "'");
        if (value < low || value > high)
            Fail(lineNo_,
                 std::string(what) + " " + word + " is outside " + std::to_string(low) + ".." + std::to_string(high));
        return value;
    }

    void EndOfLine(std::istringstream& words) {
        std::string extra;
        if (words >> extra) Fail(lineNo_, "unexpected '" + extra + "'");
    }

    void Directive(const std::string& keyword, std::istringstream& words) {
        if (keyword == "kind") {
            std::string kind;
            words >> kind;
            if (kind == "cursor")
                art_.kind = ArtKind::Cursor;
            else if (kind == "bitmap")
                art_.kind = ArtKind::Bitmap;
            else
                Fail(lineNo_, "kind must be 'cursor' or 'bitmap', not '" + kind + "'");
            haveKind_ = true;
        } else if (keyword == "size") {
            art_.width = Number(words, "width", 1, 256);
            art_.height = Number(words, "height", 1, 256);
        } else if (keyword == "hotspot") {
            art_.hotX = Number(words, "hot spot x", 0, 255);
            art_.hotY = Number(words, "hot spot y", 0, 255);
            hotSpotLine_ = lineNo_;
        } else if (keyword == "depth") {
            art_.bitsPerPixel = Number(words, "depth", 1, 4);
            if (art_.bitsPerPixel != 1 && art_.bitsPerPixel != 4) Fail(lineNo_, "depth must be 1 or 4");
        } else if (keyword == "legend") {
            Legend(words);
        } else {
            Fail(lineNo_, "unknown keyword '" + keyword + "'");
        }
        EndOfLine(words);
    }

    void Legend(std::istringstream& words) {
        std::string symbol;
        if (!(words >> symbol) || symbol.size() != 1) Fail(lineNo_, "legend needs one character");
        if (legend_.count(symbol[0])) Fail(lineNo_, "legend character '" + symbol + "' given twice");
        Colour colour;
        std::string first;
        words >> std::ws;
        if (words.peek() == 't') {
            words >> first;
            if (first != "transparent") Fail(lineNo_, "bad colour '" + first + "'");
            colour.transparent = true;
        } else {
            colour.r = static_cast<uint8_t>(Number(words, "red", 0, 255));
            colour.g = static_cast<uint8_t>(Number(words, "green", 0, 255));
            colour.b = static_cast<uint8_t>(Number(words, "blue", 0, 255));
        }
        legend_[symbol[0]] = colour;
    }

    Art Finish(const std::vector<std::string>& rows) {
        if (!haveKind_) Fail(lineNo_, "no 'kind' line");
        if (art_.width == 0) Fail(lineNo_, "no 'size' line");
        if (art_.kind == ArtKind::Cursor) {
            if (hotSpotLine_ == 0) Fail(lineNo_, "a cursor needs a 'hotspot' line");
            if (art_.hotX >= art_.width || art_.hotY >= art_.height)
                Fail(hotSpotLine_, "hot spot lies outside the picture");
        } else if (art_.bitsPerPixel == 0) {
            Fail(lineNo_, "a bitmap needs a 'depth' line");
        }
        if (static_cast<int>(rows.size()) != art_.height)
            Fail(lineNo_, "art has " + std::to_string(rows.size()) + " rows, size says " + std::to_string(art_.height));
        for (size_t y = 0; y < rows.size(); ++y) {
            const std::string& row = rows[y];
            if (static_cast<int>(row.size()) != art_.width)
                Fail(rowLines_[y],
                     "row has " + std::to_string(row.size()) + " characters, size says " + std::to_string(art_.width));
            for (char c : row) {
                auto found = legend_.find(c);
                if (found == legend_.end())
                    Fail(rowLines_[y], std::string("character '") + c + "' is not in the legend");
                if (found->second.transparent && art_.kind == ArtKind::Bitmap)
                    Fail(rowLines_[y], "a bitmap has no transparent pixels");
                art_.pixels.push_back(found->second);
            }
        }
        return art_;
    }

    std::istringstream in_;
    std::string name_;
    int lineNo_ = 0;
    std::vector<int> rowLines_;
    std::map<char, Colour> legend_;
    bool haveKind_ = false;
    int hotSpotLine_ = 0;
    Art art_;
};

}  // namespace

Art ReadArt(const std::string& text, const std::string& name) { return Reader(text, name).Read(); }

}  // namespace resgen
