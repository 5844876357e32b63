// The command line's output handling: the input is recognised however it is
// named, and a result reaches its target only when committed.
#include "backend/document_backend.h"
#include "cli/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace vellora;
using namespace vellora::cli;
namespace fs = std::filesystem;

namespace {

class CliOutputFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(VX_BINARY_DIR) / "cli-output-test" / std::to_string(getpid());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string file(const std::string& name, const std::string& text = "x") {
        std::ofstream(dir_ / name) << text;
        return (dir_ / name).string();
    }
    std::string read(const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path dir_;
};

TEST_F(CliOutputFile, SameFileThroughOtherNamesAndLinks) {
    std::string a = file("a.pdf");
    std::string b = file("b.pdf");
    EXPECT_TRUE(SameFile(a, a));
    EXPECT_FALSE(SameFile(a, b));
    fs::create_directory(dir_ / "sub");
    EXPECT_TRUE(SameFile(a, (dir_ / "." / "sub" / ".." / "a.pdf").string()));
    fs::create_hard_link(a, dir_ / "hard.pdf");
    EXPECT_TRUE(SameFile(a, (dir_ / "hard.pdf").string()));
    fs::create_symlink(a, dir_ / "soft.pdf");
    EXPECT_TRUE(SameFile((dir_ / "soft.pdf").string(), a));
    EXPECT_FALSE(SameFile(a, (dir_ / "missing.pdf").string()));
}

TEST_F(CliOutputFile, NothingReachesTheTargetUnlessCommitted) {
    std::string target = file("out.pdf", "old");
    std::string staged;
    {
        StagedOutput out(target);
        staged = out.path();
        EXPECT_EQ(fs::path(staged).parent_path(), dir_);
        EXPECT_EQ(fs::path(staged).extension(), ".pdf");
        std::ofstream(staged) << "half";
    }
    EXPECT_FALSE(fs::exists(staged));
    EXPECT_EQ(read(target), "old");
    {
        StagedOutput out(target);
        std::ofstream(out.path()) << "new";
        out.commit();
        EXPECT_FALSE(fs::exists(out.path()));
    }
    EXPECT_EQ(read(target), "new");
}

TEST_F(CliOutputFile, CommitWithoutAResultFailsAndTargetStays) {
    std::string target = file("keep.pdf", "kept");
    StagedOutput out(target);
    EXPECT_THROW(out.commit(), HostError);
    EXPECT_EQ(read(target), "kept");
}

TEST_F(CliOutputFile, TargetInAMissingDirectoryOrADirectoryIsRefused) {
    EXPECT_THROW(StagedOutput((dir_ / "no" / "such" / "o.pdf").string()), HostError);
    EXPECT_THROW(StagedOutput(dir_.string()), HostError);
}

}  // namespace
