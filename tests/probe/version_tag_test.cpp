// The tag search over bytes in memory: where the first marker is, and which 12 bytes
// come back, whether the bytes are given at once or as a file is read.
#include "probe/version_tag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace vud {
namespace {

using namespace std::string_literals;

// The search over data[0, count) given at once, as a whole file ends it: the tag at the
// first complete "ver " that lies wholly inside the data, `position` its offset; or
// nothing, and -1.
std::optional<VersionTag> findVersionTag(const unsigned char* data, std::size_t count, std::int32_t& position) {
    VersionTagSearch search;
    search.extend(data, count);
    position = search.found() ? static_cast<std::int32_t>(search.position()) : -1;
    if (!search.found()) return std::nullopt;
    return versionTagAt(data, count, search.position());
}

struct FinderCase {
    const char* what;
    std::string data;
    std::int32_t position;  // -1: no tag
    std::string tag;        // all 12 bytes when found
};

std::string padded(std::string text, std::size_t offset) { return std::string(offset, '.') + text; }

const FinderCase kFinderCases[] = {
    {"tag after other bytes, the two bytes behind its NUL included",
     padded("ver 7.1.7\0AB-more"s, 100), 100, "ver 7.1.7\0AB"s},
    {"a file that begins with the marker has its tag at offset 0",
     "ver 8.1.3\0\0\0"s + std::string(38, '.') + "ver 9.9.9\0"s, 0, "ver 8.1.3\0\0\0"s},
    {"the word version is not the marker", padded("version 1"s, 10) + padded("ver 10.1.7\0xx"s, 21),
     40, "ver 10.1.7\0x"s},
    {"a 'v' right before the marker", "vver 6.0.5\0zzz"s, 1, "ver 6.0.5\0zz"s},
    {"capital V is no marker", padded("Ver 7.1.7\0"s, 5), -1, ""},
    {"all capitals is no marker", padded("VER 7.1.7\0"s, 5), -1, ""},
    {"empty data", "", -1, ""},
    {"'ve' cut off by the end is no marker", padded("ve"s, 20), -1, ""},
    {"'ver' cut off by the end is no marker", padded("ver"s, 20), -1, ""},
    {"three bytes only", "ver", -1, ""},
    {"a marker in the last four bytes; the rest of the tag reads as NUL", padded("ver "s, 20), 20,
     "ver \0\0\0\0\0\0\0\0"s},
    {"a tag cut off by the end reads NUL past the data", padded("ver 8.1"s, 3), 3,
     "ver 8.1\0\0\0\0\0"s},
};

TEST(FindVersionTag, FirstCompleteMarkerWins) {
    for (const FinderCase& c : kFinderCases) {
        SCOPED_TRACE(c.what);
        std::int32_t position = 12345;
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.data.data());
        const std::optional<VersionTag> tag = findVersionTag(bytes, c.data.size(), position);
        EXPECT_EQ(c.position, position);
        ASSERT_EQ(c.position >= 0, tag.has_value());
        if (tag) {
            EXPECT_EQ(c.tag, std::string(tag->text, kVersionTagLength));
            EXPECT_EQ('\0', tag->text[kVersionTagLength]);
        }
    }
}

TEST(FindVersionTag, SearchesOnlyTheCountGiven) {
    // Bytes beyond the count belong to an earlier file and must never be seen.
    const std::string data = "....ver 8.1.3\0old"s;
    std::int32_t position = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const auto tag = findVersionTag(bytes, 9, position);
    ASSERT_TRUE(tag.has_value());
    EXPECT_EQ(4, position);
    EXPECT_EQ("ver 8\0\0\0\0\0\0\0"s, std::string(tag->text, kVersionTagLength));
    EXPECT_FALSE(findVersionTag(bytes, 7, position).has_value());
    EXPECT_EQ(-1, position);
}

TEST(FindVersionTag, FindsTheMarkerAtAnyOffsetAmongNearMisses) {
    // Data thick with "v" bytes and with markers that miss by one character, as long
    // as several of the blocks the finder passes over at once.
    const std::string nearMisses = "vverv ve rvvev Ver vr v";
    std::string filler;
    while (filler.size() < 1100) filler += nearMisses;
    std::int32_t position = 0;
    for (std::size_t count = 0; count <= filler.size(); ++count) {
        SCOPED_TRACE("no marker, " + std::to_string(count) + " bytes");
        EXPECT_FALSE(findVersionTag(reinterpret_cast<const unsigned char*>(filler.data()), count,
                                    position).has_value());
        EXPECT_EQ(-1, position);
    }
    for (std::size_t offset = 0; offset + 12 <= filler.size(); ++offset) {
        SCOPED_TRACE("marker at " + std::to_string(offset));
        std::string data = filler;
        data.replace(offset, 12, "ver 9.1.4\0AB"s);
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
        // The whole data, the data ending right behind the marker, and one byte short.
        auto tag = findVersionTag(bytes, data.size(), position);
        EXPECT_EQ(static_cast<std::int32_t>(offset), position);
        ASSERT_TRUE(tag.has_value());
        EXPECT_EQ("ver 9.1.4\0AB"s, std::string(tag->text, kVersionTagLength));
        tag = findVersionTag(bytes, offset + 4, position);
        EXPECT_EQ(static_cast<std::int32_t>(offset), position);
        ASSERT_TRUE(tag.has_value());
        EXPECT_EQ("ver \0\0\0\0\0\0\0\0"s, std::string(tag->text, kVersionTagLength));
        EXPECT_FALSE(findVersionTag(bytes, offset + 3, position).has_value());
        EXPECT_EQ(-1, position);
    }
}

TEST(VersionTagSearch, FindsTheFirstMarkerSoFarHoweverTheBytesArrive) {
    // Bytes arrive as a file is read, in pieces of any size; a marker may straddle the
    // edge between two pieces, or its first bytes may be the last ones of a piece. At
    // every step the search must report the first marker in all the bytes so far.
    const std::string nearMisses = "vverv ve rvvev Ver vr v";
    std::string filler;
    while (filler.size() < 700) filler += nearMisses;
    for (const std::size_t piece : {1u, 2u, 3u, 4u, 5u, 11u, 255u, 256u, 257u}) {
        for (std::size_t offset = 0; offset + 12 <= filler.size(); offset += 7) {
            SCOPED_TRACE("pieces of " + std::to_string(piece) + ", marker at " + std::to_string(offset));
            std::string data = filler;
            data.replace(offset, 12, "ver 9.1.4\0AB"s);
            const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
            VersionTagSearch search;
            for (std::size_t count = 0; count < data.size();) {
                count = std::min(count + piece, data.size());
                search.extend(bytes, count);
                const bool held = count >= offset + 4;
                ASSERT_EQ(held, search.found()) << "after " << count << " bytes";
                if (held) {
                    ASSERT_EQ(offset, search.position());
                }
            }
            EXPECT_EQ(offset, search.position());
        }
    }
}

}  // namespace
}  // namespace vud
