// SPDX-License-Identifier: AGPL-3.0-or-later
// File > Open's chooser: what it lists under its root and which paths it
// refuses (absolute, "..", links leading out), on a folder made for the test.
#include "viewer/file_chooser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <variant>

namespace vellora::viewer {
namespace {

namespace fs = std::filesystem;

class Chooser : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = fs::temp_directory_path() /
               ("vx-chooser-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base);
        fs::create_directories(base / "root" / "b-folder");
        fs::create_directories(base / "root" / "a-folder");
        fs::create_directories(base / "outside");
        for (const fs::path &p :
             {base / "root" / "z.pdf", base / "root" / "A.PDF", base / "root" / "notes.txt",
              base / "root" / ".hidden.pdf", base / "root" / "b-folder" / "inner.pdf",
              base / "outside" / "secret.pdf"})
            std::ofstream(p) << "%PDF-1.4\n";
        fs::create_symlink(base / "outside" / "secret.pdf", base / "root" / "link-out.pdf");
        fs::create_directory_symlink(base / "outside", base / "root" / "dir-out");
        fs::create_symlink(base / "root" / "z.pdf", base / "root" / "b-folder" / "link-in.pdf");
    }
    void TearDown() override
    {
        fs::remove_all(base);
    }

    std::string Refusal(const FileChooser &c, const std::string &path)
    {
        auto got = c.resolve(path);
        return std::holds_alternative<std::string>(got) ? std::get<std::string>(got) : "";
    }

    fs::path base;
};

TEST_F(Chooser, ListsFoldersThenPdfFilesByNameAndNothingElse)
{
    FileChooser c(base / "root");
    EXPECT_EQ(
        c.listing(""),
        R"({"root":"root","dir":"","entries":[{"name":"a-folder","kind":"dir"},{"name":"b-folder","kind":"dir"},)"
        R"({"name":"dir-out","kind":"dir"},{"name":"A.PDF","kind":"pdf"},{"name":"link-out.pdf","kind":"pdf"},)"
        R"({"name":"z.pdf","kind":"pdf"}]})");
    EXPECT_NE(c.listing("b-folder").find(R"("dir":"b-folder")"), std::string::npos);
    EXPECT_NE(c.listing("dir-out").find(R"({"error":)"), std::string::npos);
    EXPECT_NE(c.listing("..").find(R"({"error":)"), std::string::npos);
}

TEST_F(Chooser, RefusesEveryPathThatLeadsOutOfTheRoot)
{
    FileChooser c(base / "root");
    EXPECT_NE(Refusal(c, "../outside/secret.pdf").find("leads out of the root (..)"),
              std::string::npos);
    EXPECT_NE(Refusal(c, "b-folder/../../outside/secret.pdf").find(".."), std::string::npos);
    EXPECT_NE(Refusal(c, "b-folder/..").find(".."), std::string::npos);
    EXPECT_NE(Refusal(c, (base / "root" / "z.pdf").string()).find("not a path under the root"),
              std::string::npos);
    EXPECT_NE(Refusal(c, "link-out.pdf").find("link leading out of the root"), std::string::npos);
    EXPECT_NE(Refusal(c, "dir-out/secret.pdf").find("link leading out of the root"),
              std::string::npos);
    EXPECT_NE(Refusal(c, "missing.pdf").find("cannot be found"), std::string::npos);
    EXPECT_NE(Refusal(c, std::string("z.pdf\0x", 7)).find("NUL"), std::string::npos);
}

TEST_F(Chooser, ResolvesPathsAndLinksThatStayInside)
{
    FileChooser c(base / "root");
    auto inner = c.resolve("b-folder/inner.pdf");
    ASSERT_TRUE(std::holds_alternative<fs::path>(inner));
    EXPECT_EQ(std::get<fs::path>(inner), fs::canonical(base / "root" / "b-folder" / "inner.pdf"));
    auto linked = c.resolve("b-folder/link-in.pdf");
    ASSERT_TRUE(std::holds_alternative<fs::path>(linked));
    EXPECT_EQ(std::get<fs::path>(linked), fs::canonical(base / "root" / "z.pdf"));
    // A root of the same name's prefix is not inside: root-other is beside root.
    fs::create_directories(base / "root-other");
    std::ofstream(base / "root-other" / "x.pdf") << "%PDF-1.4\n";
    fs::create_symlink(base / "root-other" / "x.pdf", base / "root" / "prefix.pdf");
    EXPECT_NE(Refusal(c, "prefix.pdf").find("link leading out"), std::string::npos);
}

TEST_F(Chooser, ARootThatIsNoFolderIsRefused)
{
    EXPECT_THROW(FileChooser(base / "root" / "z.pdf"), std::invalid_argument);
    EXPECT_THROW(FileChooser(base / "none"), std::invalid_argument);
}

}  // namespace
}  // namespace vellora::viewer
