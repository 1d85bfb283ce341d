// What the fleet asks the file system about an input, one file per platform
// (inputs_posix.cpp, inputs_win32.cpp). Paths are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <istream>
#include <string>
#include <string_view>

namespace vud::fleet {

// Special: a FIFO, a device or a socket, which may never end or never answer.
enum class InputKind { Missing, Folder, Other, Special, Unreadable };

// What `path` names; `reason` says why when it is missing, special or unreadable.
InputKind inputKind(const std::string& path, std::string& reason);

// Whether the folder `path` may be entered to open its files by name (a folder that
// may be entered but not listed is checked, as the checker checks it); `reason` says
// why not.
bool enterable(const std::string& path, std::string& reason);

// Reads `in` until its end or until `most` bytes are held; false on a read error. The
// buffer grows with what arrives: the limit is a bound, not an allocation, so a list of
// ten paths costs no more than its bytes.
bool readStreamUpTo(std::istream& in, std::size_t most, std::string& bytes);

// What the file system knows a file or folder by, whatever the path that names it:
// device and inode (POSIX), volume serial number and file index (Windows).
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    friend bool operator<(const FileIdentity& a, const FileIdentity& b) {
        return a.volume != b.volume ? a.volume < b.volume : a.file < b.file;
    }
};

// The identity of what `path` names, links followed; none when it cannot be told.
std::optional<FileIdentity> fileIdentity(const std::string& path);

// When the file `path` was last written, in seconds since 1970-01-01 UTC; none when
// that cannot be told.
std::optional<std::int64_t> modifiedAt(const std::string& path);

// Reads the file `path` until its end or until `most` bytes are held, whichever comes
// first; sets `reason` and returns false when it cannot be opened or read.
bool readUpTo(const std::string& path, std::size_t most, std::string& bytes, std::string& reason);

// What is handed each piece read; false: no more is wanted.
using PieceTaker = std::function<bool(std::string_view piece)>;

// Hands the file `path` to `take` a piece at a time, until its end or until `take`
// wants no more; sets `reason` and returns false when it cannot be opened or read.
bool readFileInPieces(const std::string& path, const PieceTaker& take, std::string& reason);

// The same for a stream; false on a read error.
bool readStreamInPieces(std::istream& in, const PieceTaker& take);

}  // namespace vud::fleet
