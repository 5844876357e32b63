// SPDX-License-Identifier: AGPL-3.0-or-later
// The box settings panel's Apply: the margin every bounding box is grown by
// and what counts as ink in images, as `host margin`, `host ink-threshold`
// and `host dark-edges` set them before the host starts; here for the open
// documents too, whose boxes are then found again.
#include "viewer/viewer_session.h"

#include "core/fixed_text.h"

#include <sstream>

namespace vellora::viewer {

void ViewerSession::setBoxSettings(const std::string& margin, const std::string& threshold, bool ignoreDarkEdges) {
    std::string words = margin;
    for (char& c : words)
        if (c == ',') c = ' ';
    std::istringstream sides(words);
    std::vector<Fixed> values;
    for (std::string word; sides >> word;) {
        std::optional<Fixed> v = FixedFromText(word);
        if (!v || *v < 0) return problem("Margin: \"" + word + "\" is not a number of points from 0");
        values.push_back(*v);
    }
    if (values.size() != 1 && values.size() != 4)
        return problem("Margin: give one number, or four: left, bottom, right, top");
    const std::optional<Fixed> percent = FixedFromText(threshold);
    if (!percent || *percent < 0 || *percent >= 100 * VX_FIXED_ONE)
        return problem("Ink threshold: \"" + threshold + "\" is not a percentage from 0 to below 100");
    BoxMargin m = values.size() == 1 ? BoxMargin{values[0], values[0], values[0], values[0]}
                                     : BoxMargin{values[0], values[1], values[2], values[3]};
    InkSettings ink;
    ink.threshold = FixedToDouble(*percent);
    ink.ignoreDarkEdges = ignoreDarkEdges;
    host().setBoxSettings(m, ink);
    note("Bounding boxes: margin " + FixedToText(m.left) + " " + FixedToText(m.bottom) + " " + FixedToText(m.right) +
         " " + FixedToText(m.top) + " pt, ink threshold " + FixedToText(*percent) + "%" +
         (ignoreDarkEdges ? ", dark edges ignored" : ""));
}

}  // namespace vellora::viewer
