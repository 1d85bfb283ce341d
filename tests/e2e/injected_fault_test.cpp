// Faults of the system itself, met by the real executable: a read that fails inside
// an application file, an open refused, a write of the report that fails. strace
// injects each fault into exactly one kind of call on exactly one path (-P), so the
// outcome does not depend on calls the runtime happens to make. Every outcome is a
// report that is right for what could be read, or one plain line on standard error
// and status 1; never a signal, never a run that does not end. The same tracing shows
// the writes in which a report reaches standard output, as a user sees it arrive.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/expected_summary.h"
#include "support/run_checker.h"
#include "support/scratch_folder.h"

namespace vud {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
using testing::ChildEnd;
using testing::checkerPath;
using testing::checkerUnderStrace;
using testing::whyStraceCannotTrace;
using testing::runChild;
using testing::kSummaryTitle;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeApplication;

// Even under strace a run takes well under a second; one that has not ended by then
// is stuck, and is killed.
constexpr int kRunSeconds = 20;

enum class StandardOutput { File, Closed };

struct Outcome {
    ChildEnd end;
    std::string out;
    std::string err;
};

// Where a run's standard output and error go: files beside the installation's
// folder, so the folder holds only application files.
class Capture {
public:
    Capture() {
        std::random_device entropy;
        const fs::path base = fs::temp_directory_path() / ("vudcheck-fault-" + std::to_string(entropy()));
        out_ = base.string() + ".out";
        err_ = base.string() + ".err";
    }
    ~Capture() {
        std::error_code ignored;
        fs::remove(out_, ignored);
        fs::remove(err_, ignored);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    const fs::path& out() const { return out_; }
    const fs::path& err() const { return err_; }

private:
    fs::path out_;
    fs::path err_;
};

// Runs `command` in the working folder; a run that is stuck is ended, with its tracee.
Outcome run(const std::vector<std::string>& command, const Capture& capture,
            StandardOutput output = StandardOutput::File) {
    // Made afresh before the run starts, so that strace's -P can name it, and so that a
    // run without standard output finds it empty.
    std::ofstream(capture.out(), std::ios::binary | std::ios::trunc).close();
    Outcome outcome;
    outcome.end = runChild(command,
                           {capture.out().string(), capture.err().string(), output == StandardOutput::Closed},
                           std::chrono::seconds(kRunSeconds));
    outcome.out = readFile(capture.out());
    outcome.err = readFile(capture.err());
    return outcome;
}

#define SKIP_WITHOUT_STRACE()                                                    \
    do {                                                                         \
        if (const auto reason = whyStraceCannotTrace()) GTEST_SKIP() << *reason; \
    } while (false)

// The run ended on its own with `status`: no signal, no time limit.
void expectExited(int status, const Outcome& outcome) {
    const ChildEnd& end = outcome.end;
    ASSERT_EQ(0, end.spawnError) << std::strerror(end.spawnError);
    ASSERT_FALSE(end.timedOut) << "the run did not end within " << kRunSeconds << " s";
    ASSERT_EQ(0, end.signal()) << "the run was ended by signal " << end.signal() << " (" << strsignal(end.signal())
                               << ")";
    ASSERT_TRUE(end.exited());
    EXPECT_EQ(status, end.exitStatus());
}

// Five FWP 8.0 builds, each showing a different finding, so that losing one of them
// changes the summary in a way of its own. vud_fgm.ma has its tag 250,000 bytes in:
// a loader reads a good part of the file before it holds the tag, whichever way it
// cuts the file into reads.
struct InstalledApplication {
    const char* fileName;
    std::size_t size;
    std::string tag;
    std::size_t tagOffset;
    const char* block;
};

const InstalledApplication kInstallation[] = {
    // Position 0, release F.1.3, 59553 bytes for FWP 8.0: correct.
    {"vud_mcp.ma", 59553, "ver 8.1.3\0"s, 64,
     "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 59553\n"
     "   STATUS: Application Valid for: FWP 8.0.x.x\n"
     "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
     "\n"},
    // Position 1, release F.0.6, 128492 bytes: correct.
    {"vud_bsg.ma", 128492, "ver 8.0.6\0"s, 64,
     "Application: vud_bsg.ma\tVersion: ver 8.0.6  Size: 128492\n"
     "   STATUS: Application Valid for: FWP 8.0.x.x\n"
     "    vud_bsg.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
     "\n"},
    // Position 2, release F.1.3, expects 106231 bytes: one byte too long.
    {"vud_cbp.ma", 106232, "ver 8.1.3\0"s, 64,
     "Application: vud_cbp.ma\tVersion: ver 8.1.3  Size: 106232\n"
     "   STATUS: Application Valid for: FWP 8.0.x.x\n"
     "    vud_cbp.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (106232 vs 106231 correct)\n"
     "\n"},
    // Position 9, release F.1.0: a beta. A one-digit tag's beta verdict puts "ver "
    // before the whole tag, which begins with "ver " itself.
    {"vud_spb.ma", 180227, "ver 8.b.0\0"s, 64,
     "Application: vud_spb.ma\tVersion: ver 8.b.0  Size: 180227\n"
     "   STATUS: Application Valid for: FWP 8.0.x.x\n"
     "    vud_spb.ma is Beta ver ver 8.b.0 - NOT FOR PRODUCTION  - Release is F.1.0\n"
     "\n"},
    // Position 19, release F.1.1, 267326 bytes: correct, its tag deep in the file.
    {"vud_fgm.ma", 267326, "ver 8.1.1\0"s, 250000,
     "Application: vud_fgm.ma\tVersion: ver 8.1.1  Size: 267326\n"
     "   STATUS: Application Valid for: FWP 8.0.x.x\n"
     "    vud_fgm.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
     "\n"},
};

// The report of the installation with only the applications named in `present`.
std::string reportOf(const std::vector<std::string>& present, const std::string& summaryCounts) {
    std::string report;
    for (const InstalledApplication& application : kInstallation)
        for (const std::string& name : present)
            if (name == application.fileName) report += application.block;
    return report + kSummaryTitle + summaryCounts;
}

const std::vector<std::string> kAllFive = {"vud_mcp.ma", "vud_bsg.ma", "vud_cbp.ma", "vud_spb.ma", "vud_fgm.ma"};

const std::string kWholeReport = reportOf(kAllFive,
                                          "Beta Applications Found:     \t1\n"
                                          "Mismatched File Sizes Found:    \t1\n"
                                          "3 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                                          "36 Applications NOT FOUND\n");

// A scratch folder holding the installation, checked once without any fault, so that
// what a faulted run changes comes from the fault alone.
class InjectedFault : public ::testing::Test {
protected:
    void SetUp() override {
        for (const InstalledApplication& application : kInstallation)
            writeApplication(application.fileName, application.size, application.tag, application.tagOffset);
        const Outcome plain = run({checkerPath()}, capture_);
        ASSERT_NO_FATAL_FAILURE(expectExited(0, plain));
        ASSERT_EQ(kWholeReport, plain.out);
        ASSERT_EQ("", plain.err);
    }

    // -P for each name: strace then matches both the name as the checker opens it and,
    // for reads, the file its descriptor refers to.
    static std::vector<std::string> onPaths(const std::vector<std::string>& names, const std::string& fault) {
        std::vector<std::string> options;
        for (const std::string& name : names) options.insert(options.end(), {"-P", name});
        options.insert(options.end(), {"-e", fault});
        return options;
    }

    // The checker under strace, with `faults` naming what to inject where.
    Outcome runWithFaults(const std::vector<std::string>& faults, const std::vector<std::string>& arguments = {}) {
        return run(checkerUnderStrace(faults, arguments), capture_);
    }

    ScratchFolder folder_;
    Capture capture_;
};

// The run goes on, and the report is the right one for the files that could be read.
void expectReport(const std::string& expected, const Outcome& outcome) {
    ASSERT_NO_FATAL_FAILURE(expectExited(0, outcome));
    EXPECT_EQ(expected, outcome.out);
    EXPECT_EQ("", outcome.err);
}

TEST_F(InjectedFault, AReadErrorInsideAnApplicationFileCountsItAsNotFound) {
    SKIP_WITHOUT_STRACE();
    // vud_fgm.ma gets no block; the beta and the size mismatch are still counted.
    const std::string withoutFgm = reportOf({"vud_mcp.ma", "vud_bsg.ma", "vud_cbp.ma", "vud_spb.ma"},
                                            "Beta Applications Found:     \t1\n"
                                            "Mismatched File Sizes Found:    \t1\n"
                                            "2 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                                            "37 Applications NOT FOUND\n");
    struct Case {
        const char* what;
        const char* when;
    };
    // Every one of these reads comes before the tag 250,000 bytes in is held.
    const Case cases[] = {
        {"the first read", "1"},
        {"the second read, in the middle of the file", "2"},
        {"every read from the second on", "2+"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        expectReport(withoutFgm,
                     runWithFaults(onPaths({"vud_fgm.ma"}, "inject=read:error=EIO:when="s + c.when)));
    }
}

TEST_F(InjectedFault, AnOpenRefusedCountsAsNotFoundAndTheRunGoesOn) {
    SKIP_WITHOUT_STRACE();
    // Only the beta refused: its block and its count go, nothing else changes.
    const std::string withoutBeta = reportOf({"vud_mcp.ma", "vud_bsg.ma", "vud_cbp.ma", "vud_fgm.ma"},
                                             "Mismatched File Sizes Found:    \t1\n"
                                             "3 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                                             "37 Applications NOT FOUND\n");
    // Every open refused from the third application file on, as when descriptors run
    // out and stay out: the two opened before it are all that is reported.
    const std::string firstTwoOnly = reportOf({"vud_mcp.ma", "vud_bsg.ma"},
                                              "2 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                                              "39 Applications NOT FOUND\n");
    for (const char* error : {"EACCES", "EMFILE", "ENFILE"}) {
        SCOPED_TRACE(error);
        // Files are opened through openat, or open where the system still has it.
        const std::string fault = "inject=?open,openat:error="s + error;
        {
            SCOPED_TRACE("the beta's file only");
            expectReport(withoutBeta, runWithFaults(onPaths({"vud_spb.ma"}, fault)));
        }
        {
            SCOPED_TRACE("every application file from the third on");
            expectReport(firstTwoOnly, runWithFaults(onPaths(kAllFive, fault + ":when=3+")));
        }
    }
}

// A run whose report could not be written: status 1, the one line on standard error
// and nothing else there. What did reach standard output is the report's beginning,
// whole lines of it and nothing after the failed write.
void expectWriteError(const std::string& reason, const std::string& report, const Outcome& outcome,
                      bool somethingWritten) {
    ASSERT_NO_FATAL_FAILURE(expectExited(1, outcome));
    EXPECT_EQ("vudcheck: write error: " + reason + "\n", outcome.err);
    EXPECT_EQ(0u, report.rfind(outcome.out, 0)) << "not the report's beginning:\n" << outcome.out;
    EXPECT_LT(outcome.out.size(), report.size());
    if (somethingWritten) {
        ASSERT_FALSE(outcome.out.empty());
        EXPECT_EQ('\n', outcome.out.back());
    } else {
        EXPECT_EQ("", outcome.out);
    }
}

struct ModeCase {
    const char* what;
    std::vector<std::string> arguments;
    std::string report;
    // A write inside the report: a verification sends each block in a write of its
    // own, then the summary; the listing leaves in one write, which has no middle.
    const char* middleWrite;
};

std::vector<ModeCase> bothModes() {
    return {
        {"verification", {}, kWholeReport, "3"},
        {"listing", {"?"}, readFile(VUD_EXPECTED_LISTING), nullptr},
    };
}

// A full disk, a failing device, a reader gone from a pipe that SIGPIPE is ignored
// for; the reason is the system's own text for the error.
struct WriteFault {
    const char* error;
    const char* reason;
};

constexpr WriteFault kWriteFaults[] = {
    {"ENOSPC", "No space left on device"},
    {"EIO", "Input/output error"},
    {"EPIPE", "Broken pipe"},
};

TEST_F(InjectedFault, AFailedWriteOfTheReportIsSaidOnceWithStatus1) {
    SKIP_WITHOUT_STRACE();
    for (const ModeCase& mode : bothModes()) {
        SCOPED_TRACE(mode.what);
        for (const WriteFault& fault : kWriteFaults) {
            SCOPED_TRACE(fault.error);
            for (const char* when : {"1", mode.middleWrite}) {
                if (when == nullptr) continue;
                SCOPED_TRACE("write "s + when);
                // -P names the file standard output is redirected to.
                const Outcome outcome = runWithFaults(
                    {"-P", capture_.out().string(), "-e", "inject=write:error="s + fault.error + ":when=" + when},
                    mode.arguments);
                expectWriteError(fault.reason, mode.report, outcome, std::strcmp(when, "1") != 0);
            }
        }
    }
}

// What a user sees arrive. A verification on a slow share shows each block as soon as
// its application is judged: one write a block, then one for the summary. The listing
// has nothing slow to wait for: it leaves in one write at the end.
TEST_F(InjectedFault, TheReportLeavesInOneWriteABlockAndTheListingInOne) {
    SKIP_WITHOUT_STRACE();
    const struct {
        const char* what;
        std::vector<std::string> arguments;
        std::vector<std::string> written;  // each write, whole
    } cases[] = {
        {"verification",
         {},
         {kInstallation[0].block, kInstallation[1].block, kInstallation[2].block, kInstallation[3].block,
          kInstallation[4].block, kWholeReport.substr(kWholeReport.find(kSummaryTitle))}},
        {"listing", {"?"}, {readFile(VUD_EXPECTED_LISTING)}},
    };
    const fs::path trace = capture_.out().string() + ".trace";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // -P names the file standard output is redirected to; each write's length is
        // the number after its " = ".
        const Outcome outcome = run(checkerUnderStrace({"-P", capture_.out().string(), "-e", "trace=write"},
                                                       c.arguments, trace.string()),
                                    capture_);
        ASSERT_NO_FATAL_FAILURE(expectExited(0, outcome));
        std::vector<std::size_t> expected;
        std::string whole;
        for (const std::string& piece : c.written) {
            expected.push_back(piece.size());
            whole += piece;
        }
        EXPECT_EQ(whole, outcome.out);
        std::vector<std::size_t> written;
        std::istringstream lines(readFile(trace));
        for (std::string line; std::getline(lines, line);) {
            const std::size_t result = line.rfind(" = ");
            if (line.rfind("write(", 0) == 0 && result != std::string::npos)
                written.push_back(std::stoul(line.substr(result + 3)));
        }
        EXPECT_EQ(expected, written);
    }
    fs::remove(trace);
}

TEST_F(InjectedFault, ClosedStandardOutputIsAWriteError) {
    // No tracer needed: started as the shell's ">&-" starts it, without descriptor 1.
    // Application files opened meanwhile may take that number; they are opened for
    // reading only, so the report can never land in one of them.
    for (const ModeCase& mode : bothModes()) {
        SCOPED_TRACE(mode.what);
        std::vector<std::string> command = {checkerPath()};
        command.insert(command.end(), mode.arguments.begin(), mode.arguments.end());
        const Outcome outcome = run(command, capture_, StandardOutput::Closed);
        expectWriteError("Bad file descriptor", mode.report, outcome, false);
    }
    for (const InstalledApplication& application : kInstallation)
        EXPECT_EQ(application.size, fs::file_size(application.fileName)) << application.fileName;
}

}  // namespace
}  // namespace vud
