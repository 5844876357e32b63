// PNG files from RGBA rasters: 8-bit RGBA, no filtering, zlib stored
// blocks. Needs no compression library, so every build has it.
#pragma once

#include "core/host_error.h"
#include "render/raster.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vellora {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size);

std::vector<uint8_t> EncodePng(const Raster& raster);
// Written next to the target and renamed into place. Throws HostError.
void WritePng(const Raster& raster, const std::string& path);

}  // namespace vellora
