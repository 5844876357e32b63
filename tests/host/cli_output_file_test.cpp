// The command line's output handling: the input is recognised however it is
// named, and a result reaches its target only when committed.
#include "backend/document_backend.h"
#include "cli/output_file.h"
#include "files/replacement_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
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

// What a directory holds besides the files a test made itself.
std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void Write(const std::string& target, const std::string& text) {
    ReplacementFile file(target);
    file.write(text);
    file.commit();
}

TEST_F(CliOutputFile, NothingReachesTheTargetUnlessCommitted) {
    std::string target = file("out.pdf", "old");
    {
        StagedOutput out(target);
        EXPECT_EQ(out.path(), target);
        Write(out.path(), "half");
        EXPECT_EQ(read(target), "old") << "held until the run succeeded";
    }
    EXPECT_EQ(read(target), "old");
    EXPECT_EQ(Names(dir_), std::vector<std::string>{"out.pdf"});
    {
        StagedOutput out(target);
        Write(out.path(), "new");
        out.commit();
    }
    EXPECT_EQ(read(target), "new");
    EXPECT_EQ(Names(dir_), std::vector<std::string>{"out.pdf"});
}

TEST_F(CliOutputFile, CommitWithoutAResultFailsAndTargetStays) {
    std::string target = file("keep.pdf", "kept");
    StagedOutput out(target);
    EXPECT_THROW(out.commit(), HostError);
    EXPECT_EQ(read(target), "kept");
}

// The staging file has no name while it is written, in either mode; a
// named one is ".NAME.vellora-PID.EXT", and those of processes that are no
// longer running go at the next write in their directory.
class StagingModes : public CliOutputFile, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        CliOutputFile::SetUp();
        UseNamedStagingOnly(GetParam());
    }
    void TearDown() override {
        UseNamedStagingOnly(false);
        CliOutputFile::TearDown();
    }
};

TEST_P(StagingModes, OneStagingFileNamedAsDocumented) {
    const std::string target = file("doc.pdf", "old");
    {
        ReplacementFile staged(target);
        staged.write("new");
        const std::string named = ".doc.pdf." + StagingTag(long(getpid())) + ".pdf";
        if (GetParam()) {
            EXPECT_EQ(Names(dir_), (std::vector<std::string>{".doc.pdf." + StagingTag(long(getpid())) + ".pdf", "doc.pdf"}));
            EXPECT_EQ(staged.tempPath(), (dir_ / named).string());
        } else {
            EXPECT_EQ(Names(dir_), std::vector<std::string>{"doc.pdf"}) << "no name while written";
        }
        EXPECT_EQ(read(staged.tempPath()), "new");
    }
    EXPECT_EQ(Names(dir_), std::vector<std::string>{"doc.pdf"}) << "discarded";
    EXPECT_EQ(read(target), "old");
    Write(target, "newer");
    EXPECT_EQ(read(target), "newer");
    EXPECT_EQ(Names(dir_), std::vector<std::string>{"doc.pdf"});
}

TEST_P(StagingModes, StagingFilesOfEndedProcessesAreRemoved) {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string dead = ".doc.pdf." + StagingTag(long(child)) + ".pdf";
    const std::string deadSecond = ".other.png." + StagingTag(long(child)) + "-2.png";
    const std::string alive = ".doc.pdf." + StagingTag(long(getppid())) + ".pdf";
    const std::string unrelated = ".doc.pdf.vellora-notes.pdf";
    for (const std::string& name : {dead, deadSecond, alive, unrelated}) file(name);
    Write((dir_ / "doc.pdf").string(), "x");
    EXPECT_EQ(Names(dir_), (std::vector<std::string>{alive, unrelated, "doc.pdf"}));
}

INSTANTIATE_TEST_SUITE_P(Unnamed, StagingModes, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(Named, StagingModes, ::testing::Values(true));

TEST_F(CliOutputFile, CopiesAndAppendsKeepPermissions) {
    const std::string source = file("source.bin", std::string(300000, 'a') + "tail");
    const std::string target = file("target.bin", "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const int fd = open(source.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    {
        ReplacementFile out(target);
        out.copyFrom(fd, 300002);
        out.write("+more");
        out.commit();
    }
    close(fd);
    EXPECT_EQ(read(target), std::string(300000, 'a') + "ta+more");
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(CliOutputFile, TargetInAMissingDirectoryOrADirectoryIsRefused) {
    EXPECT_THROW(StagedOutput((dir_ / "no" / "such" / "o.pdf").string()), HostError);
    EXPECT_THROW(StagedOutput(dir_.string()), HostError);
}

}  // namespace
