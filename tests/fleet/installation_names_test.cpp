// Which machine an installation is on, as a list line or a share's path names it, on
// Linux and on Windows, where either slash separates folders.
#include "fleet/input/installation_names.h"

#include <gtest/gtest.h>

namespace vud::fleet {
namespace {

TEST(MachineName, AShareNamesItsMachineAndNoOtherPathDoes) {
    const struct {
        const char* path;
        const char* machine;
    } cases[] = {
        {"\\\\ws042\\c$\\Vudmark", "ws042"},
        {"\\\\WS042.corp.example\\c$", "WS042.corp.example"},
        {"\\\\ws042", "ws042"},
        {"//ws042/c$/Vudmark", "ws042"},
        {"\\\\?\\UNC\\ws042\\c$\\Vudmark", "ws042"},
        {"\\\\?\\unc\\ws042\\c$", "ws042"},
        {"\\\\?\\C:\\Vudmark", ""},
        {"\\\\.\\C:\\Vudmark", ""},
        {"C:\\Vudmark", ""},
        {"/srv/fleet/ws042", ""},
        {"ws042/Vudmark", ""},
        {"reports\\ws042.txt", ""},
        {"\\\\", ""},
        {"///ws042/c$", ""},  // three slashes: the root, not a share
        {"-", ""},
        {"", ""},
#ifdef _WIN32
        {"\\/ws042\\c$", "ws042"},  // either slash, in any mix
        {"//ws042\\c$", "ws042"},
#else
        {"/\\ws042/c$", ""},  // a folder named "\ws042" under the root
#endif
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.path);
        EXPECT_EQ(example.machine, machineOfPath(example.path));
    }
}

TEST(MachineName, AListLineNamesItsMachineBeforeATab) {
    const struct {
        const char* line;
        const char* path;
        const char* machine;
    } cases[] = {
        {"ws042\t\\\\ws042\\c$\\Vudmark", "\\\\ws042\\c$\\Vudmark", "ws042"},
        {"ws042\t/mnt/fleet/042\r", "/mnt/fleet/042", "ws042"},
        {" ws042 \t\t /mnt/fleet/042 \t", "/mnt/fleet/042", "ws042"},  // blanks around either
        {"\t/mnt/fleet/042", "/mnt/fleet/042", ""},
        {"/mnt/fleet/042\t", "/mnt/fleet/042", ""},  // a trailing tab is trimmed
        {"/mnt/fleet/my folder  ", "/mnt/fleet/my folder", ""},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.line);
        const std::optional<ListedInstallation> listed = listedInstallation(example.line);
        ASSERT_TRUE(listed.has_value());
        EXPECT_EQ(example.path, listed->path);
        EXPECT_EQ(example.machine, listed->machine);
    }
    for (const char* skipped : {"", "  \t\r", "# ws042\t\\\\ws042\\c$"}) EXPECT_FALSE(listedInstallation(skipped));
}

}  // namespace
}  // namespace vud::fleet
