// An installation on disk, opened as a folder and a name: the folder comes as UTF-8 text
// (as the fleet checker gets it) and may lie deeper than the old limit of 260 characters
// a Windows path once had.
#include "probe/installed_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "probe/version_tag.h"
#include "support/scratch_folder.h"

namespace vud {
namespace {

using namespace std::string_literals;
using testing::ScratchFolder;
using testing::writeApplication;

std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

// The form of a full path that the test's own file functions take however long it is:
// on Windows, behind "\\?\".
std::filesystem::path anyLength(const std::filesystem::path& full) {
#ifdef _WIN32
    return std::filesystem::path(L"\\\\?\\" + full.wstring());
#else
    return full;
#endif
}

struct FolderCase {
    const char* what;
    std::vector<std::u8string> folders;  // one inside the other, in the scratch folder
};

TEST(InstalledFolder, FileIsReadInAFolderOfAnyNameAndDepth) {
    std::u8string deep(60, u8'd');
    const FolderCase cases[] = {
        {"a folder named in several scripts", {u8"Vudmark Ünïcødé ΦΩ 安装"}},
        {"a path of more than 300 characters", {deep + u8"1", deep + u8"2", deep + u8"3", deep + u8"4", deep + u8"5"}},
        {"a long path through a folder named in several scripts",
         {deep + u8"1", deep + u8"2", u8"Vudmark Ünïcødé ΦΩ 安装", deep + u8"4", deep + u8"5"}},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder scratch;
        std::filesystem::path folder = std::filesystem::current_path();
        for (const std::u8string& name : c.folders) {
            folder /= name;
            ASSERT_TRUE(std::filesystem::create_directory(anyLength(folder)));
        }
        // vud_mcp.ma for FWP 8.0: 59,553 bytes, its tag 64 bytes in.
        writeApplication("vud_mcp.ma", 59553, "ver 8.1.3\0"s);
        std::filesystem::rename("vud_mcp.ma", anyLength(folder / "vud_mcp.ma"));
        const std::string text = utf8(folder);
        if (c.folders.size() > 1) {
            ASSERT_GT(text.size() + sizeof "/vud_mcp.ma", 300u);
        }

        InstalledFolder installation(text);
        const auto file = installation.load(0, "vud_mcp.ma");
        EXPECT_TRUE(file.has_value()) << text;
        if (file) {
            EXPECT_EQ(59553, file->byteCount);
            EXPECT_EQ(64u, file->tagPosition);
            EXPECT_EQ("ver 8.1.3\0"s, std::string(versionTagAt(file->data, file->heldCount, 64).text, 10));
        }
        EXPECT_FALSE(installation.load(1, "vud_bsg.ma").has_value());

        // The scratch folder removes only what lies within the old path limit: the
        // file and the folders go here, deepest first.
        std::filesystem::remove(anyLength(folder / "vud_mcp.ma"));
        for (std::size_t i = 0; i < c.folders.size(); ++i, folder = folder.parent_path())
            std::filesystem::remove(anyLength(folder));
    }
}

}  // namespace
}  // namespace vud
