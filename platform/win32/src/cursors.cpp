// SPDX-License-Identifier: AGPL-3.0-or-later
// Cursor resources: a cursor group (RT_GROUP_CURSOR) lists the images of a
// cursor; each image (RT_CURSOR) is its hot spot followed by a DIB with an
// AND mask. Like the platform, loading the same cursor again gives the same
// handle, so a host asking for the cursor on every mouse move costs nothing.
#include "dib_decode.h"
#include "handle_table.h"
#include "module_registry.h"

#include <vxwin32/standin.h>

#include <map>
#include <tuple>

namespace vxwin32 {
namespace {

constexpr uint16_t kIdcArrow = 32512;
constexpr int kPreferredSide = 32;
constexpr size_t kGroupEntrySize = 14;

// Key of a loaded cursor: its module and its id.
using CacheKey = std::tuple<uintptr_t, bool, uint16_t, std::u16string>;

struct CursorStore {
    detail::HandleTable<HCURSOR, CursorInfo> table{0x50000000};
    std::map<CacheKey, HCURSOR> loaded;
    HCURSOR arrow = nullptr;
};

CursorStore& Cursors() {
    static CursorStore store;
    return store;
}

CacheKey KeyOf(HINSTANCE module, const detail::ResourceId& id) {
    return {reinterpret_cast<uintptr_t>(module), id.isOrdinal, id.ordinal, id.name};
}

// Picks the group's 32-pixel image (else its first) and returns its id.
std::optional<uint16_t> ChooseImage(const std::vector<uint8_t>& group) {
    detail::ByteReader r(group);
    const uint16_t reserved = r.U16();
    const uint16_t type = r.U16();
    const uint16_t count = r.U16();
    if (!r.ok() || reserved != 0 || type != 2 || count == 0) return std::nullopt;
    std::optional<uint16_t> chosen;
    for (uint16_t i = 0; i < count; ++i) {
        const uint16_t width = r.U16();
        r.Skip(kGroupEntrySize - 4);  // height, planes, bit count, byte count
        const uint16_t id = r.U16();
        if (!r.ok()) return std::nullopt;
        if (!chosen || width == kPreferredSide) chosen = id;
        if (width == kPreferredSide) break;
    }
    return chosen;
}

std::optional<CursorInfo> ReadCursor(HINSTANCE module, const detail::ResourceId& id) {
    const auto* group = detail::FindResourceData(module, detail::kRtGroupCursor, id);
    if (!group) return std::nullopt;
    const auto imageId = ChooseImage(*group);
    if (!imageId) return std::nullopt;
    const auto* image = detail::FindResourceData(module, detail::kRtCursor, detail::ResourceId::Ordinal(*imageId));
    if (!image) return std::nullopt;
    detail::ByteReader r(*image);
    CursorInfo info;
    info.hotX = r.U16();
    info.hotY = r.U16();
    if (!r.ok()) return std::nullopt;
    auto dib = detail::DecodeCursorDib(std::span<const uint8_t>(*image).subspan(4));
    if (!dib) return std::nullopt;
    info.resourceId = id.isOrdinal ? id.ordinal : 0;
    info.image = std::move(dib->image);
    return info;
}

// The platform's arrow: black outline, white inside, tip at the hot spot.
Image DrawArrow() {
    constexpr int kSide = 32;
    constexpr int kHead = 12;  // rows of the arrow head
    constexpr int kTail = 19;  // last row of the stem
    constexpr uint32_t kBlack = 0xFF000000u;
    constexpr uint32_t kWhite = 0xFFFFFFFFu;
    Image image{kSide, kSide, std::vector<uint32_t>(kSide * kSide, 0)};
    auto put = [&image](int x, int y, uint32_t colour) { image.rgba[static_cast<size_t>(y) * kSide + x] = colour; };
    for (int y = 0; y < kHead; ++y)
        for (int x = 0; x <= y; ++x) put(x, y, x == 0 || x == y || y == kHead - 1 ? kBlack : kWhite);
    for (int y = kHead - 1; y <= kTail; ++y)  // the stem, open into the head
        for (int x = 3; x <= 6; ++x) put(x, y, x == 3 || x == 6 || y == kTail ? kBlack : kWhite);
    return image;
}

}  // namespace

HCURSOR SystemArrowCursor() {
    CursorStore& store = Cursors();
    if (!store.arrow) store.arrow = store.table.Add(CursorInfo{0, true, 0, 0, DrawArrow()});
    return store.arrow;
}

std::optional<CursorInfo> DescribeCursor(HCURSOR cursor) {
    const CursorInfo* info = Cursors().table.Find(cursor);
    if (!info) return std::nullopt;
    return *info;
}

}  // namespace vxwin32

extern "C" HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    using namespace vxwin32;
    if (!lpCursorName) return nullptr;
    const auto id = detail::ResourceIdFromArgument(lpCursorName);
    if (!hInstance) return id.isOrdinal && id.ordinal == kIdcArrow ? SystemArrowCursor() : nullptr;
    CursorStore& store = Cursors();
    const auto key = KeyOf(hInstance, id);
    if (auto found = store.loaded.find(key); found != store.loaded.end()) return found->second;
    auto info = ReadCursor(hInstance, id);
    if (!info) return nullptr;
    const HCURSOR handle = store.table.Add(std::move(*info));
    store.loaded.emplace(key, handle);
    return handle;
}
