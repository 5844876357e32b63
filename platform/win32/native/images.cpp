// SPDX-License-Identifier: AGPL-3.0-or-later
// Cursors and bitmaps as the system loaded them for the module, described
// through GetIconInfo, GetObject and GetDIBits. A handle does not say which
// resource it came from, so the module's resources are loaded again and
// compared: a cursor is shared (the same handle each load), a bitmap is
// compared by its pixels.
#include "native.h"

#include <cstring>

namespace vxwin32 {
namespace {

// A bitmap's pixels as 0xAABBGGRR, row 0 at the top, opaque.
Image PixelsOf(HBITMAP bitmap, int width, int height) {
    Image image{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, UINT(height), image.rgba.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    for (uint32_t& p : image.rgba)  // BGRA in memory to RGBA
        p = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    return image;
}

struct BitmapSize {
    int width = 0, height = 0, bitsPerPixel = 0;
};

BitmapSize SizeOf(HBITMAP bitmap) {
    BITMAP b{};
    if (GetObjectW(bitmap, sizeof b, &b) == 0) return {};
    return {int(b.bmWidth), int(b.bmHeight), int(b.bmBitsPixel)};
}

// Resource types: RT_BITMAP and RT_GROUP_CURSOR as wide names.
const LPCWSTR kBitmapType = MAKEINTRESOURCEW(2);
const LPCWSTR kCursorGroupType = MAKEINTRESOURCEW(12);

// The resource ids of one type in a module.
BOOL CALLBACK AddId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
    if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<uint16_t>*>(ids)->push_back(uint16_t(uintptr_t(name)));
    return TRUE;
}

std::vector<uint16_t> IdsOf(HINSTANCE module, LPCWSTR type) {
    std::vector<uint16_t> ids;
    EnumResourceNamesW(module, type, AddId, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

// The depth the bitmap resource was drawn in; LoadBitmapA's bitmap has the
// display's.
int ResourceDepth(HINSTANCE module, uint16_t id) {
    const auto bytes = FindResource(module, 2, id);
    if (!bytes || bytes->size() < sizeof(BITMAPINFOHEADER)) return 0;
    BITMAPINFOHEADER header{};
    std::memcpy(&header, bytes->data(), sizeof header);
    return header.biBitCount;
}

// A monochrome cursor's mask holds the AND mask over the XOR mask: the
// screen shows through where AND is set and XOR clear; elsewhere XOR gives
// white or black (inverting pixels are drawn black).
Image CursorPixels(const ICONINFO& icon, const BitmapSize& mask) {
    const int height = icon.hbmColor != nullptr ? mask.height : mask.height / 2;
    if (icon.hbmColor != nullptr) {
        Image colour = PixelsOf(icon.hbmColor, mask.width, height);
        Image andMask = PixelsOf(icon.hbmMask, mask.width, height);
        for (size_t i = 0; i < colour.rgba.size(); ++i)
            if ((andMask.rgba[i] & 0xFFFFFFu) != 0) colour.rgba[i] = 0;
        return colour;
    }
    Image both = PixelsOf(icon.hbmMask, mask.width, mask.height);
    Image image{mask.width, height, std::vector<uint32_t>(size_t(mask.width) * size_t(height))};
    const size_t half = image.rgba.size();
    for (size_t i = 0; i < half; ++i) {
        const bool andBit = (both.rgba[i] & 0xFFFFFFu) != 0;
        const bool xorBit = (both.rgba[half + i] & 0xFFFFFFu) != 0;
        image.rgba[i] = andBit && !xorBit ? 0u : !andBit && xorBit ? 0xFFFFFFFFu : 0xFF000000u;
    }
    return image;
}

}  // namespace

HCURSOR SystemArrowCursor() { return LoadCursorA(nullptr, IDC_ARROW); }

std::optional<CursorInfo> DescribeCursor(HCURSOR cursor) {
    ICONINFO icon{};
    if (cursor == nullptr || !GetIconInfo(cursor, &icon)) return std::nullopt;
    CursorInfo info;
    info.hotX = int(icon.xHotspot);
    info.hotY = int(icon.yHotspot);
    info.image = CursorPixels(icon, SizeOf(icon.hbmMask));
    DeleteObject(icon.hbmMask);
    if (icon.hbmColor != nullptr) DeleteObject(icon.hbmColor);
    info.system = cursor == SystemArrowCursor();
    for (HINSTANCE module : native::RegisteredModules())
        for (uint16_t id : IdsOf(module, kCursorGroupType))
            if (LoadCursorA(module, MAKEINTRESOURCEA(id)) == cursor) info.resourceId = id;
    return info;
}

std::optional<BitmapInfo> DescribeBitmap(HBITMAP bitmap) {
    const BitmapSize size = SizeOf(bitmap);
    if (bitmap == nullptr || size.width == 0) return std::nullopt;
    BitmapInfo info;
    info.bitsPerPixel = size.bitsPerPixel;
    info.image = PixelsOf(bitmap, size.width, size.height);
    for (HINSTANCE module : native::RegisteredModules())
        for (uint16_t id : IdsOf(module, kBitmapType)) {
            HBITMAP candidate = LoadBitmapA(module, MAKEINTRESOURCEA(id));
            const BitmapSize other = SizeOf(candidate);
            if (other.width == size.width && other.height == size.height &&
                PixelsOf(candidate, other.width, other.height).rgba == info.image.rgba) {
                info.resourceId = id;
                info.bitsPerPixel = ResourceDepth(module, id);
            }
            DeleteObject(candidate);
        }
    return info;
}

}  // namespace vxwin32
