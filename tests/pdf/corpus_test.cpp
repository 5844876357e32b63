// SPDX-License-Identifier: AGPL-3.0-or-later
// Damaged and odd PDF files: each opens (repaired if need be, with one
// warning) and then crops and saves to a file qpdf accepts, or it is refused
// with one clear error. The files the build generates always run; the
// external corpus of real files runs where it has been put. Each file runs
// in a child process with a time limit, so that a crash or a hang is
// reported against the file instead of ending the run.
#include "pdf/pdf_test_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>

using namespace pdftest;

namespace {

enum Outcome {
    Opened,
    Repaired,
    Refused,      // one clear error on opening
    SaveRefused,  // opens, but cannot be saved (permissions, or MuPDF cannot write it)
    CheckFailed,  // saved, and qpdf finds problems the input did not have
    CarriedOver,  // saved, and qpdf finds the problems it finds in the input too
    BadMessage,
    kOutcomes
};

// What happened to one file, worked out in the child; `note` goes back
// through a pipe.
Outcome TryFile(const std::string& path, const std::string& out, std::string& note)
{
    std::vector<std::string> warnings;
    std::unique_ptr<vellora::DocumentBackend> doc;
    try {
        doc = vellora::OpenPdfDocument(path, warnings);
    } catch (const vellora::HostError& e) {
        note = e.what();
        const bool clear = note.rfind(path + ": ", 0) == 0 && note.find('\n') == std::string::npos;
        return clear ? Refused : BadMessage;
    }
    for (const std::string& w : warnings)
        if (w.rfind(path + ": ", 0) != 0 || w.find('\n') != std::string::npos) {
            note = "warning: " + w;
            return BadMessage;
        }
    const FixedRect m = doc->mediaBox(0);
    const Fixed insetX = Fixed((int64_t(m.right) - m.left) / 10);
    const Fixed insetY = Fixed((int64_t(m.top) - m.bottom) / 10);
    std::string marks;
    try {
        doc->boundingBox(0);
    } catch (const vellora::HostError& e) {
        marks = std::string(" (bounding box: ") + e.what() + ")";
    }
    try {
        doc->setCropBox(
            0, FixedRect{m.left + insetX, m.top - insetY, m.right - insetX, m.bottom + insetY});
        doc->save(out, vellora::SaveMode::Full);
    } catch (const vellora::HostError& e) {
        note = e.what() + marks;
        return SaveRefused;
    }
    if (!QpdfCheckClean(out, &note))
        return QpdfCheckClean(path) ? CheckFailed : CarriedOver;
    note = (warnings.empty() ? "" : warnings.front()) + marks;
    return warnings.empty() ? Opened : Repaired;
}

struct Result {
    std::string file;
    int status = 0;  // an Outcome, or -signal, or -1000 for the time limit
    std::string note;
};

// One file being tried in a child process.
struct Child {
    std::string file;
    pid_t pid = -1;
    int pipe = -1;
};

Child Start(const std::string& path, const std::string& out, std::chrono::seconds limit)
{
    Child c{path, -1, -1};
    int fds[2];
    if (::pipe(fds) != 0)
        return c;
    c.pid = fork();
    if (c.pid == 0) {
        close(fds[0]);
        alarm(unsigned(limit.count()));
        std::string note;
        const Outcome outcome = TryFile(path, out, note);
        (void)!write(fds[1], note.data(), std::min<size_t>(note.size(), 4000));
        _exit(int(outcome));
    }
    close(fds[1]);
    c.pipe = fds[0];
    return c;
}

Result Finish(const Child& c)
{
    Result result{std::filesystem::path(c.file).filename().string(), -1001, "could not start"};
    if (c.pid <= 0)
        return result;
    result.note.clear();
    char buffer[4096];
    ssize_t n;
    while ((n = read(c.pipe, buffer, sizeof buffer)) > 0)
        result.note.append(buffer, size_t(n));
    close(c.pipe);
    int status = 0;
    waitpid(c.pid, &status, 0);
    result.status = WIFEXITED(status)             ? WEXITSTATUS(status)
                    : WTERMSIG(status) == SIGALRM ? -1000
                                                  : -WTERMSIG(status);
    return result;
}

static const char* const kLabels[kOutcomes] = {"opens",
                                               "opens with a warning",
                                               "refused",
                                               "refuses to save",
                                               "qpdf --check fails after saving",
                                               "qpdf --check finds the input's own problems",
                                               "unclear message"};

// Tries every file, two at a time (one per processor); returns the outcome
// of each, failing the test for crashes, hangs, unclear messages, changed
// inputs and saves qpdf rejects.
std::vector<Result> TryEvery(const std::vector<std::string>& files)
{
    const bool verbose = std::getenv("VX_CORPUS_VERBOSE") != nullptr;
    ScratchDir dir;
    std::vector<Result> results;
    for (size_t i = 0; i < files.size(); i += 2) {
        const size_t batch = std::min<size_t>(2, files.size() - i);
        std::string before[2];
        Child running[2];
        for (size_t k = 0; k < batch; ++k) {
            before[k] = ReadBytes(files[i + k]);
            running[k] = Start(files[i + k], dir.path("out-" + std::to_string(k) + ".pdf"),
                               std::chrono::seconds(30));
        }
        for (size_t k = 0; k < batch; ++k) {
            const Result r = Finish(running[k]);
            results.push_back(r);
            EXPECT_EQ(ReadBytes(files[i + k]), before[k]) << r.file << " was changed";
            if (r.status < 0 || r.status >= int(kOutcomes)) {
                const std::string what = r.status == -1000   ? "over the time limit"
                                         : r.status == -1001 ? "could not start"
                                         : r.status < 0
                                             ? "crashed, signal " + std::to_string(-r.status)
                                             : "exit status " + std::to_string(r.status);
                ADD_FAILURE() << r.file << ": " << what;
                continue;
            }
            if (r.status != Opened &&
                (verbose || r.status == CheckFailed || r.status == BadMessage))
                std::cout << "[ corpus ] " << r.file << ": " << kLabels[r.status] << ": "
                          << r.note.substr(0, 300) << "\n";
            EXPECT_NE(r.status, BadMessage) << r.file << ": " << r.note;
            EXPECT_NE(r.status, CheckFailed) << r.file << ": " << r.note;
        }
    }
    return results;
}

std::vector<std::string> PdfFilesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() == ".pdf")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Where the external corpus is: $TRIMVEX_CORPUS, else the folder shared/corpus
// beside the source tree.
std::filesystem::path CorpusFolder()
{
    const char* given = std::getenv("TRIMVEX_CORPUS");
    return given && *given ? std::filesystem::path(given) : std::filesystem::path(VX_CORPUS_DIR);
}

// The generated files, each with the outcome it must have: what MuPDF can
// rebuild opens with a warning, what it cannot is refused; a stream's
// wrong length is damage inside the content, carried over as it is.
TEST(PdfDamaged, EveryGeneratedFileOpensAndSavesOrIsRefused)
{
    const std::map<std::string, Outcome> expected = {
        {"bad-startxref.pdf", Repaired},
        {"bad-xref.pdf", Repaired},
        {"empty.pdf", Refused},
        {"missing-object.pdf", Opened},
        {"not-a-pdf.pdf", Refused},
        {"page-tree-loop.pdf", Refused},
        {"page-tree-self.pdf", Refused},
        {"truncated.pdf", Repaired},
        {"truncated-early.pdf", Refused},
        {"wrong-count.pdf", Refused},
        {"wrong-length.pdf", CarriedOver},
    };
    const std::vector<std::string> files = PdfFilesIn(Sample("damaged"));
    ASSERT_EQ(files.size(), expected.size()) << Sample("damaged");
    for (const Result& r : TryEvery(files)) {
        const auto want = expected.find(r.file);
        ASSERT_NE(want, expected.end()) << r.file;
        EXPECT_EQ(r.status, int(want->second))
            << r.file << ": "
            << (r.status >= 0 && r.status < int(kOutcomes) ? kLabels[r.status] : "")
            << ", expected " << kLabels[want->second] << ": " << r.note;
    }
}

TEST(PdfCorpus, EveryFileOpensAndSavesOrIsRefused)
{
    const std::filesystem::path corpus = CorpusFolder() / "qpdf";
    std::error_code ec;
    if (!std::filesystem::is_directory(corpus, ec))
        GTEST_SKIP() << "the external corpus of real PDF files is not here: " << corpus.string()
                     << "; put it in TRIMVEX_CORPUS=DIR (DIR/qpdf/*.pdf) or in the folder "
                        "shared/corpus beside the source tree (see the README)";
    const std::vector<std::string> files = PdfFilesIn(corpus);
    ASSERT_GT(files.size(), 300u) << corpus;
    int counts[kOutcomes] = {};
    for (const Result& r : TryEvery(files))
        if (r.status >= 0 && r.status < int(kOutcomes))
            ++counts[r.status];
    std::cout << "[ corpus ] " << files.size() << " files: " << counts[Opened] << " open, "
              << counts[Repaired] << " open with a warning, " << counts[Refused] << " refused, "
              << counts[SaveRefused] << " refuse to save, " << counts[CheckFailed]
              << " fail qpdf --check after saving, " << counts[CarriedOver]
              << " keep damage qpdf also finds in the input\n";
}

}  // namespace
