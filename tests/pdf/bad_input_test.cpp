// SPDX-License-Identifier: AGPL-3.0-or-later
// Inputs and targets that must fail: each gets one clear HostError naming
// the file, and nothing on disk changes.
#include "pdf/pdf_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace pdftest;
using vellora::HostError;
using vellora::SaveMode;

namespace {

// The message of the HostError opening `path` throws, or "" when it opens.
std::string OpenError(const std::string& path)
{
    std::vector<std::string> warnings;
    try {
        vellora::OpenPdfDocument(path, warnings);
    } catch (const HostError& e) {
        return e.what();
    }
    return "";
}

void ExpectRefused(const std::string& path, const std::string& why)
{
    const bool existed = std::filesystem::exists(path);
    const std::string before = existed ? ReadBytes(path) : "";
    const std::string message = OpenError(path);
    EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << "names the file: " << message;
    EXPECT_NE(message.find(why), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << "one line: " << message;
    if (existed) {
        EXPECT_EQ(ReadBytes(path), before) << path;
    }
}

TEST(PdfBadInput, UnreadableFilesAreRefused)
{
    ScratchDir dir;
    ExpectRefused(dir.path("missing.pdf"), "No such file");
    std::filesystem::create_directory(dir.path("folder.pdf"));
    ExpectRefused(dir.path("folder.pdf"), "directory");

    WriteBytes(dir.path("notes.pdf"), "These are notes, not a PDF file.\n");
    ExpectRefused(dir.path("notes.pdf"), "cannot be read as a PDF file");
    WriteBytes(dir.path("empty.pdf"), "");
    ExpectRefused(dir.path("empty.pdf"), "cannot be read as a PDF file");
    WriteBytes(dir.path("truncated.pdf"), ReadBytes(Sample("mixed.pdf")).substr(0, 200));
    ExpectRefused(dir.path("truncated.pdf"), "cannot be read as a PDF file");
}

TEST(PdfBadInput, EncryptedFiles)
{
    ScratchDir dir;
    const std::string plain = Sample("mixed.pdf");
    const std::string locked = dir.path("locked.pdf");
    const std::string readOnly = dir.path("read-only.pdf");
    const std::string open = dir.path("open.pdf");
    ASSERT_EQ(RunCommand("qpdf --encrypt secret owner 256 -- " + Quote(plain) + " " + Quote(locked))
                  .status,
              0);
    ASSERT_EQ(RunCommand("qpdf --encrypt '' owner 256 --modify=none -- " + Quote(plain) + " " +
                         Quote(readOnly))
                  .status,
              0);
    ASSERT_EQ(
        RunCommand("qpdf --encrypt '' owner 256 -- " + Quote(plain) + " " + Quote(open)).status, 0);

    ExpectRefused(locked, "password");

    // Readable but not to be changed: it opens, refuses to be saved, and the
    // target is not created.
    const std::string before = ReadBytes(readOnly);
    auto doc = OpenClean(readOnly);
    EXPECT_EQ(doc->permissions(), 0u);
    EXPECT_EQ(doc->pageCount(), 7);
    try {
        doc->save(dir.path("out.pdf"), SaveMode::Full);
        ADD_FAILURE() << "saved";
    } catch (const HostError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(readOnly + ": ", 0), 0u) << e.what();
        EXPECT_NE(std::string(e.what()).find("not allow changes"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("out.pdf")));
    EXPECT_EQ(ReadBytes(readOnly), before);

    // Encrypted with an empty password and every permission: saved, and
    // still encrypted.
    auto editable = OpenClean(open);
    EXPECT_EQ(editable->permissions(), VX_PERMISSION_EDIT);
    editable->setCropBox(0, FixedBox(100, 100, 300, 300));
    for (SaveMode mode : {SaveMode::Incremental, SaveMode::Full}) {
        const std::string out = dir.path(mode == SaveMode::Full ? "full.pdf" : "inc.pdf");
        editable->save(out, mode);
        std::string report;
        EXPECT_TRUE(QpdfCheckClean(out, &report)) << report;
        EXPECT_NE(report.find("file encryption method: AESv3"), std::string::npos) << report;
        const auto crops = PdfinfoBoxes(out, 1, "CropBox");
        ASSERT_EQ(crops.size(), 1u);
        EXPECT_LE(Distance(crops[0], Box{100, 100, 300, 300}), 0.001);
    }
}

// A user password: the file opens with it (or the owner password), and a
// save after a change is still encrypted the same way and opens with it
// again, whether an incremental or a whole save was asked for.
TEST(PdfBadInput, FilesWithAUserPassword)
{
    ScratchDir dir;
    const std::string locked = dir.path("locked.pdf");
    ASSERT_EQ(RunCommand("qpdf --encrypt secret owner 128 --use-aes=y --print=low -- " +
                         Quote(Sample("mixed.pdf")) + " " + Quote(locked))
                  .status,
              0);
    std::vector<std::string> warnings;
    try {
        vellora::OpenPdfDocument(locked, warnings, "guess");
        ADD_FAILURE() << "opened with a wrong password";
    } catch (const HostError& e) {
        EXPECT_EQ(std::string(e.what()), locked + ": the password is wrong");
    }
    EXPECT_EQ(vellora::OpenPdfDocument(locked, warnings, "owner")->pageCount(), 7);
    auto doc = vellora::OpenPdfDocument(locked, warnings, "secret");
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(doc->permissions(), VX_PERMISSION_EDIT);
    const std::string before =
        RunCommand("qpdf --password=secret --show-encryption " + Quote(locked)).output;
    EXPECT_NE(before.find("AESv2"), std::string::npos) << before;
    const std::string lockedBytes = ReadBytes(locked);
    for (SaveMode mode : {SaveMode::Incremental, SaveMode::Full}) {
        doc->setCropBox(1, FixedBox(100, 100, 300, 300));
        const std::string out = dir.path(mode == SaveMode::Full ? "full.pdf" : "inc.pdf");
        doc->save(out, mode);
        EXPECT_EQ(RunCommand("qpdf --password=secret --show-encryption " + Quote(out)).output,
                  before);
        const CommandResult check = RunCommand("qpdf --check --password=secret " + Quote(out));
        EXPECT_EQ(check.status, 0) << check.output;
        // Appended to the file as it was: the encryption dictionary is the file's own.
        EXPECT_EQ(ReadBytes(out).compare(0, lockedBytes.size(), lockedBytes), 0);
        const FixedRect crop = vellora::OpenPdfDocument(out, warnings, "secret")->cropBox(1);
        EXPECT_LE(Distance(ToBox(crop), Box{100, 100, 300, 300}), 0.001) << Show(ToBox(crop));
    }
}

// Targets that cannot be written: the save fails with the target's name,
// leaves no temporary behind, and changes nothing.
TEST(PdfBadInput, UnwritableTargets)
{
    ScratchDir dir;
    const std::string input = Sample("mixed.pdf");
    const std::string original = ReadBytes(input);
    auto doc = OpenClean(input);
    doc->setCropBox(0, FixedBox(100, 100, 300, 300));

    std::filesystem::create_directory(dir.path("folder"));
    WriteBytes(dir.path("folder/keep.txt"), "kept");
    const std::string targets[] = {dir.path("no-such-dir/out.pdf"), dir.path("folder"),
                                   dir.path("folder/")};
    for (const std::string& target : targets) {
        for (SaveMode mode : {SaveMode::Incremental, SaveMode::Full}) {
            try {
                doc->save(target, mode);
                ADD_FAILURE() << "saved to " << target;
            } catch (const HostError& e) {
                EXPECT_EQ(std::string(e.what()).rfind(target + ": ", 0), 0u) << e.what();
            }
        }
    }
    int entries = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path("")))
        entries += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(entries, 1) << "only folder/keep.txt";
    EXPECT_EQ(ReadBytes(dir.path("folder/keep.txt")), "kept");
    EXPECT_EQ(ReadBytes(input), original);

    // The document is still good for a save that can succeed.
    doc->save(dir.path("out.pdf"), SaveMode::Incremental);
    EXPECT_TRUE(QpdfCheckClean(dir.path("out.pdf")));
}

}  // namespace
