// The lines of a text held in memory, as views into it: a saved report, a list of
// paths, the lines the checker's own code prints to compare them with.
#pragma once

#include <string_view>
#include <vector>

namespace vud {

// Takes the lines of a text one at a time, each without its LF or CR LF. A last line
// without an LF is a line too; the LF that ends the text starts no empty line after it.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : rest_(text) {}

    // The next line; false once the text is used up.
    bool next(std::string_view& line);

private:
    std::string_view rest_;
};

// Every line of `text`, as LineCursor takes them: one pass, no copies.
std::vector<std::string_view> linesOf(std::string_view text);

}  // namespace vud
