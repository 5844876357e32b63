// SPDX-License-Identifier: AGPL-3.0-or-later
#include "cli/cli_options.h"

#include "cli/command_table.h"
#include "core/fixed_text.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <sstream>
#include <vector>

namespace vellora::cli {

namespace {

int ParsePageNumber(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 1) {
        throw UsageError("--page: '" + text + "' is not a page number (1, 2, ...)");
    }
    return value;
}

// The span of a region, in points, however wide.
std::string PointsText(int64_t units) {
    std::ostringstream s;
    s << double(units) / 65536.0;
    return s.str();
}

double ParseZoom(const std::string& text) {
    std::optional<Fixed> fixed = FixedFromText(text);
    const double value = fixed ? FixedToDouble(*fixed) : 0.0;
    if (!fixed || !(value >= 1.0 && value <= 6400.0)) {
        throw UsageError("--zoom: '" + text + "' is not a percentage from 1 to 6400");
    }
    return value;
}

PageSet ParsePageSet(const std::string& text) {
    if (text == "current") return PageSet::Current;
    if (text == "all") return PageSet::All;
    if (text == "odd") return PageSet::Odd;
    if (text == "even") return PageSet::Even;
    throw UsageError("--pages: '" + text + "' is not one of current, all, odd, even");
}

Mismatch ParseMismatch(const std::string& text) {
    if (text == "crop") return Mismatch::Crop;
    if (text == "skip") return Mismatch::Skip;
    throw UsageError("--mismatch: '" + text + "' is not one of crop, skip");
}

// Walks the option words of one command.
class OptionReader {
public:
    OptionReader(const std::vector<std::string>& args, const CommandRow& row)
        : args_(args), row_(row) {}

    bool next(std::string& word) {
        if (index_ >= args_.size()) return false;
        word = args_[index_++];
        return true;
    }
    const std::string& value(const std::string& option) {
        if (index_ >= args_.size()) throw UsageError(option + " needs a value");
        return args_[index_++];
    }
    [[noreturn]] void unknown(const std::string& word) const {
        throw UsageError(row_.name + " does not take " + word);
    }

private:
    const std::vector<std::string>& args_;
    const CommandRow& row_;
    size_t index_ = 1;
};

void SetOnce(bool& seen, const std::string& option) {
    if (seen) throw UsageError(option + " given twice");
    seen = true;
}

// Comma-separated numbers of points; `check` refuses a part (an empty one
// too: a stray comma is not a 0).
template <class Check>
std::vector<Fixed> PointsList(const std::string& text, Check check) {
    std::vector<Fixed> values;
    for (const std::string& part : CommaParts(text)) {
        std::optional<Fixed> value = FixedFromText(part);
        check(part, value);
        values.push_back(*value);
    }
    return values;
}

}  // namespace

FixedRect ParseRegion(const std::string& text) {
    const std::vector<Fixed> values = PointsList(text, [](const std::string& part,
                                                          std::optional<Fixed> value) {
        if (!value) {
            throw UsageError("--region: '" + part + "' is not a number of points within +-32767");
        }
    });
    if (values.size() != 4) {
        throw UsageError("--region: '" + text + "' is not four numbers L,B,R,T");
    }
    FixedRect rect{values[0], values[3], values[2], values[1]};
    if (rect.right <= rect.left || rect.top <= rect.bottom) {
        throw UsageError("--region: '" + text + "' needs right > left and top > bottom");
    }
    // Page coordinates are 16.16 fixed point: a width or height past their
    // range would wrap around before the plug-in measured it.
    for (const auto& [extent, name] : {std::pair{int64_t(rect.right) - rect.left, "wide"},
                                       std::pair{int64_t(rect.top) - rect.bottom, "tall"}}) {
        if (extent > INT32_MAX) {
            throw UsageError("--region: '" + text + "' is " + PointsText(extent) + " pt " + name +
                             "; a region can be at most 32767.99998 pt across");
        }
    }
    return rect;
}

InkSettings InkSettingsOf(const PageRequest& request) {
    InkSettings ink;
    if (request.inkThreshold) ink.threshold = FixedToDouble(*request.inkThreshold);
    ink.ignoreDarkEdges = request.ignoreDarkEdges;
    return ink;
}

PageRequest ParsePageRequest(const std::vector<std::string>& args) {
    PageRequest request;
    const CommandRow* row = args.empty() ? nullptr : FindPageCommand(args[0]);
    if (!row) throw UsageError("unknown command: " + (args.empty() ? std::string() : args[0]));
    request.verb = row->verb;

    OptionReader reader(args, *row);
    bool seenOutput = false, seenRegion = false, seenPage = false, seenPages = false;
    bool seenMismatch = false, seenMode = false, seenZoom = false, seenPassword = false;
    bool seenMargin = false, seenThreshold = false;
    std::string word;
    while (reader.next(word)) {
        if (word == "--password") {
            SetOnce(seenPassword, "--password/--password-file");
            request.password = reader.value(word);
        } else if (word == "--password-file") {
            SetOnce(seenPassword, "--password/--password-file");
            request.passwordFile = reader.value(word);
        } else if (word == "--print-script") {
            request.printScript = true;
        } else if (word == "--verbose") {
            request.verbose = true;
        } else if (!Takes(*row, word)) {
            if (!word.empty() && word[0] == '-' && word != "-") reader.unknown(word);
            if (!request.input.empty()) {
                throw UsageError(std::string("unexpected argument: ") + word +
                                 " (one input file only; the output goes after -o)");
            }
            request.input = word;
        } else if (word == "-o") {
            SetOnce(seenOutput, "-o");
            request.output = reader.value(word);
        } else if (word == "--wait") {
            request.wait = true;
        } else if (word == "--in-place") {
            request.inPlace = true;
        } else if (word == "--region") {
            SetOnce(seenRegion, word);
            request.region = ParseRegion(reader.value(word));
        } else if (word == "--page") {
            SetOnce(seenPage, word);
            request.page = ParsePageNumber(reader.value(word));
        } else if (word == "--pages") {
            SetOnce(seenPages, word);
            request.pages = ParsePageSet(reader.value(word));
        } else if (word == "--mismatch") {
            SetOnce(seenMismatch, word);
            request.mismatch = ParseMismatch(reader.value(word));
        } else if (word == "--each" || word == "--biggest") {
            SetOnce(seenMode, "--each/--biggest");
            request.bboxMode = word == "--each" ? BBoxMode::Each : BBoxMode::Biggest;
        } else if (word == "--all") {
            SetOnce(seenMode, "--all");
        } else if (word == "--zoom") {
            SetOnce(seenZoom, word);
            request.zoom = ParseZoom(reader.value(word));
        } else if (word == "--media-box") {
            request.mediaBox = true;
        } else if (word == "--margin") {
            SetOnce(seenMargin, word);
            request.margin = MarginOption(reader.value(word));
        } else if (word == "--ink-threshold") {
            SetOnce(seenThreshold, word);
            request.inkThreshold = InkThresholdOption(reader.value(word));
        } else if (word == "--ignore-dark-edges") {
            request.ignoreDarkEdges = true;
        }
    }

    const Verb v = request.verb;
    if (request.input.empty()) throw UsageError(row->name + " needs an input file");
    if (v == Verb::Crop && !request.region) throw UsageError("crop needs --region L,B,R,T");
    if (v == Verb::Show && request.page == 0) throw UsageError("show needs --page N");
    if (v == Verb::BBox && seenPage) {
        if (seenMode) throw UsageError("bbox takes one of --each, --biggest, --page N");
        request.bboxMode = BBoxMode::Page;
    }
    if (v == Verb::Reset) {
        if (seenPage && seenMode) throw UsageError("reset takes one of --all, --page N");
        request.resetAll = !seenPage;
    }
    if (request.output.empty() && request.inPlace) request.output = request.input;
    if (row->writes != Writes::Nothing && request.output.empty()) {
        throw UsageError(row->name + " needs -o " +
                         (row->writes == Writes::Png ? "OUT.png" : "OUT.pdf"));
    }
    return request;
}

PageSet EffectivePageSet(const PageRequest& request) {
    if (request.pages) return *request.pages;
    return request.page != 0 ? PageSet::Current : PageSet::All;
}

int StartPage(const PageRequest& request) { return request.page != 0 ? request.page : 1; }

}  // namespace vellora::cli
