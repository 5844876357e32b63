// SPDX-License-Identifier: AGPL-3.0-or-later
// Bitmap resources (RT_BITMAP): a DIB without its file header. Each load
// makes a new bitmap, as on the platform; the module never frees them.
#include "dib_decode.h"
#include "handle_table.h"
#include "module_registry.h"

#include <vxwin32/standin.h>

namespace vxwin32 {
namespace {

detail::HandleTable<HBITMAP, BitmapInfo>& Bitmaps() {
    static detail::HandleTable<HBITMAP, BitmapInfo> table(0x60000000);
    return table;
}

}  // namespace

std::optional<BitmapInfo> DescribeBitmap(HBITMAP bitmap) {
    const BitmapInfo* info = Bitmaps().Find(bitmap);
    if (!info) return std::nullopt;
    return *info;
}

}  // namespace vxwin32

extern "C" HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName) {
    using namespace vxwin32;
    if (!hInstance || !lpBitmapName) return nullptr;  // no system bitmaps here
    const auto id = detail::ResourceIdFromArgument(lpBitmapName);
    const auto* data = detail::FindResourceData(hInstance, detail::kRtBitmap, id);
    if (!data) return nullptr;
    auto dib = detail::DecodeBitmapDib(*data);
    if (!dib) return nullptr;
    return Bitmaps().Add(BitmapInfo{id.isOrdinal ? id.ordinal : 0, dib->bitsPerPixel, std::move(dib->image)});
}
