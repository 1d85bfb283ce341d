// A list of installations (--from) read a piece at a time, as it arrives: no line is
// held longer than a path can be, so a list of any size and any line length is read
// in bounded memory, and a list that is no list is refused at the line that shows it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/input/installation_names.h"

namespace vud::fleet {

// Room for a million paths of average length; a list is refused beyond it.
inline constexpr std::size_t kLargestList = std::size_t{64} << 20;
// The longest path Windows takes, 32,767 UTF-16 units, is at most 96 KiB in UTF-8; a
// machine's name may come before it. A longer line is no path.
inline constexpr std::size_t kLongestListLine = std::size_t{128} << 10;

// The lines of a list: UTF-8 or, as Windows PowerShell writes it, UTF-16LE with its
// byte-order mark; LF or CR LF; blank lines and comments skipped (listedInstallation).
class PathListReader {
public:
    // Takes the list's next bytes; false once the list is refused, when `problem` says why.
    bool add(std::string_view bytes);
    // After the last bytes: false when the list is refused.
    bool finish();
    const std::string& problem() const { return problem_; }
    std::vector<ListedInstallation>& installations() { return installations_; }

private:
    enum class Encoding { Undecided, Bytes, Utf8, Utf16le };

    bool refuse(std::string problem);
    bool refuseLongLine();
    bool decide(bool last);
    bool takeBytes(std::string_view bytes);
    bool takeUtf16(std::string_view bytes);
    bool endLine();

    Encoding encoding_ = Encoding::Undecided;
    std::size_t total_ = 0;
    std::string head_;         // the first bytes, until they tell the encoding
    std::string line_;         // the line so far, as UTF-8 or as written
    std::u16string units_;     // the same, in UTF-16LE
    int oddByte_ = -1;         // a UTF-16 unit's first byte, until its second comes
    int lineNumber_ = 1;
    std::string problem_;
    std::vector<ListedInstallation> installations_;
};

}  // namespace vud::fleet
