// SPDX-License-Identifier: AGPL-3.0-or-later
// The page commands' options, parsed from the command line. Parsing looks
// at the words alone; what depends on the document (page numbers in range)
// is checked once the document is open.
#pragma once

#include "core/box_settings.h"
#include "core/host_error.h"
#include "vx_types.h"

#include <optional>
#include <string>
#include <vector>

namespace vellora::cli {

// The page commands (rows of the command table, cli/command_table.h).
enum class Verb { Crop, BBox, Reset, Boxes, Show, Info };
enum class PageSet { Current, All, Odd, Even };
enum class Mismatch { Ask, Crop, Skip };  // Ask: no standing answer
enum class BBoxMode { Each, Biggest, Page };

struct PageRequest {
    Verb verb = Verb::Boxes;
    std::string input;
    std::string output;                       // empty: none given
    std::optional<std::string> password;      // --password PW
    std::optional<std::string> passwordFile;  // --password-file FILE
    bool inPlace = false;
    bool wait =
        false;  // --wait: for another vellora process changing the file, instead of refusing
    bool printScript = false;
    bool verbose = false;             // the host conversation: questions, answers, progress lines
    std::optional<FixedRect> region;  // --region, as given (left, top, right, bottom)
    int page = 0;                     // --page N; 0 when not given
    std::optional<PageSet> pages;     // crop --pages
    Mismatch mismatch = Mismatch::Ask;
    BBoxMode bboxMode = BBoxMode::Each;
    bool resetAll = true;        // reset: --all (default) or --page N
    std::optional<double> zoom;  // show --zoom PERCENT
    bool mediaBox = false;       // show --media-box
    // bbox and boxes: --margin, --ink-threshold, --ignore-dark-edges
    std::optional<BoxMargin> margin;
    std::optional<Fixed> inkThreshold;  // percent
    bool ignoreDarkEdges = false;
};

// Which pixels of images the request counts as ink.
InkSettings InkSettingsOf(const PageRequest& request);

// Parses `VERB IN [options...]` (the words after the program name).
// Throws UsageError.
PageRequest ParsePageRequest(const std::vector<std::string>& args);

// The page set a crop works on: --pages when given, else the one page of
// --page, else every page.
PageSet EffectivePageSet(const PageRequest& request);

// The page a command starts on, counted from 1: --page, else 1.
int StartPage(const PageRequest& request);

// "L,B,R,T" in points; throws UsageError naming the problem.
FixedRect ParseRegion(const std::string& text);

}  // namespace vellora::cli
