// Text saved to a file and read back: a checker's report redirected to a file, a list
// of paths, a baseline of JSON lines. Windows PowerShell 5.1 saves what it redirects as
// UTF-16LE with a byte-order mark, PowerShell 7 and Notepad as UTF-8 with or without
// one, and the programs themselves write UTF-8 bytes as they are.
#pragma once

#include <string>
#include <string_view>

namespace vud {

enum class SavedEncoding {
    Unmarked,  // bytes as written, most often UTF-8
    Utf8,      // after the mark EF BB BF
    Utf16Le,   // after the mark FF FE
    Utf16Be,   // after the mark FE FF: no program saves a report or a list so
};

// How a saved text is encoded, by the byte-order mark at the start of `bytes`.
SavedEncoding savedEncoding(std::string_view bytes);

// The saved text as UTF-8, without its byte-order mark; LF or CR LF ends kept as they
// are. Bytes without a mark that are not UTF-8 are kept too: a path in a list names
// the file of those bytes, and a report's line that holds them is shown with them as
// \xHH. Sets `problem` (what was expected, in words) and returns nothing when the
// bytes are in no encoding a text is saved in; clears it otherwise.
std::string savedText(std::string_view bytes, std::string& problem);

}  // namespace vud
