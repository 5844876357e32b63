// SPDX-License-Identifier: AGPL-3.0-or-later
// PNG files from RGBA rasters: 8-bit RGBA, each row filtered (None, Sub or
// Up, whichever leaves its bytes smallest as signed values), deflated by
// zlib. The one PNG writer of the host: snapshots,
// `show`, the viewer's pictures.
#pragma once

#include "core/host_error.h"
#include "render/raster.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vellora {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

std::vector<uint8_t> EncodePng(const Raster& raster);
// Written next to the target and renamed into place. Throws HostError.
void WritePng(const Raster& raster, const std::string& path);

}  // namespace vellora
