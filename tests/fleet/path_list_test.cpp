// Lists of installations (--from) read a piece at a time: the same installations however
// the pieces fall, in each encoding a list is written in, and a line longer than any
// path refused with its number before it is held whole.
#include "fleet/input/path_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vud::fleet {
namespace {

using namespace std::string_literals;

// `text` (ASCII) as Windows PowerShell 5.1 writes it: a byte-order mark, then UTF-16LE.
std::string asUtf16le(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) bytes += std::string{c, '\0'};
    return bytes;
}

// The list read in pieces of `piece` bytes: "MACHINE|PATH;" for each installation, or
// the problem.
std::string readInPieces(const std::string& list, std::size_t piece) {
    PathListReader reader;
    bool taken = true;
    for (std::size_t at = 0; taken && at < list.size(); at += piece) taken = reader.add(std::string_view(list).substr(at, piece));
    if (!taken || !reader.finish()) return reader.problem();
    std::string read;
    for (const ListedInstallation& installation : reader.installations())
        read += installation.machine + "|" + installation.path + ";";
    return read;
}

TEST(PathList, TheSameInstallationsHoweverThePiecesFall) {
    const std::string longest(kLongestListLine, 'x');
    const struct {
        const char* what;
        std::string list;
        std::string read;
    } cases[] = {
        {"LF, CR LF, comments, blank lines and a machine", "ok\r\n# office\r\n\r\n  \nws1\tC:\\x \r\nlast",
         "|ok;ws1|C:\\x;|last;"},
        {"UTF-8 with its byte-order mark", "\xEF\xBB\xBFws\xC3\xA9\n", "|ws\xC3\xA9;"},
        {"bytes that are not UTF-8 name the file of those bytes", "ws\xE9\n", "|ws\xE9;"},
        {"UTF-16LE with its byte-order mark", asUtf16le("ok\r\nws1\tC:\\x\r\n"), "|ok;ws1|C:\\x;"},
        {"a line as long as a path can be", "a\n" + longest + "\n", "|a;|" + longest + ";"},
        {"UTF-16LE as long as a path can be", asUtf16le(longest), "|" + longest + ";"},
        {"nothing", "", ""},
        {"one byte", "a", "|a;"},
        {"UTF-16 of the other byte order", "\xFE\xFF\0a"s, "text in UTF-8 or UTF-16LE, not UTF-16BE"},
        {"UTF-16LE of an odd length", "\xFF\xFE" "a\0b"s, "text in UTF-16LE, as its byte-order mark says, of an even length"},
        {"not UTF-8 though its mark says so", "\xEF\xBB\xBF" "a\nb\xFF\n", "line 2: expected text in UTF-8, as its byte-order mark says"},
        {"a line longer than any path", "a\n" + longest + "x\nb\n", "line 2: longer than 128 KiB, which no path is"},
        {"UTF-16LE longer than any path", asUtf16le("a\n" + longest + "x"), "line 2: longer than 128 KiB, which no path is"},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{4096}, c.list.size() + 1}) {
            SCOPED_TRACE(std::string(c.what) + ", pieces of " + std::to_string(piece));
            EXPECT_EQ(c.read, readInPieces(c.list, piece));
        }
    }
}

// A line of 60 MB: refused once it is longer than any path, not once it is read.
TEST(PathList, ALongLineIsRefusedBeforeItIsHeldWhole) {
    PathListReader reader;
    const std::string piece(std::size_t{64} << 10, 'x');
    ASSERT_TRUE(reader.add("ok\n"));
    std::size_t taken = 0;
    while (taken < (std::size_t{60} << 20) && reader.add(piece)) taken += piece.size();
    EXPECT_LE(taken, kLongestListLine);
    EXPECT_EQ("line 2: longer than 128 KiB, which no path is", reader.problem());
    EXPECT_FALSE(reader.finish());
}

}  // namespace
}  // namespace vud::fleet
