// The command line as a user meets it: which mode runs, what it prints, and the
// exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/platform_text.h"
#include "support/run_checker.h"
#include "support/scratch_folder.h"

namespace vud {
namespace {

using testing::runChecker;
using testing::ScratchFolder;
using testing::withPlatformLineEnds;

constexpr char kEmptyFolderReport[] =
    "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n"
    "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
    "41 Applications NOT FOUND\n";

constexpr char kListingFirstLine[] =
    "Vudmark for FrameWorks Plus version:  FWP 3.1.x.x or FWP 3.2.x.x\n";

struct ArgumentCase {
    const char* what;
    std::vector<std::string> arguments;
    enum { Verification, Listing, Nothing } mode;
};

TEST(CommandLine, FirstArgumentChoosesTheMode) {
    ScratchFolder folder;
    const ArgumentCase cases[] = {
        {"no argument", {}, ArgumentCase::Verification},
        {"question mark", {"?"}, ArgumentCase::Listing},
        {"two question marks", {"??"}, ArgumentCase::Listing},
        {"question mark and letters", {"?abc"}, ArgumentCase::Listing},
        {"question mark and more arguments", {"?", "foo", "-x"}, ArgumentCase::Listing},
        {"slash question mark", {"/?"}, ArgumentCase::Nothing},
        {"hyphen question mark", {"-?"}, ArgumentCase::Nothing},
        {"empty argument", {""}, ArgumentCase::Nothing},
        {"a word", {"foo"}, ArgumentCase::Nothing},
        {"a word before a question mark", {"foo", "?"}, ArgumentCase::Nothing},
    };
    const std::string listing = runChecker({"?"}).out;
    ASSERT_EQ(0, listing.rfind(withPlatformLineEnds(kListingFirstLine), 0));
    for (const ArgumentCase& c : cases) {
        SCOPED_TRACE(c.what);
        const auto result = runChecker(c.arguments);
        EXPECT_EQ(0, result.status);
        EXPECT_EQ("", result.err);
        switch (c.mode) {
            case ArgumentCase::Verification:
                EXPECT_EQ(withPlatformLineEnds(kEmptyFolderReport), result.out);
                break;
            case ArgumentCase::Listing: EXPECT_EQ(listing, result.out); break;
            case ArgumentCase::Nothing: EXPECT_EQ("", result.out); break;
        }
    }
}

#ifndef _WIN32
TEST(CommandLine, FailedWriteIsReportedWithStatus1) {
    ScratchFolder folder;
    for (const char* argument : {"", "?"}) {
        SCOPED_TRACE(argument);
        const std::vector<std::string> arguments =
            *argument ? std::vector<std::string>{argument} : std::vector<std::string>{};
        const auto result = runChecker(arguments, 30, "/dev/full");
        EXPECT_EQ(1, result.status);
        EXPECT_EQ("vudcheck: write error: No space left on device\n", result.err);
    }
}
#endif

}  // namespace
}  // namespace vud
