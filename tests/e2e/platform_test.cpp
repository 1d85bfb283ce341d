// What the checker meets from the operating system, and where Windows differs from
// Linux: arguments that look like wildcards, application bytes that a text-mode read
// would change, files other programs hold open, and the line ends of the report; and
// what Wine adds of its own to the standard error of a Windows test run.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/platform_text.h"
#include "support/run_checker.h"
#include "support/scratch_folder.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace vud {
namespace {

using namespace std::string_literals;
using testing::readFile;
using testing::runChecker;
using testing::ScratchFolder;
using testing::withPlatformLineEnds;
using testing::writeApplication;
using testing::writeFile;

// vud_mcp.ma, release F.1.3, is 59553 bytes in its correct FWP 8.0 build. The bytes
// before its tag hold CR LF pairs, 0x1A and NUL: a read in text mode would stop at
// the 0x1A (no tag, no block) or shrink CR LF to LF (a size mismatch).
void writeCorrectMemberCopyBuild() { writeApplication("vud_mcp.ma", 59553, "ver 8.1.3\0"s, 1000); }

constexpr char kCorrectMemberCopyReport[] =
    "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 59553\n"
    "   STATUS: Application Valid for: FWP 8.0.x.x\n"
    "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
    "\n"
    "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n"
    "1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
    "40 Applications NOT FOUND\n";

TEST(Platform, QuestionMarkReachesTheCheckerBesideOneAndTwoLetterFileNames) {
    // On Windows "?" is a wildcard for one character: a runtime that expanded the
    // command line would hand the checker "a" (or "ab") instead, and it would print
    // nothing.
    const std::string listing = withPlatformLineEnds(readFile(VUD_EXPECTED_LISTING));
    ASSERT_FALSE(listing.empty()) << "cannot read " << VUD_EXPECTED_LISTING;
    ScratchFolder folder;
    for (const char* name : {"a", "b", "ab", "xy"}) writeFile(name, "");
    for (const char* argument : {"?", "??", "?*"}) {
        SCOPED_TRACE(argument);
        const auto result = runChecker({argument});
        EXPECT_EQ(0, result.status);
        EXPECT_EQ(listing, result.out);
    }
}

TEST(Platform, ApplicationBytesAreReadUntranslatedAndTheReportHasTextLineEnds) {
    ScratchFolder folder;
    writeCorrectMemberCopyBuild();
    const auto result = runChecker({});
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("", result.err);
    EXPECT_EQ(withPlatformLineEnds(kCorrectMemberCopyReport), result.out);
}

TEST(Platform, ApplicationThatAnotherProgramHoldsOpenForWritingIsStillChecked) {
    // The host product may have its application files open while the checker runs;
    // an open that denied others write access would fail on Windows.
    ScratchFolder folder;
    writeCorrectMemberCopyBuild();
    std::fstream held("vud_mcp.ma", std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(held.is_open());
    const auto result = runChecker({});
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(withPlatformLineEnds(kCorrectMemberCopyReport), result.out);
}

#ifdef _WIN32
struct HeldOpenCase {
    const char* what;
    DWORD access;  // what the other program opened the file for
    DWORD sharing;  // what it lets others do meanwhile
    std::string report;
};

TEST(Platform, ApplicationHeldOpenByAnotherProgramIsCheckedUnlessItDeniesReading) {
    // This test's handle is, to the checker's process, another program's: an installer
    // that may delete or rename the build, or a program that locks it. The checker
    // must deny nobody anything, and a build it cannot open is not found.
    const std::string bothCorrect =
        "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 59553\n"
        "   STATUS: Application Valid for: FWP 8.0.x.x\n"
        "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
        "\n"
        "Application: vud_bsg.ma\tVersion: ver 8.0.6  Size: 128492\n"
        "   STATUS: Application Valid for: FWP 8.0.x.x\n"
        "    vud_bsg.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
        "\n"
        "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n"
        "2 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
        "39 Applications NOT FOUND\n";
    const HeldOpenCase cases[] = {
        {"open for deleting, all shared", DELETE | GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
         bothCorrect},
        // vud_mcp.ma comes first in the catalogue: the run goes on past it.
        {"open for reading, nothing shared", GENERIC_READ, 0,
         "Application: vud_bsg.ma\tVersion: ver 8.0.6  Size: 128492\n"
         "   STATUS: Application Valid for: FWP 8.0.x.x\n"
         "    vud_bsg.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
         "\n"
         "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n"
         "1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
         "40 Applications NOT FOUND\n"},
    };
    for (const HeldOpenCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        writeCorrectMemberCopyBuild();
        // vud_bsg.ma, release F.0.6, is 128492 bytes in its correct FWP 8.0 build.
        writeApplication("vud_bsg.ma", 128492, "ver 8.0.6\0"s);
        const HANDLE held = CreateFileW(L"vud_mcp.ma", c.access, c.sharing, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        const auto result = runChecker({});
        CloseHandle(held);
        EXPECT_EQ(0, result.status);
        EXPECT_EQ("", result.err);
        EXPECT_EQ(withPlatformLineEnds(c.report), result.out);
    }
}
#endif

TEST(Platform, OnlyTheLinesWineWritesOfItsOwnAreLeftOutOfStandardError) {
    const struct {
        const char* what;
        std::string written;
        std::string kept;
    } cases[] = {
        {"nothing", "", ""},
        {"a Wine line alone",
         "wine: Unhandled page fault on read access to 0000000000000008 at address "
         "00006FFFFFC5F2A1 (thread 0140), starting debugger...\n",
         ""},
        {"the checker's line between Wine's", "wine: a\nvudcheck: write error\nwine: b\n",
         "vudcheck: write error\n"},
        {"a last line without its line end", "vudcheck: x\nwine: y", "vudcheck: x\n"},
        {"Windows line ends", "wine: a\r\nvudcheck: b\r\n", "vudcheck: b\r\n"},
        {"\"wine\" not at the start of its line", " wine: a\nerror in wine: b\n",
         " wine: a\nerror in wine: b\n"},
        {"\"wine\" without colon and space", "wine:a\nwine \nwineserver: c\nwine", "wine:a\nwine \nwineserver: c\nwine"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.kept, testing::withoutWineLines(c.written));
    }
}

}  // namespace
}  // namespace vud
