// Installations no build process makes: whatever sits under an application's name,
// the real executable finishes quickly, prints a report of printable text and counts
// the application as not found when it is not a regular file.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/expected_summary.h"
#ifndef _WIN32
#include "support/lying_mount.h"
#endif
#include "support/platform_text.h"
#include "support/run_checker.h"
#include "support/scratch_folder.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace vud {
namespace {

using namespace std::string_literals;
using testing::kSummaryTitle;
using testing::runChecker;
using testing::ScratchFolder;
using testing::withPlatformLineEnds;
using testing::writeApplication;

// A run that blocks on a FIFO or reads a device without end is killed after this long
// and fails as timed out, instead of stalling CI.
constexpr int kHangSeconds = 10;

void expectReport(const std::string& expected, int timeoutSeconds) {
    const auto result = runChecker({}, timeoutSeconds);
    EXPECT_FALSE(result.timedOut) << "the run did not end within " << timeoutSeconds << " s";
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("", result.err);
    EXPECT_EQ(withPlatformLineEnds(expected), result.out);
}

// vud_bsg.ma (position 1, release F.0.6) is a correct FWP 8.0 build of 128492 bytes;
// whatever sits at vud_mcp.ma (position 0) is no application file.
constexpr char kOnlyTheSecondApplication[] =
    "Application: vud_bsg.ma\tVersion: ver 8.0.6  Size: 128492\n"
    "   STATUS: Application Valid for: FWP 8.0.x.x\n"
    "    vud_bsg.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
    "\n"
    "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n"
    "1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
    "40 Applications NOT FOUND\n";

struct NotAFile {
    const char* what;
    std::function<void(const std::string& name)> make;
};

#ifndef _WIN32
void makeLink(const std::string& target, const std::string& name) {
    std::filesystem::create_symlink(target, name);
}

void makeSocket(const std::string& name) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    name.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(0, ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address));
    ::close(fd);  // the socket file stays behind, with nobody listening
}
#endif

TEST(HostileInstallation, ANameThatIsNoRegularFileCountsAsNotFound) {
    const NotAFile cases[] = {
        {"a folder holding a tagged file",
         [](const std::string& name) {
             std::filesystem::create_directory(name);
             writeApplication(name + "/" + name, 59553, "ver 8.1.3\0"s);
         }},
#ifndef _WIN32
        {"a FIFO nobody writes to", [](const std::string& name) { ASSERT_EQ(0, ::mkfifo(name.c_str(), 0644)); }},
        {"a socket", makeSocket},
        {"a dangling symbolic link", [](const std::string& name) { makeLink("vud_gone.ma", name); }},
        {"a symbolic link to itself", [](const std::string& name) { makeLink(name, name); }},
        {"a loop of two symbolic links",
         [](const std::string& name) {
             makeLink("vud_loop.ma", name);
             makeLink(name, "vud_loop.ma");
         }},
        {"a symbolic link to a folder",
         [](const std::string& name) {
             std::filesystem::create_directory("real_folder");
             makeLink("real_folder", name);
         }},
        {"a symbolic link to /dev/zero", [](const std::string& name) { makeLink("/dev/zero", name); }},
        {"a symbolic link to /dev/urandom", [](const std::string& name) { makeLink("/dev/urandom", name); }},
        {"a symbolic link to /dev/null", [](const std::string& name) { makeLink("/dev/null", name); }},
#endif
    };
    for (const NotAFile& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        c.make("vud_mcp.ma");
        writeApplication("vud_bsg.ma", 128492, "ver 8.0.6\0"s);
        expectReport(kOnlyTheSecondApplication, kHangSeconds);
    }
}

#ifndef _WIN32
TEST(HostileInstallation, ASymbolicLinkToARegularFileIsFollowed) {
    ScratchFolder folder;
    std::filesystem::create_directory("store");
    writeApplication("store/build.bin", 128492, "ver 8.0.6\0"s);
    std::filesystem::create_symlink("store/build.bin", "vud_bsg.ma");
    expectReport(kOnlyTheSecondApplication, kHangSeconds);
}
#endif

// A file of `size` bytes, all NUL but for `tag` at `offset`; the file system keeps
// the rest as holes, so a 10 GB file costs no disk space.
void writeSparseApplication(const std::string& name, std::int64_t size, const std::string& tag,
                            std::int64_t offset) {
    {
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        out.seekp(offset);
        out.write(tag.data(), static_cast<std::streamsize>(tag.size()));
        ASSERT_TRUE(out.good()) << "cannot write " << name;
    }
    std::filesystem::resize_file(name, static_cast<std::uintmax_t>(size));
}

struct LargeFileCase {
    const char* what;
    std::int64_t tagOffset;
    std::string expected;
};

#ifndef _WIN32
// The bytes that the reads of a strace log returned: each read, pread and vectored
// read line ends in ") = " and the count.
std::int64_t bytesRead(const std::string& trace) {
    std::int64_t total = 0;
    std::size_t begin = 0;
    while (begin < trace.size()) {
        std::size_t end = trace.find('\n', begin);
        if (end == std::string::npos) end = trace.size();
        const std::string line = trace.substr(begin, end - begin);
        const std::size_t result = line.rfind(") = ");
        if (result != std::string::npos) total += std::stoll(line.substr(result + 4));
        begin = end + 1;
    }
    return total;
}
#endif

TEST(HostileInstallation, A10GigabyteFileIsCheckedByItsFirst400000Bytes) {
    // vud_mcp.ma (release F.1.3) expects 59553 bytes for FWP 8.0; this one has
    // 10,000,000,000, and the report quotes that true size.
    const std::string mismatch =
        "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 10000000000\n"
        "   STATUS: Application Valid for: FWP 8.0.x.x\n"
        "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (10000000000 vs 59553 correct)\n"
        "\n"s +
        kSummaryTitle +
        "Mismatched File Sizes Found:    \t1\n"
        "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
        "40 Applications NOT FOUND\n";
    const std::string noBlock = kSummaryTitle +
                                "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                                "40 Applications NOT FOUND\n"s;
    const LargeFileCase cases[] = {
        {"tag near the start", 64, mismatch},
        {"tag whose NUL is the last byte held", 400000 - 10, mismatch},
        // Only the marker lies inside the bytes held; what follows reads as NUL, so the
        // tag names no host generation and its release is below every digit.
        {"only the marker inside the bytes held", 400000 - 4, "Application: vud_mcp.ma\tVersion: ver   Size: 10000000000\n"
                                                              "   STATUS: Application Valid for: NA\n"
                                                              "    vud_mcp.ma is Older ver ver  - WRONG VERSION  - Release is F.1.3\n"
                                                              "\n"s +
                                                                  kSummaryTitle +
                                                                  "Outdated Applications Found: \t1\n"
                                                                  "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                                                                  "40 Applications NOT FOUND\n"},
        {"marker across the end of the bytes held", 400000 - 3, noBlock},
        {"tag beyond the bytes held", 5'000'000'000, noBlock},
    };
    for (const LargeFileCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        writeSparseApplication("vud_mcp.ma", 10'000'000'000, "ver 8.1.3\0"s, c.tagOffset);
#ifndef _WIN32
        if (!testing::whyStraceCannotTrace()) {
            // What the checker read of the file, counted by strace: the image's 400,000
            // bytes at most, and at most one block of 64 KiB besides to make sure of
            // the size. Never the file to its end. The log lies beside the application
            // files, which the checker alone opens by name.
            const std::string trace = "strace.log";
            std::vector<std::string> command = testing::checkerUnderStrace(
                {"-P", "vud_mcp.ma", "-e", "trace=read,pread64,readv,preadv,preadv2", "-e", "status=successful"}, {},
                trace);
            const std::string strace = command.front();
            command.erase(command.begin());
            const auto result = testing::runProgram(strace, command, kHangSeconds);
            EXPECT_FALSE(result.timedOut) << "the run did not end within " << kHangSeconds << " s";
            EXPECT_EQ(0, result.status);
            EXPECT_EQ("", result.err);
            EXPECT_EQ(c.expected, result.out);
            const std::int64_t read = bytesRead(testing::readFile(trace));
            EXPECT_GE(400000 + 65536, read);
            EXPECT_LT(0, read) << "strace saw no read of the file";
            continue;
        }
#endif
        expectReport(c.expected, kHangSeconds);
    }
}

#ifndef _WIN32
TEST(HostileInstallation, AFileWhoseContentContradictsItsReportedSizeIsSizedByItsContent) {
    // Sizes of FWP 8.0 builds: vud_mcp.ma 59553, vud_bsg.ma 128492, vud_cbp.ma 106231.
    ScratchFolder folder;
    const testing::LyingMount mount("installation", {
        // Reports 500,000 bytes but ends after 1,001, as a file being replaced may.
        "vud_mcp.ma:500000:1001:64:ver 8.1.3",
        // Reports 100 bytes but delivers 500,000.
        "vud_bsg.ma:100:500000:64:ver 8.0.6",
        // Reports no size at all, as /proc files do, and delivers the build's size.
        "vud_cbp.ma:0:106231:64:ver 8.1.3",
    });
    if (!mount.unavailable().empty()) GTEST_SKIP() << mount.unavailable();
    std::filesystem::current_path("installation");
    expectReport("Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 1001\n"
                 "   STATUS: Application Valid for: FWP 8.0.x.x\n"
                 "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (1001 vs 59553 correct)\n"
                 "\n"
                 "Application: vud_bsg.ma\tVersion: ver 8.0.6  Size: 500000\n"
                 "   STATUS: Application Valid for: FWP 8.0.x.x\n"
                 "    vud_bsg.ma is  CORRECT PRODUCTION VERSION w/ InCorrect Size Match (500000 vs 128492 correct)\n"
                 "\n"
                 "Application: vud_cbp.ma\tVersion: ver 8.1.3  Size: 106231\n"
                 "   STATUS: Application Valid for: FWP 8.0.x.x\n"
                 "    vud_cbp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
                 "\n"s +
                     kSummaryTitle +
                     "Mismatched File Sizes Found:    \t2\n"
                     "1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                     "38 Applications NOT FOUND\n",
                 kHangSeconds);
    std::filesystem::current_path(folder.path());  // out of the mount before it goes
}
#endif

// The loader reads up to the file's end here, and keeps one image for every file: a
// file without a whole marker after one with a tag gets no block.
TEST(HostileInstallation, MarkerInTheLastBytesOfAFile) {
    ScratchFolder folder;
    // A whole tag as the last 9 bytes, with no NUL behind it: a correct build.
    writeApplication("vud_mcp.ma", 59553, "ver 8.1.3", 59553 - 9);
    // A marker cut off by the end is no marker: no block, but the file was found.
    writeApplication("vud_bsg.ma", 1000, "ver", 1000 - 3);
    // The marker alone: generation and release read as NUL.
    writeApplication("vud_cbp.ma", 1000, "ver ", 1000 - 4);
    // Release cut after its major digit (vud_abl.ma is release F.1.1).
    writeApplication("vud_abl.ma", 1000, "ver 8.1", 1000 - 7);
    expectReport("Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 59553\n"
                 "   STATUS: Application Valid for: FWP 8.0.x.x\n"
                 "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
                 "\n"
                 "Application: vud_cbp.ma\tVersion: ver   Size: 1000\n"
                 "   STATUS: Application Valid for: NA\n"
                 "    vud_cbp.ma is Older ver ver  - WRONG VERSION  - Release is F.1.3\n"
                 "\n"
                 "Application: vud_abl.ma\tVersion: ver 8.1  Size: 1000\n"
                 "   STATUS: Application Valid for: FWP 8.0.x.x\n"
                 "    vud_abl.ma is Older ver ver 8.1 - WRONG VERSION  - Release is F.1.1\n"
                 "\n"s +
                     kSummaryTitle +
                     "Outdated Applications Found: \t2\n"
                     "1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                     "37 Applications NOT FOUND\n",
                 kHangSeconds);
}

}  // namespace
}  // namespace vud
