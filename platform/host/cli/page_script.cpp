// SPDX-License-Identifier: AGPL-3.0-or-later
#include "cli/page_script.h"

#include "cli/command_table.h"
#include "core/fixed_text.h"
#include "core/host_error.h"
#include "core/plugin_names.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>

namespace vellora::cli {

const char* const kRegionAcceptedCheck = "expect region none";

namespace {

// Device coordinates are 16-bit; the host places the page a little way in
// from the view's corner, so keep what is drawn well inside +-32767.
constexpr double kDevicePixelBudget = 30000.0;
// The finest zoom used for dragging out a region: 1/20 pt a pixel.
constexpr int kFinestZoom = 2000;
// A region must span this many pixels each way so that a click at its
// centre lies inside it and away from its corner handles.
constexpr double kMinRegionPixels = 8.0;
constexpr int kDefaultShowZoom = 100;

double Points(Fixed value) { return FixedToDouble(value); }

// The farthest a drawn point lies from the page area's far sides, in points.
double Reach(const FixedRect& area, const FixedRect* region) {
    double reach =
        std::max(Points(area.right) - Points(area.left), Points(area.top) - Points(area.bottom));
    if (region) {
        reach = std::max({reach, Points(region->right) - Points(area.left),
                          Points(area.right) - Points(region->left),
                          Points(region->top) - Points(area.bottom),
                          Points(area.top) - Points(region->bottom)});
    }
    return reach;
}

int ShowZoom(const PageRequest& request) {
    return request.zoom ? int(std::lround(*request.zoom)) : kDefaultShowZoom;
}

std::string RegionCorners(const FixedRect& r) {
    return FixedToText(r.left) + " " + FixedToText(r.bottom) + " " + FixedToText(r.right) + " " +
           FixedToText(r.top);
}

Fixed Middle(Fixed a, Fixed b) { return Fixed((int64_t(a) + int64_t(b)) / 2); }

// Lines that make the crop tool active and drag the region out on the page shown.
void DragOutRegion(std::ostringstream& s, const FixedRect& region) {
    s << "button " << QuoteArgument(plugin::kCropToolButton) << "\n";
    s << "pdrag " << RegionCorners(region) << "\n";
}

// The host's settings for finding and reporting bounding boxes, when asked for.
void BoxSettingLines(std::ostringstream& s, const PageRequest& request) {
    if (request.margin) {
        const BoxMargin& m = *request.margin;
        s << "host margin " << FixedToText(m.left) << " " << FixedToText(m.bottom) << " "
          << FixedToText(m.right) << " " << FixedToText(m.top) << "\n";
    }
    if (request.inkThreshold)
        s << "host ink-threshold " << FixedToText(*request.inkThreshold) << "\n";
    if (request.ignoreDarkEdges) s << "host dark-edges ignore\n";
}

void OpenAtPage(std::ostringstream& s, const PageRequest& request, bool load) {
    BoxSettingLines(s, request);
    if (load) s << "load\n";
    s << "open " << QuoteArgument(request.input);
    if (request.password) s << " password " << QuoteArgument(*request.password);
    s << "\n";
    if (StartPage(request) != 1) s << "goto " << StartPage(request) << "\n";
}

const char* DialogAnswer(PageSet set) {
    switch (set) {
    case PageSet::Current:
        return "\"Current Page\"";
    case PageSet::All:
        return "\"All Pages\"";
    case PageSet::Odd:
        return "\"Odd Pages\"";
    case PageSet::Even:
        return "\"Even Pages\"";
    }
    return "";
}

// Current/All, asked of documents with more than one page only.
void PageScopeAnswer(std::ostringstream& s, const PageFacts& facts, bool allPages) {
    if (facts.pageCount > 1) s << "answer " << (allPages ? "All" : "Current") << "\n";
}

void SaveLine(std::ostringstream& s, const PageFacts& facts, const std::string& outputPath) {
    s << "save " << QuoteArgument(outputPath) << (facts.repaired ? " full" : "") << "\n";
}

}  // namespace

void CropScript(std::ostringstream& s, const PageRequest& request, const PageFacts& facts,
                const std::string& outputPath) {
    const FixedRect& region = *request.region;
    const int zoom = RegionZoom(facts.area, region);
    s << "# one device pixel is " << 100.0 / zoom << " pt at this zoom\n";
    s << "zoom " << zoom << "\n";
    DragOutRegion(s, region);
    if (request.mismatch != Mismatch::Ask) {
        s << "answer-when " << QuoteArgument(plugin::kOrientationQuestion) << " "
          << (request.mismatch == Mismatch::Crop ? "Crop" : "Skip") << "\n";
    }
    // A one-page document is asked "Crop this page?" instead of the dialog.
    if (facts.pageCount == 1) {
        s << "answer Current\n";
    } else {
        s << "answer " << DialogAnswer(EffectivePageSet(request)) << "\n";
    }
    s << "pclick " << FixedToText(Middle(region.left, region.right)) << " "
      << FixedToText(Middle(region.bottom, region.top)) << "\n";
    // The region is dropped only when the crop run accepted it.
    s << kRegionAcceptedCheck << "\n";
    SaveLine(s, facts, outputPath);
}

// Answers are queued before the menu item runs: its questions come while it runs.
void BBoxScript(std::ostringstream& s, const PageRequest& request, const PageFacts& facts,
                const std::string& outputPath) {
    const bool all = request.bboxMode != BBoxMode::Page;
    PageScopeAnswer(s, facts, all);
    if (all && facts.pageCount > 1) {
        s << "answer " << (request.bboxMode == BBoxMode::Each ? "Each" : "Biggest") << "\n";
    }
    s << "menu " << QuoteArgument(plugin::kBBoxItem) << "\n";
    SaveLine(s, facts, outputPath);
}

void ResetScript(std::ostringstream& s, const PageRequest& request, const PageFacts& facts,
                 const std::string& outputPath) {
    PageScopeAnswer(s, facts, request.resetAll);
    s << "menu " << QuoteArgument(plugin::kMediaBoxItem) << "\n";
    SaveLine(s, facts, outputPath);
}

void BoxesScript(std::ostringstream& s, const PageRequest&, const PageFacts&, const std::string&) {
    s << "print boxes\n";
}

void InfoScript(std::ostringstream& s, const PageRequest&, const PageFacts&, const std::string&) {
    s << "print info\n";
}

void ShowScript(std::ostringstream& s, const PageRequest& request, const PageFacts&,
                const std::string& outputPath) {
    s << "zoom " << ShowZoom(request) << "\n";
    if (request.region) {
        // The crop tool turns the media box display on when it becomes active.
        DragOutRegion(s, *request.region);
        if (!request.mediaBox) s << "menu " << QuoteArgument(plugin::kHideMediaBoxItem) << "\n";
    } else if (request.mediaBox) {
        s << "menu " << QuoteArgument(plugin::kShowMediaBoxItem) << "\n";
    }
    s << "snapshot " << QuoteArgument(outputPath) << "\n";
}

int RegionZoom(const FixedRect& area, const FixedRect& region) {
    const double fits = kDevicePixelBudget * 100.0 / Reach(area, &region);
    return std::clamp(int(std::floor(fits)), 1, kFinestZoom);
}

void CheckAgainstDocument(const PageRequest& request, const PageFacts& facts) {
    const std::string& in = request.input;
    if (request.page > facts.pageCount) {
        throw UsageError("--page " + std::to_string(request.page) + ": " + in + " has " +
                         std::to_string(facts.pageCount) +
                         (facts.pageCount == 1 ? " page" : " pages"));
    }
    const CommandRow& row = PageCommandOf(request.verb);
    // The plug-in's commands and its tool (a region selected) are disabled
    // for such a document.
    if (!facts.editable && (row.writes == Writes::Pdf || request.region)) {
        throw HostError(ErrorKind::Permission,
                        in + ": the document does not permit changes (no editing permission)");
    }
    if (row.checkDocument != nullptr) row.checkDocument(request, facts);
}

void CropFitsDocument(const PageRequest& request, const PageFacts& facts) {
    if (facts.pageCount == 1 && EffectivePageSet(request) == PageSet::Even) {
        throw UsageError("--pages even: " + request.input + " has one page only");
    }
    const FixedRect& r = *request.region;
    const double pixelsPerPoint = RegionZoom(facts.area, r) / 100.0;
    const double w = (Points(r.right) - Points(r.left)) * pixelsPerPoint;
    const double h = (Points(r.top) - Points(r.bottom)) * pixelsPerPoint;
    if (w < kMinRegionPixels || h < kMinRegionPixels) {
        std::ostringstream msg;
        msg << "--region " << RegionCorners(r) << ": too small to select on page "
            << StartPage(request) << " (at least " << kMinRegionPixels / pixelsPerPoint
            << " pt each way)";
        throw UsageError(msg.str());
    }
}

void ShowFitsDocument(const PageRequest& request, const PageFacts& facts) {
    const FixedRect* region = request.region ? &*request.region : nullptr;
    const double needed = Reach(facts.area, region) * ShowZoom(request) / 100.0;
    if (needed > kDevicePixelBudget) {
        const int largest = int(kDevicePixelBudget * 100.0 / Reach(facts.area, region));
        throw UsageError("--zoom " + std::to_string(ShowZoom(request)) + ": page " +
                         std::to_string(request.page) + " would not fit the view; at most " +
                         std::to_string(largest) + " for this page");
    }
}

std::string MakePageScript(const PageRequest& request, const PageFacts& facts,
                           const std::string& outputPath) {
    const CommandRow& row = PageCommandOf(request.verb);
    std::ostringstream s;
    // A command that changes or draws nothing needs no plug-in.
    OpenAtPage(s, request, row.writes != Writes::Nothing);
    row.build(s, request, facts, outputPath);
    return s.str();
}

std::string QuoteArgument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            quoted += c == '\n' ? "\\n" : "\\r";
            continue;
        }
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace vellora::cli
