// SPDX-License-Identifier: AGPL-3.0-or-later
// The page's own files (HTML, CSS, JavaScript), built into the program from
// platform/host/viewer/assets/ so that nothing is read or fetched at run time.
#pragma once

#include <cstddef>
#include <string_view>

namespace vellora::viewer {

struct EmbeddedAsset {
    const char* name;  // "index.html", ...
    const char* contentType;
    const unsigned char* data;
    size_t size;
};

// Null for a name that is not one of them.
const EmbeddedAsset* FindEmbeddedAsset(std::string_view name);

}  // namespace vellora::viewer
