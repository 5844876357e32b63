// SPDX-License-Identifier: AGPL-3.0-or-later
// Reading resources from .res files and from ELF module files, damaged
// ones included.
#include "resource_builders.h"

#include <vxwin32/standin.h>

#include <gtest/gtest.h>

using namespace win32test;

namespace {

// A 24-bit bitmap resource one pixel wide: BITMAPINFOHEADER, no palette,
// one stored row per colour (each written B, G, R and a pad byte), first
// stored row first.
Bytes OneColumnBitmap(int heightField, const std::vector<uint32_t>& storedRows) {
    Bytes out;
    for (uint32_t v : {40u, 1u, static_cast<uint32_t>(heightField)}) PutU32(out, v);
    PutU16(out, 1);
    PutU16(out, 24);
    for (int i = 0; i < 6; ++i) PutU32(out, 0);
    for (uint32_t bgr : storedRows) PutU32(out, bgr);
    return out;
}

std::string ErrorOf(const std::string& path, HINSTANCE (*reg)(const std::string&)) {
    try {
        reg(path);
    } catch (const vxwin32::Win32Error& error) {
        return error.what();
    }
    return "";
}

}  // namespace

TEST(ResourceFiles, LanguageUnitedStatesIsPreferredThenNeutralThenAny) {
    const HINSTANCE module = RegisterResources({{10, uint16_t{1}, 1031, {1}},
                                                {10, uint16_t{1}, 1033, {2}},
                                                {10, uint16_t{1}, 0, {3}},
                                                {10, uint16_t{2}, 1031, {4}},
                                                {10, uint16_t{2}, 0, {5}},
                                                {10, uint16_t{3}, 1036, {6}},
                                                {10, std::string("NAMED"), 1033, {7}}});
    EXPECT_EQ(vxwin32::FindResource(module, 10, 1), (Bytes{2}));
    EXPECT_EQ(vxwin32::FindResource(module, 10, 2), (Bytes{5}));
    EXPECT_EQ(vxwin32::FindResource(module, 10, 3), (Bytes{6}));
    EXPECT_FALSE(vxwin32::FindResource(module, 10, 4));
    EXPECT_FALSE(vxwin32::FindResource(module, 11, 1));
    EXPECT_FALSE(vxwin32::FindResource(nullptr, 10, 1));
}

TEST(ResourceFiles, BitmapRowsAreReadBottomUpOrTopDown) {
    constexpr uint32_t kBlue = 0x0000FF, kRed = 0xFF0000;  // as stored: B first
    constexpr uint32_t kBlueRgba = 0xFFFF0000u, kRedRgba = 0xFF0000FFu;
    const HINSTANCE module = RegisterResources({{2, uint16_t{1}, 1033, OneColumnBitmap(2, {kBlue, kRed})},
                                                {2, uint16_t{2}, 1033, OneColumnBitmap(-2, {kBlue, kRed})}});
    const auto bottomUp = vxwin32::DescribeBitmap(LoadBitmapA(module, MAKEINTRESOURCEA(1)));
    const auto topDown = vxwin32::DescribeBitmap(LoadBitmapA(module, MAKEINTRESOURCEA(2)));
    ASSERT_TRUE(bottomUp && topDown);
    EXPECT_EQ(bottomUp->bitsPerPixel, 24);
    EXPECT_EQ(bottomUp->image.rgba, (std::vector<uint32_t>{kRedRgba, kBlueRgba}));
    EXPECT_EQ(topDown->image.rgba, (std::vector<uint32_t>{kBlueRgba, kRedRgba}));
}

TEST(ResourceFiles, DamagedImagesGiveNullHandles) {
    const Bytes bitmap = OneColumnBitmap(2, {0, 0});
    Bytes compressed = bitmap;
    compressed[16] = 1;  // run-length encoded
    Bytes huge = bitmap;
    huge[6] = 0x40;  // 4 million pixels wide
    Bytes groupOfMissingImage;
    for (uint32_t word : {0u, 2u, 1u, 32u, 64u, 1u, 1u}) PutU16(groupOfMissingImage, word);
    PutU32(groupOfMissingImage, 304);
    PutU16(groupOfMissingImage, 9);
    const HINSTANCE module =
        RegisterResources({{2, uint16_t{1}, 1033, Bytes(bitmap.begin(), bitmap.end() - 1)},
                           {2, uint16_t{2}, 1033, compressed},
                           {2, uint16_t{3}, 1033, huge},
                           {12, uint16_t{4}, 1033, groupOfMissingImage},
                           {12, uint16_t{5}, 1033, Bytes(groupOfMissingImage.begin(), groupOfMissingImage.end() - 1)}});
    for (int id : {1, 2, 3}) EXPECT_EQ(LoadBitmapA(module, MAKEINTRESOURCEA(id)), nullptr) << id;
    EXPECT_EQ(LoadCursorA(module, MAKEINTRESOURCEA(4)), nullptr);
    EXPECT_EQ(LoadCursorA(module, MAKEINTRESOURCEA(5)), nullptr);
}

TEST(ResourceFiles, DamagedResFilesAreRefusedNamingTheFile) {
    const Bytes good = BuildRes({{5, uint16_t{117}, 1033, BuildTemplate(PagesToCropLayout())}});
    const std::string cut = WriteTestFile("cut.res", Bytes(good.begin(), good.end() - 8));
    EXPECT_NE(ErrorOf(cut, vxwin32::RegisterResFile).find(cut), std::string::npos);
    Bytes badHeader = good;
    badHeader[36] = 4;  // the second record's header size, too small to hold its header
    badHeader[37] = badHeader[38] = badHeader[39] = 0;
    EXPECT_NE(ErrorOf(WriteTestFile("header.res", badHeader), vxwin32::RegisterResFile), "");
    EXPECT_NE(ErrorOf(VX_BINARY_DIR "/no/such/file.res", vxwin32::RegisterResFile).find("cannot be read"),
              std::string::npos);
    // Without its trailing padding the last record still counts.
    const Bytes unpadded = BuildRes({{10, uint16_t{1}, 1033, {1, 2, 3}}});
    const HINSTANCE module =
        vxwin32::RegisterResFile(WriteTestFile("unpadded.res", Bytes(unpadded.begin(), unpadded.end() - 1)));
    EXPECT_EQ(vxwin32::FindResource(module, 10, 1), (Bytes{1, 2, 3}));
}

TEST(ModuleFiles, AnElfFileWithoutResourcesHasNone) {
    const HINSTANCE module = vxwin32::RegisterModuleFile("/proc/self/exe");
    EXPECT_FALSE(vxwin32::FindResource(module, 5, 117));
    EXPECT_EQ(LoadCursorA(module, MAKEINTRESOURCEA(102)), nullptr);
}

TEST(ModuleFiles, ResourcesAreFoundIn32And64BitFiles) {
    const Bytes res = BuildRes({{10, uint16_t{7}, 1033, {4, 5, 6}}});
    for (bool wide : {false, true}) {
        const Bytes elf = BuildElf(wide, {{".text", Bytes(100, 0x90)}, {".rsrc", res}, {".comment", {1}}});
        const HINSTANCE module = vxwin32::RegisterModuleFile(WriteTestFile("module.so", elf));
        EXPECT_EQ(vxwin32::FindResource(module, 10, 7), (Bytes{4, 5, 6})) << (wide ? 64 : 32);
        // A section whose data lies past the end of the file.
        Bytes stretched = BuildElf(wide, {{".rsrc", res}});
        const size_t tableAt = wide ? stretched[40] | stretched[41] << 8 : stretched[32] | stretched[33] << 8;
        const size_t sizeField = tableAt + (wide ? 64 + 32 : 40 + 20);  // section 1's size
        stretched[sizeField + 2] = 0x7F;
        EXPECT_NE(ErrorOf(WriteTestFile("stretched.so", stretched), vxwin32::RegisterModuleFile)
                      .find("section outside the file"),
                  std::string::npos);
    }
}

TEST(ModuleFiles, DamagedModuleFilesAreRefusedNamingTheFile) {
    const Bytes module = ReadTestFile(VX_MODULE_PATH);
    ASSERT_GT(module.size(), 4096u);
    const std::string notElf = WriteTestFile("module.txt", Bytes{'h', 'e', 'l', 'l', 'o'});
    EXPECT_NE(ErrorOf(notElf, vxwin32::RegisterModuleFile).find(notElf + ": not an ELF file"), std::string::npos);
    // Cut just before the section table, which sits at the end.
    const std::string cut = WriteTestFile("module.so", Bytes(module.begin(), module.end() - 16));
    EXPECT_NE(ErrorOf(cut, vxwin32::RegisterModuleFile).find(cut + ": malformed ELF file"), std::string::npos);
    // Every cut of the header must be refused cleanly, never read past the end.
    for (size_t length : {0u, 15u, 16u, 40u, 63u})
        EXPECT_NE(ErrorOf(WriteTestFile("head.so", Bytes(module.begin(), module.begin() + length)),
                          vxwin32::RegisterModuleFile),
                  "")
            << length;
}
