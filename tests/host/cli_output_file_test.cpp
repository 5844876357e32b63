// SPDX-License-Identifier: AGPL-3.0-or-later
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
            EXPECT_EQ(Names(dir_),
                      (std::vector<std::string>{".doc.pdf." + StagingTag(long(getpid())) + ".pdf", "doc.pdf"}));
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
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(CliOutputFile, TargetInAMissingDirectoryOrADirectoryIsRefused) {
    EXPECT_THROW(StagedOutput((dir_ / "no" / "such" / "o.pdf").string()), HostError);
    EXPECT_THROW(StagedOutput(dir_.string()), HostError);
}

TEST_F(CliOutputFile, LinksResolveToTheFileTheyName) {
    const std::string real = file("real.pdf");
    const std::string canonical = fs::canonical(real).string();
    EXPECT_EQ(ResolvedTarget(real), real);  // no link: the path as given
    fs::create_directory(dir_ / "sub");
    fs::create_symlink("../real.pdf", dir_ / "sub" / "up.pdf");  // relative to the link's folder
    fs::create_symlink(dir_ / "sub" / "up.pdf", dir_ / "chain.pdf");
    EXPECT_EQ(ResolvedTarget((dir_ / "sub" / "up.pdf").string()), canonical);
    EXPECT_EQ(ResolvedTarget((dir_ / "chain.pdf").string()), canonical);

    // Dangling: the file to make, in a folder that exists.
    fs::create_symlink("sub/new.pdf", dir_ / "dangling.pdf");
    EXPECT_EQ(ResolvedTarget((dir_ / "dangling.pdf").string()), (fs::canonical(dir_ / "sub") / "new.pdf").string());
    fs::create_symlink("nowhere/new.pdf", dir_ / "lost.pdf");
    try {
        ResolvedTarget((dir_ / "lost.pdf").string());
        ADD_FAILURE() << "a link into a missing folder was accepted";
    } catch (const HostError& e) {
        EXPECT_NE(std::string(e.what()).find("lost.pdf: a symbolic link to"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("does not exist"), std::string::npos) << e.what();
    }
    fs::create_symlink("loop-b.pdf", dir_ / "loop-a.pdf");
    fs::create_symlink("loop-a.pdf", dir_ / "loop-b.pdf");
    EXPECT_THROW(ResolvedTarget((dir_ / "loop-a.pdf").string()), HostError);
    EXPECT_TRUE(fs::is_symlink(dir_ / "chain.pdf") && fs::is_symlink(dir_ / "dangling.pdf"));
}

}  // namespace
