// SPDX-License-Identifier: AGPL-3.0-or-later
// The host script behind each page command. A pure function of the parsed
// options and what the document says about its pages, so it can be shown
// (--print-script) and tested without running anything.
#pragma once

#include "cli/cli_options.h"

#include <sstream>
#include <string>

namespace vellora::cli {

// What the command line reads from the document before it makes the script.
struct PageFacts {
    int pageCount = 0;
    // What the view of the page the command starts on shows: its media box
    // and crop box together, sides in order.
    FixedRect area{};
    // The file needed repair on opening: it is written out whole, since
    // changes cannot be appended to a file as damaged.
    bool repaired = false;
    // The document permits changes (its permissions grant editing).
    bool editable = true;
};

// The line after the click that starts a crop: the plug-in drops the region
// when it accepts it, and keeps it when it refuses it.
extern const char* const kRegionAcceptedCheck;

// The view's zoom, in percent, at which the region is dragged out: as fine as
// possible (device pixels are whole) while the page area and the region stay
// inside the 16-bit device space.
int RegionZoom(const FixedRect& area, const FixedRect& region);

// Throws UsageError when the options do not fit the document (a page out of
// range, or what the command's own check refuses), HostError for a change
// to a document that permits none.
void CheckAgainstDocument(const PageRequest& request, const PageFacts& facts);

// The commands' own checks against the document (rows of the command
// table): crop refuses even pages of a one-page document and a region too
// small to select at its zoom; show a view too big for the device space.
void CropFitsDocument(const PageRequest& request, const PageFacts& facts);
void ShowFitsDocument(const PageRequest& request, const PageFacts& facts);

// The page commands' scripts after the lines that open the input at the
// command's first page (rows of the command table).
void CropScript(std::ostringstream& script, const PageRequest& request, const PageFacts& facts,
                const std::string& outputPath);
void BBoxScript(std::ostringstream& script, const PageRequest& request, const PageFacts& facts,
                const std::string& outputPath);
void ResetScript(std::ostringstream& script, const PageRequest& request, const PageFacts& facts,
                 const std::string& outputPath);
void BoxesScript(std::ostringstream& script, const PageRequest& request, const PageFacts& facts,
                 const std::string& outputPath);
void ShowScript(std::ostringstream& script, const PageRequest& request, const PageFacts& facts,
                const std::string& outputPath);
void InfoScript(std::ostringstream& script, const PageRequest& request, const PageFacts& facts,
                const std::string& outputPath);

// The script; it saves (or snapshots) to `outputPath`.
std::string MakePageScript(const PageRequest& request, const PageFacts& facts,
                           const std::string& outputPath);

// A script argument: quoted, with `"` and `\` escaped.
std::string QuoteArgument(const std::string& text);

}  // namespace vellora::cli
