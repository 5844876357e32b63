// SPDX-License-Identifier: AGPL-3.0-or-later
// The module's own resources, read back from the built module file (and
// from the compiled .res): the dialog template byte for byte, the cursors
// and the bitmaps as the host will see them.
#include "module/resource_ids.h"
#include "resource_builders.h"

#include <vxwin32/standin.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace win32test;

namespace {

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kLightGrey = 0xFFC0C0C0u;

HINSTANCE Module() {
    static HINSTANCE module = vxwin32::RegisterModuleFile(VX_MODULE_PATH);
    return module;
}

uint32_t PixelAt(const vxwin32::Image& image, int x, int y) {
    return image.rgba.at(static_cast<size_t>(y) * image.width + x);
}

std::set<uint32_t> Colours(const vxwin32::Image& image) { return {image.rgba.begin(), image.rgba.end()}; }

// Columns that hold at least one black pixel, leftmost and rightmost.
std::pair<int, int> InkColumns(const vxwin32::Image& image) {
    int first = image.width, last = -1;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (PixelAt(image, x, y) == kBlack) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

}  // namespace

TEST(ModuleResources, DialogTemplateIsExactlyThePagesToCropTable) {
    const auto bytes = vxwin32::FindResource(Module(), 5, IDD_PAGES_TO_CROP);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, BuildTemplate(PagesToCropLayout()));
}

TEST(ModuleResources, ModuleFileCarriesTheCompiledResources) {
    const HINSTANCE res = vxwin32::RegisterResFile(VX_RESOURCE_FILE);
    for (auto [type, name] :
         {std::pair{5, IDD_PAGES_TO_CROP}, {12, IDCUR_CROP}, {12, IDCUR_SCISSORS}, {2, IDB_TOOLBAR}, {2, IDB_MENU}}) {
        const auto fromModule =
            vxwin32::FindResource(Module(), static_cast<uint16_t>(type), static_cast<uint16_t>(name));
        ASSERT_TRUE(fromModule.has_value()) << type << "/" << name;
        EXPECT_EQ(fromModule, vxwin32::FindResource(res, static_cast<uint16_t>(type), static_cast<uint16_t>(name)));
    }
    EXPECT_FALSE(vxwin32::FindResource(Module(), 5, IDD_PAGES_TO_CROP + 1).has_value());
}

TEST(ModuleResources, CropCursorHasItsHotSpotOnTheCrossingOfTheMarks) {
    const HCURSOR cursor = LoadCursorA(Module(), MAKEINTRESOURCEA(IDCUR_CROP));
    const auto info = vxwin32::DescribeCursor(cursor);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->resourceId, IDCUR_CROP);
    EXPECT_FALSE(info->system);
    EXPECT_EQ(info->hotX, 9);
    EXPECT_EQ(info->hotY, 9);
    EXPECT_EQ(info->image.width, 32);
    EXPECT_EQ(info->image.height, 32);
    EXPECT_EQ(PixelAt(info->image, 9, 9), kBlack);
    EXPECT_EQ(PixelAt(info->image, 0, 0), 0u);
    EXPECT_EQ(PixelAt(info->image, 31, 0), 0u);  // rows not flipped: top right is empty
    EXPECT_EQ(Colours(info->image), (std::set<uint32_t>{0u, kBlack}));
    // The platform hands out one handle per cursor resource.
    EXPECT_EQ(LoadCursorA(Module(), MAKEINTRESOURCEA(IDCUR_CROP)), cursor);
}

TEST(ModuleResources, ScissorsCursorPointsLeftWithLoopsOnTheRight) {
    const auto info = vxwin32::DescribeCursor(LoadCursorA(Module(), MAKEINTRESOURCEA(IDCUR_SCISSORS)));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->resourceId, IDCUR_SCISSORS);
    EXPECT_EQ(info->hotX, 6);
    EXPECT_EQ(info->hotY, 7);
    EXPECT_EQ(info->image.width, 32);
    EXPECT_EQ(info->image.height, 32);
    const auto [left, right] = InkColumns(info->image);
    EXPECT_LE(left, 2);
    EXPECT_GE(right, 24);
    // The finger loops are rings: on the right, some empty pixel has ink
    // above, below, left and right of it.
    const vxwin32::Image& image = info->image;
    auto inkAlong = [&image](int x, int y, int dx, int dy) {
        for (x += dx, y += dy; x >= 0 && y >= 0 && x < image.width && y < image.height; x += dx, y += dy)
            if (PixelAt(image, x, y) == kBlack) return true;
        return false;
    };
    int enclosed = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = image.width / 2; x < image.width; ++x)
            if (PixelAt(image, x, y) == 0 && inkAlong(x, y, 0, -1) && inkAlong(x, y, 0, 1) && inkAlong(x, y, -1, 0) &&
                inkAlong(x, y, 1, 0))
                ++enclosed;
    EXPECT_GT(enclosed, 0);
    EXPECT_EQ(Colours(info->image), (std::set<uint32_t>{0u, kBlack}));
    EXPECT_NE(LoadCursorA(Module(), MAKEINTRESOURCEA(IDCUR_SCISSORS)),
              LoadCursorA(Module(), MAKEINTRESOURCEA(IDCUR_CROP)));
}

TEST(ModuleResources, ToolbarIconIsA16ColourGlyphOnLightGrey) {
    const HBITMAP bitmap = LoadBitmapA(Module(), MAKEINTRESOURCEA(IDB_TOOLBAR));
    const auto info = vxwin32::DescribeBitmap(bitmap);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->resourceId, IDB_TOOLBAR);
    EXPECT_EQ(info->bitsPerPixel, 4);
    EXPECT_EQ(info->image.width, 18);
    EXPECT_EQ(info->image.height, 18);
    EXPECT_EQ(Colours(info->image), (std::set<uint32_t>{kBlack, kLightGrey}));
    EXPECT_EQ(PixelAt(info->image, 0, 0), kLightGrey);
    // Each load is a bitmap of its own, as on the platform.
    EXPECT_NE(LoadBitmapA(Module(), MAKEINTRESOURCEA(IDB_TOOLBAR)), bitmap);
}

TEST(ModuleResources, MenuIconIsAMonochromeGlyphOnWhite) {
    const auto info = vxwin32::DescribeBitmap(LoadBitmapA(Module(), MAKEINTRESOURCEA(IDB_MENU)));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->bitsPerPixel, 1);
    EXPECT_EQ(info->image.width, 24);
    EXPECT_EQ(info->image.height, 24);
    EXPECT_EQ(Colours(info->image), (std::set<uint32_t>{kBlack, kWhite}));
    EXPECT_EQ(PixelAt(info->image, 0, 0), kWhite);
}

TEST(ModuleResources, GlyphHasTwoPixelStrokesJoinedByAOnePixelDiagonal) {
    const auto info = vxwin32::DescribeBitmap(LoadBitmapA(Module(), MAKEINTRESOURCEA(IDB_MENU)));
    ASSERT_TRUE(info.has_value());
    const vxwin32::Image& image = info->image;
    // Every row with ink holds either a long stroke two rows thick or short
    // runs; the diagonal gives rows with an isolated single black pixel.
    int singlePixelRuns = 0;
    for (int y = 1; y + 1 < image.height; ++y)
        for (int x = 1; x + 1 < image.width; ++x)
            if (PixelAt(image, x, y) == kBlack && PixelAt(image, x - 1, y) != kBlack &&
                PixelAt(image, x + 1, y) != kBlack && PixelAt(image, x, y - 1) != kBlack &&
                PixelAt(image, x, y + 1) != kBlack)
                ++singlePixelRuns;
    EXPECT_GE(singlePixelRuns, 4);
    const auto [left, right] = InkColumns(image);
    EXPECT_LT(left, image.width / 4);
    EXPECT_GT(right, image.width * 3 / 4);
}

TEST(ModuleResources, MissingResourcesGiveNull) {
    EXPECT_EQ(LoadCursorA(Module(), MAKEINTRESOURCEA(IDB_TOOLBAR)), nullptr);  // a bitmap, not a cursor
    EXPECT_EQ(LoadBitmapA(Module(), MAKEINTRESOURCEA(IDCUR_CROP)), nullptr);
    EXPECT_EQ(LoadBitmapA(Module(), "NOSUCH"), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(IDCUR_CROP)), nullptr);
    EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(IDB_TOOLBAR)), nullptr);
    EXPECT_EQ(LoadCursorA(reinterpret_cast<HINSTANCE>(uintptr_t{0x1234}), MAKEINTRESOURCEA(IDCUR_CROP)), nullptr);
    EXPECT_FALSE(vxwin32::DescribeCursor(nullptr).has_value());
    EXPECT_FALSE(
        vxwin32::DescribeBitmap(reinterpret_cast<HBITMAP>(LoadCursorA(Module(), MAKEINTRESOURCEA(IDCUR_CROP)))));
}

TEST(ModuleResources, SystemArrowIsTheHostsOwnCursor) {
    const auto arrow = vxwin32::DescribeCursor(vxwin32::SystemArrowCursor());
    ASSERT_TRUE(arrow.has_value());
    EXPECT_TRUE(arrow->system);
    EXPECT_EQ(arrow->resourceId, 0);
    EXPECT_EQ(PixelAt(arrow->image, arrow->hotX, arrow->hotY), kBlack);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)), vxwin32::SystemArrowCursor());
}
