// Loading real files from the working folder into the one reusable image.
#include "probe/file_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/scratch_folder.h"

#ifndef _WIN32
#include "support/lying_mount.h"

#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vud {
namespace {

using namespace std::string_literals;
using testing::ScratchFolder;
using testing::writeFile;

class FileImageTest : public ::testing::Test {
protected:
    std::string held() const {
        return std::string(reinterpret_cast<const char*>(image->data()), image->heldCount());
    }
    // The tag the load found, and where; -1 for none.
    std::string tagOf(std::int32_t& position) const {
        if (image->tagPosition() == VersionTagSearch::kNone) {
            position = -1;
            return "(none)";
        }
        position = static_cast<std::int32_t>(image->tagPosition());
        const VersionTag tag = versionTagAt(image->data(), image->heldCount(), image->tagPosition());
        return std::string(tag.text, kVersionTagLength);
    }

    ScratchFolder folder;
    std::unique_ptr<FileImage> image = std::make_unique<FileImage>();
};

TEST_F(FileImageTest, EmptyFileLoadsWithNoBytesAndNoTag) {
    writeFile("vud_e.ma", "");
    EXPECT_TRUE(image->load("vud_e.ma"));
    EXPECT_EQ(0, image->getByteCount());
    std::int32_t position = 0;
    EXPECT_EQ("(none)", tagOf(position));
    EXPECT_EQ(-1, position);
}

TEST_F(FileImageTest, EveryByteIsKeptAsStored) {
    const std::string bytes = "MZ\r\n\x1a\0\0\r\rver 8.1.3\0\n\x1a\xff"s;
    writeFile("vud_b.ma", bytes);
    EXPECT_TRUE(image->load("vud_b.ma"));
    EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), image->getByteCount());
    EXPECT_EQ(bytes, held());
    std::int32_t position = 0;
    EXPECT_EQ("ver 8.1.3\0\n\x1a"s, tagOf(position));
    EXPECT_EQ(9, position);
}

TEST_F(FileImageTest, MissingFileIsNotLoadedAndLeavesTheRecordAsItWas) {
    writeFile("vud_a.ma", "0123456789");
    ASSERT_TRUE(image->load("vud_a.ma"));
    EXPECT_FALSE(image->load("vud_zz.ma"));
    EXPECT_EQ(10, image->getByteCount()) << "a failed open leaves the record as it was";
    image->reset();
    EXPECT_EQ(0, image->getByteCount());
}

TEST_F(FileImageTest, ShorterFileAfterLongerNeverShowsTheEarlierBytes) {
    writeFile("vud_l.ma", std::string(95, '.') + "ver 7.1.7\0AB"s + std::string(93, '.'));
    ASSERT_TRUE(image->load("vud_l.ma"));
    ASSERT_EQ(200, image->getByteCount());

    writeFile("vud_s.ma", std::string(95, '-') + "ver 7");
    image->reset();
    ASSERT_TRUE(image->load("vud_s.ma"));
    EXPECT_EQ(100, image->getByteCount());
    EXPECT_EQ(100u, image->heldCount());
    std::int32_t position = 0;
    EXPECT_EQ("ver 7\0\0\0\0\0\0\0"s, tagOf(position));
    EXPECT_EQ(95, position);
}

TEST_F(FileImageTest, FileOfExactlyTheCapacityIsHeldWhole) {
    std::string bytes(kFileImageCapacity, '.');
    bytes.replace(kFileImageCapacity - 12, 12, "ver 8.1.3\0ab"s);
    writeFile("vud_c.ma", bytes);
    ASSERT_TRUE(image->load("vud_c.ma"));
    EXPECT_EQ(400000, image->getByteCount());
    EXPECT_EQ(bytes, held());
    std::int32_t position = 0;
    EXPECT_EQ("ver 8.1.3\0ab"s, tagOf(position));
    EXPECT_EQ(399988, position);
}

TEST_F(FileImageTest, LargerFileHoldsOnlyTheCapacityButCountsItsWholeSize) {
    // The marker straddles the capacity: only the bytes held are searched.
    std::string bytes(kFileImageCapacity + 1, '.');
    bytes.replace(kFileImageCapacity - 2, 3, "ver");
    writeFile("vud_o.ma", bytes + " 8.1.3");
    ASSERT_TRUE(image->load("vud_o.ma"));
    EXPECT_EQ(400007, image->getByteCount());
    EXPECT_EQ(kFileImageCapacity, image->heldCount());
    std::int32_t position = 0;
    EXPECT_EQ("(none)", tagOf(position));
    EXPECT_EQ(-1, position);
}

struct TagPlaceCase {
    const char* what;
    std::size_t tagOffset;
    std::int32_t position;  // -1: no tag
    std::size_t held;       // 0: anything from the tag's end to one block past it
};

TEST_F(FileImageTest, TagIsFoundWhereverItLiesAndReadingStopsBehindIt) {
    // The file is read in blocks as far as its first tag; what the run sees must be
    // what a search of the whole file, as far as the image holds it, would show.
    const std::string tagText = "ver 9.1.5\0XY"s;
    const std::size_t first = kFirstReadBlock;
    const std::size_t second = nextReadBlock(first);
    const std::size_t fourth = nextReadBlock(nextReadBlock(second));
    const std::size_t third = first + second + nextReadBlock(second);  // end of the third block
    const TagPlaceCase cases[] = {
        {"near the start", 100, 100, first},
        {"marker across the end of the first block", first - 2, first - 2, first + second},
        {"tag bytes across the end of the first block", first - 6, first - 6, first + 6},
        {"marker ending at the end of the first block", first - 4, first - 4, first + 8},
        {"tag ending at the end of the first block", first - 12, first - 12, first},
        {"marker across the end of a later block", third - 1, third - 1, third + fourth},
        {"tag bytes across the end of a later block", third - 9, third - 9, third + 3},
        {"far into the file", 250000, 250000, 0},
        {"the last bytes of the image", kFileImageCapacity - 12, kFileImageCapacity - 12, kFileImageCapacity},
    };
    // One file longer than the image, whose size comes from the file system, and one
    // that is a build's size.
    for (const std::size_t size : {kFileImageCapacity + 5000, std::size_t{294012}}) {
        for (const TagPlaceCase& c : cases) {
            if (c.tagOffset + tagText.size() > size) continue;
            SCOPED_TRACE(std::string(c.what) + ", file of " + std::to_string(size) + " bytes");
            std::string bytes(size, '.');
            // A lone "v" and a cut-off marker ahead of the tag are no tag.
            bytes.replace(10, 4, "vver");
            bytes.replace(c.tagOffset, tagText.size(), tagText);
            writeFile("vud_w.ma", bytes);
            image->reset();
            ASSERT_TRUE(image->load("vud_w.ma"));
            EXPECT_EQ(static_cast<std::int64_t>(size), image->getByteCount());
            std::int32_t position = 0;
            EXPECT_EQ(tagText, tagOf(position));
            EXPECT_EQ(c.position, position);
            const std::size_t tagEnd = c.tagOffset + kVersionTagLength;
            if (c.held != 0) {
                EXPECT_EQ(c.held, image->heldCount());
            } else {
                EXPECT_GE(image->heldCount(), tagEnd);
                EXPECT_LT(image->heldCount(), tagEnd + kLargestReadBlock);
            }
            EXPECT_EQ(bytes.substr(0, image->heldCount()), held());
        }
    }
}

TEST_F(FileImageTest, TagBeyondTheImageIsNotSeen) {
    std::string bytes(kFileImageCapacity + 5000, '.');
    bytes.replace(kFileImageCapacity + 10, 12, "ver 9.1.5\0XY"s);
    writeFile("vud_w.ma", bytes);
    ASSERT_TRUE(image->load("vud_w.ma"));
    EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), image->getByteCount());
    EXPECT_EQ(kFileImageCapacity, image->heldCount());
    std::int32_t position = 0;
    EXPECT_EQ("(none)", tagOf(position));
    EXPECT_EQ(-1, position);
}

TEST_F(FileImageTest, LongerFileIsReadNoFurtherThanItsTag) {
    std::string bytes(kFileImageCapacity * 3, '.');
    bytes.replace(100, 12, "ver 9.1.5\0XY"s);
    writeFile("vud_w.ma", bytes);
    ASSERT_TRUE(image->load("vud_w.ma"));
    EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), image->getByteCount());
    EXPECT_LT(image->heldCount(), kFileImageCapacity);
    std::int32_t position = 0;
    EXPECT_EQ("ver 9.1.5\0XY"s, tagOf(position));
}

TEST_F(FileImageTest, HugeSparseFileKeepsItsExactSizeBeyondTwoGigabytes) {
    writeFile("vud_h.ma", "....ver 9.1.5\0");
    const std::uintmax_t fiveGiB = 5ull << 30;
    std::error_code error;
    std::filesystem::resize_file("vud_h.ma", fiveGiB, error);
    if (error) GTEST_SKIP() << "this file system cannot hold a sparse 5 GiB file: " << error.message();
    ASSERT_TRUE(image->load("vud_h.ma"));
    EXPECT_EQ(5368709120, image->getByteCount());
    std::int32_t position = 0;
    EXPECT_EQ("ver 9.1.5\0\0\0"s, tagOf(position));
    EXPECT_EQ(4, position);
}

TEST_F(FileImageTest, FolderAtAnApplicationNameIsNotLoaded) {
    std::filesystem::create_directory("vud_d.ma");
    EXPECT_FALSE(image->load("vud_d.ma"));
    EXPECT_EQ(0, image->getByteCount());
}

#ifndef _WIN32
TEST_F(FileImageTest, FifoAtAnApplicationNameIsNotOpened) {
    // Opening a FIFO with no writer would block the whole run.
    ASSERT_EQ(0, ::mkfifo("vud_f.ma", 0644));
    EXPECT_FALSE(image->load("vud_f.ma"));
}

TEST_F(FileImageTest, LinksToDevicesAndNowhereAreNotLoaded) {
    for (const char* target : {"/dev/zero", "/dev/urandom", "no_such_file", "vud_loop.ma"}) {
        SCOPED_TRACE(target);
        std::filesystem::remove("vud_loop.ma");
        std::filesystem::create_symlink(target, "vud_loop.ma");
        EXPECT_FALSE(image->load("vud_loop.ma"));
    }
}

TEST_F(FileImageTest, LinkToARegularFileIsFollowed) {
    writeFile("real.bin", "..ver 8.0.1\0"s);
    std::filesystem::create_symlink("real.bin", "vud_k.ma");
    EXPECT_TRUE(image->load("vud_k.ma"));
    EXPECT_EQ(12, image->getByteCount());
}

TEST_F(FileImageTest, ReadErrorIsNotTakenForTheEndOfTheFile) {
    // The process's memory file is a regular file whose first bytes cannot be read.
    if (!std::filesystem::exists("/proc/self/mem")) GTEST_SKIP() << "no /proc here";
    std::filesystem::create_symlink("/proc/self/mem", "vud_m.ma");
    EXPECT_FALSE(image->load("vud_m.ma"));
    EXPECT_EQ(0, image->getByteCount());
}

struct MisreportedSizeCase {
    const char* what;
    const char* file;  // as vud_lying_fs takes it: NAME:REPORTED:DELIVERED[!FAILING][:OFFSET:TAG]
    std::int64_t byteCount;
    std::int32_t position;
};

TEST_F(FileImageTest, SizeIsWhatTheFileDeliversWhenThatContradictsWhatItReports) {
    // A file being replaced while the checker runs, a network share or a /proc file
    // may report one size and deliver another; only the end of the file tells. The
    // reads may stop at the tag well before either end, and still the size must not be
    // the one reported when the file does not end there.
    const MisreportedSizeCase cases[] = {
        {"reports 500,000 bytes, ends after 1,001, tag near the start", "a.ma:500000:1001:64:ver 8.1.3", 1001, 64},
        {"reports 500,000 bytes, ends after 1,001, no tag", "b.ma:500000:1001", 1001, -1},
        {"reports 100 bytes, delivers 500,000, tag near the start", "c.ma:100:500000:64:ver 8.1.3", 500000, 64},
        {"reports 100 bytes, delivers 500,000, no tag", "d.ma:100:500000", 500000, -1},
        {"reports 0 bytes, as /proc files do, delivers 300", "e.ma:0:300:7:ver 9.1.5", 300, 7},
        {"reports 5,000 bytes, delivers 5,000", "f.ma:5000:5000:4090:ver 9.1.5", 5000, 4090},
        {"reports 10,000,000,000 bytes and delivers them, tag near the start",
         "g.ma:10000000000:10000000000:20:ver 9.1.5", 10000000000, 20},
        // A file that might never end is counted no further than 64 MiB.
        {"reports 0 bytes, delivers 1 GiB", "h.ma:0:1073741824:20:ver 9.1.5", std::int64_t{64} << 20, 20},
        // Every read up to the tag is whole: only a look at the reported end shows these.
        {"reports 500,000 bytes, ends after 300,000, tag near the start", "i.ma:500000:300000:64:ver 8.1.3", 300000,
         64},
        {"reports 5,000 bytes, delivers 10,000, tag near the start", "j.ma:5000:10000:64:ver 8.1.3", 10000, 64},
        {"reports 8,192 bytes, ends after the first 4,096, tag near the start", "k.ma:8192:4096:64:ver 8.1.3", 4096,
         64},
        {"reports 4,097 bytes, delivers 4,096, tag near the start", "l.ma:4097:4096:64:ver 8.1.3", 4096, 64},
        {"reports 4,097 bytes, delivers 4,098, tag near the start", "m.ma:4097:4098:64:ver 8.1.3", 4098, 64},
        {"reports 200,000 bytes, delivers 200,001, tag deep in", "n.ma:200000:200001:150000:ver 8.1.3", 200001,
         150000},
        {"reports 200,000 bytes, ends after 199,999, tag deep in", "o.ma:200000:199999:150000:ver 8.1.3", 199999,
         150000},
    };
    std::vector<std::string> files;
    for (const MisreportedSizeCase& c : cases) files.emplace_back(c.file);
    const testing::LyingMount mount("lying", files);
    if (!mount.unavailable().empty()) GTEST_SKIP() << mount.unavailable();
    for (const MisreportedSizeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "lying/" + std::string(c.file, 4);
        image->reset();
        ASSERT_TRUE(image->load(name.c_str()));
        EXPECT_EQ(c.byteCount, image->getByteCount());
        std::int32_t position = 0;
        tagOf(position);
        EXPECT_EQ(c.position, position);
    }
}

TEST_F(FileImageTest, ReadErrorAnywhereTheLoaderReadsMakesTheFileNotFound) {
    // A read that fails must never pass for the end of the file, which would report a
    // size that nobody ever saw end, nor be stepped over because the tag is already held.
    const char* const files[] = {
        // The tag is held after the first block, but the file has run past the 100
        // bytes it reports, so it is counted on until the read fails.
        "a.ma:100:5000!:64:ver 8.1.3",
        // The tag and the reported size are right, but the disk fails from 64 KiB on:
        // the look at the reported end meets the bad part.
        "b.ma:200000:200000!65536:64:ver 8.1.3",
        // The reads fail on the way to a tag deep in the file.
        "c.ma:200000:200000!65536:150000:ver 8.1.3",
        // The file stops short of its reported size and fails where it stops.
        "d.ma:500000:300000!:64:ver 8.1.3",
    };
    const testing::LyingMount mount("lying", std::vector<std::string>(std::begin(files), std::end(files)));
    if (!mount.unavailable().empty()) GTEST_SKIP() << mount.unavailable();
    for (const char* file : files) {
        SCOPED_TRACE(file);
        image->reset();
        EXPECT_FALSE(image->load(("lying/" + std::string(file, 4)).c_str()));
        EXPECT_EQ(0, image->getByteCount());
    }
}

TEST_F(FileImageTest, UnreadableFileIsNotLoaded) {
    if (::geteuid() == 0) GTEST_SKIP() << "running as root, which reads a file of mode 000";
    writeFile("vud_u.ma", "ver 8.1.3");
    ::chmod("vud_u.ma", 0);
    EXPECT_FALSE(image->load("vud_u.ma"));
}
#endif

}  // namespace
}  // namespace vud
