// The version tag a build carries, and the one search that finds it.
#pragma once

#include <cstddef>

namespace vud {

inline constexpr char kVersionTagMarker[] = "ver ";
inline constexpr std::size_t kVersionTagMarkerLength = sizeof kVersionTagMarker - 1;
inline constexpr std::size_t kVersionTagLength = 12;

// The 12 bytes that begin at the first "ver " of a file, and a NUL behind them. As a
// text it ends at its first NUL. Bytes that would lie beyond the file's data read as NUL.
struct VersionTag {
    char text[kVersionTagLength + 1];
};

// The search for the first complete "ver " in data that grows as a file is read: each
// call looks only at the bytes that no earlier call could rule out, yet the marker it
// reports is the first one in all the data given so far.
class VersionTagSearch {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // `count` never falls between calls, and data[0, count) holds what earlier calls saw.
    void extend(const unsigned char* data, std::size_t count);

    bool found() const { return position_ != kNone; }
    std::size_t position() const { return position_; }

private:
    std::size_t nextStart_ = 0;  // the first offset where a marker may still begin
    std::size_t position_ = kNone;
};

// The tag that begins at `position` in data[0, count): the bytes past `count` read as
// NUL.
VersionTag versionTagAt(const unsigned char* data, std::size_t count, std::size_t position);

}  // namespace vud
