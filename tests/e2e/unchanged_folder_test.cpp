// The checker is run inside a user's installation: it must leave every name, byte and
// modification time there as it found them, and create nothing, not even for the
// application files it looks for and does not find.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>

#include "support/platform_text.h"
#include "support/run_checker.h"
#include "support/scratch_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace vud {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
using testing::runChecker;
using testing::ScratchFolder;
using testing::withPlatformLineEnds;
using testing::writeApplication;
using testing::writeFile;

// Windows' C runtime sets the time of files only: there a folder keeps the time it was
// made, which a change of its entries during the run would still move on.
#ifdef _WIN32
constexpr bool kFolderTimesCanBeSet = false;
#else
constexpr bool kFolderTimesCanBeSet = true;
#endif

std::string describe(fs::file_type type) {
    switch (type) {
        case fs::file_type::regular: return "file";
        case fs::file_type::directory: return "folder";
        case fs::file_type::symlink: return "link";
        case fs::file_type::fifo: return "fifo";
        default: return "other";
    }
}

// Every entry under `root`, the root itself included: kind, modification time and,
// for a file, its size and a digest of its bytes; for a link, its target.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> entries;
    auto record = [&](const fs::path& path) {
        const fs::file_type type = fs::symlink_status(path).type();
        std::string state = describe(type);
        if (type == fs::file_type::symlink) {
            state += " to " + fs::read_symlink(path).string();
        } else {
            state += " modified " + std::to_string(fs::last_write_time(path).time_since_epoch().count());
        }
        if (type == fs::file_type::regular) {
            std::ifstream in(path, std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            state += " size " + std::to_string(bytes.size()) + " digest " + std::to_string(std::hash<std::string>{}(bytes));
        }
        entries[fs::relative(path, root).generic_string()] = state;
    };
    record(root);
    for (const auto& entry : fs::recursive_directory_iterator(root)) record(entry.path());
    return entries;
}

TEST(UnchangedFolder, AVerificationRunLeavesTheFolderAsItWas) {
    ScratchFolder folder;
    writeApplication("vud_mcp.ma", 59553, "ver 8.1.3\0"s);   // correct FWP 8.0 build
    writeApplication("vud_bsg.ma", 2000, "no tag here"s);    // found, but no tag
    fs::create_directory("vud_cbp.ma");                      // a folder: not found
    writeFile("vud_cbp.ma/readme.txt", "ver 8.1.3\0"s);
    writeApplication("vud_abl.ma", 500, "ver 8.1.0\0"s);     // an older release of F.1.1
    writeFile("notes.txt", "installed 2013-03-15\r\n");
#ifndef _WIN32
    ASSERT_EQ(0, ::mkfifo("vud_stl.ma", 0644));
    fs::create_symlink("vud_gone.ma", "vud_hr.ma");
#endif

    // Times far in the past: a file rewritten, even with the same bytes, or a folder
    // whose entries changed, would show the time of the run instead.
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 10);
    for (const auto& entry : fs::recursive_directory_iterator(folder.path()))
        if (!entry.is_symlink() && (kFolderTimesCanBeSet || !entry.is_directory()))
            fs::last_write_time(entry.path(), longAgo);
    if (kFolderTimesCanBeSet) fs::last_write_time(folder.path(), longAgo);

    const auto before = snapshot(folder.path());
    const auto result = runChecker({}, 10);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(0, result.status);
    constexpr char kReport[] =
        "Application: vud_mcp.ma\tVersion: ver 8.1.3  Size: 59553\n"
        "   STATUS: Application Valid for: FWP 8.0.x.x\n"
        "    vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\n"
        "\n"
        "Application: vud_abl.ma\tVersion: ver 8.1.0  Size: 500\n"
        "   STATUS: Application Valid for: FWP 8.0.x.x\n"
        "    vud_abl.ma is Older ver ver 8.1.0 - WRONG VERSION  - Release is F.1.1\n"
        "\n"
        "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n"
        "Outdated Applications Found: \t1\n"
        "1 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
        "38 Applications NOT FOUND\n";
    EXPECT_EQ(withPlatformLineEnds(kReport), result.out);
    EXPECT_EQ(before, snapshot(folder.path()));
}

}  // namespace
}  // namespace vud
