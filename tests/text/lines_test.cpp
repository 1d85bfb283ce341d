// Lines as every reader of saved text takes them: LF or CR LF, a last line with or
// without its end.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "text/lines.h"

namespace vud {
namespace {

TEST(Lines, EndAtEachLineFeedWithTheCarriageReturnBeforeItDropped) {
    using Lines = std::vector<std::string_view>;
    const struct {
        const char* what;
        std::string_view text;
        Lines lines;
    } cases[] = {
        {"nothing", "", {}},
        {"one empty line", "\n", {""}},
        {"a last line without its end", "a\nb", {"a", "b"}},
        {"CR LF and LF mixed, empty lines kept", "a\r\n\r\nb\n\nc\r\n", {"a", "", "b", "", "c"}},
        {"a last line that ends in CR alone", "a\r", {"a"}},
        {"a CR inside a line stays", "a\rb\r\r\n", {"a\rb\r"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.lines, linesOf(c.text));
        Lines taken;
        LineCursor cursor(c.text);
        for (std::string_view line; cursor.next(line);) taken.push_back(line);
        EXPECT_EQ(c.lines, taken);
    }
}

}  // namespace
}  // namespace vud
