// SPDX-License-Identifier: AGPL-3.0-or-later
// The names the TrimVex module registers, and the words it shows, that the
// host's commands and checks name: its toolbar button and menu items
// (registered in frame/commands.cpp), its orientation question (crop/crop_run.cpp)
// and its two cursors (module/resource_ids.h, drawn in resources/art/). The
// host cannot include the module, so each is kept here once;
// tests/host/plugin_names_test.cpp checks them against the module as loaded.
#pragma once

namespace vellora::plugin {

// The crop tool's toolbar button.
inline constexpr char kCropToolButton[] = "ZUNO:TrimVex";
// Menu items: crop to the bounding box, reset to the media box, and the
// media box display's pair.
inline constexpr char kBBoxItem[] = "ZUNO:TrimVexBBox";
inline constexpr char kMediaBoxItem[] = "ZUNO:TrimVexMediaBox";
inline constexpr char kShowMediaBoxItem[] = "ZUNO:TVShowMediaBox";
inline constexpr char kHideMediaBoxItem[] = "ZUNO:TVHideMediaBox";

// Asked when a page's orientation differs from that of the page the region
// was drawn on; answered Crop or Skip.
inline constexpr char kOrientationQuestion[] = "Some pages do not have same orientation - Crop or Skip them?";

// Cursor resources: over a page while the crop tool is active, and inside
// the selected region.
inline constexpr int kCropCursorId = 102;
inline constexpr int kScissorsCursorId = 112;

}  // namespace vellora::plugin
