// Files taken whole by a sink in the very load that finds their tag: every byte once
// and in order, the report's bytes as without a sink, and a file that changes while it
// is read said to have changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "probe/file_image.h"
#include "probe/installed_folder.h"
#include "probe/memory_installation.h"
#include "support/scratch_folder.h"

#ifndef _WIN32
#include "support/lying_mount.h"
#endif

namespace vud {
namespace {

using testing::applicationBytes;
using testing::ScratchFolder;
using testing::writeFile;

class RecordingSink : public ByteSink {
public:
    explicit RecordingSink(bool wants = true) : wants_(wants) {}

    bool wantsWholeFile(const FileHead& head) override {
        ++offers;
        reportedSize = head.reportedSize;
        return wants_;
    }
    void add(const unsigned char* bytes, std::size_t count) override {
        // Between the bytes of the tag search and the rest: the file changes there.
        if (bytes_.empty() && duringTheRead) duringTheRead();
        bytes_.append(reinterpret_cast<const char*>(bytes), count);
    }
    void end(WholeRead how) override { ends.push_back(how); }

    const std::string& bytes() const { return bytes_; }

    std::function<void()> duringTheRead;
    int offers = 0;
    std::int64_t reportedSize = -1;
    std::vector<WholeRead> ends;

private:
    bool wants_;
    std::string bytes_;
};

std::string heldBytes(const FileImage& image) {
    return std::string(reinterpret_cast<const char*>(image.data()), image.heldCount());
}

class WholeReadTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::unique_ptr<FileImage> image = std::make_unique<FileImage>();
    std::unique_ptr<FileImage> plain = std::make_unique<FileImage>();
};

TEST_F(WholeReadTest, EveryByteReachesTheSinkOnceAndTheReportSeesWhatItWouldWithout) {
    struct Case {
        const char* what;
        std::size_t size;
        std::size_t tagOffset;  // size: no tag
    };
    const Case cases[] = {
        {"empty", 0, 0},
        {"ends inside the first block", 300, 7},
        {"tag near the start, far larger than the image", 1000000, 64},
        {"tag deep in", 294012, 150000},
        {"no tag, larger than the image", 500000, 500000},
        {"larger than two blocks of the whole read", 2500000, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes = c.tagOffset < c.size ? applicationBytes(c.size, "ver 8.1.3", c.tagOffset)
                                                       : std::string(c.size, '.');
        writeFile("vud_w.ma", bytes);
        RecordingSink sink;
        image->reset();
        plain->reset();
        ASSERT_TRUE(image->load("vud_w.ma", &sink));
        ASSERT_TRUE(plain->load("vud_w.ma"));
        EXPECT_EQ(1, sink.offers);
        EXPECT_EQ(static_cast<std::int64_t>(c.size), sink.reportedSize);
        EXPECT_TRUE(sink.bytes() == bytes) << sink.bytes().size() << " bytes taken";
        EXPECT_EQ(std::vector<WholeRead>{WholeRead::Steady}, sink.ends);
        EXPECT_EQ(plain->getByteCount(), image->getByteCount());
        EXPECT_EQ(plain->tagPosition(), image->tagPosition());
        EXPECT_EQ(heldBytes(*plain), heldBytes(*image));
    }
}

TEST_F(WholeReadTest, SinkThatDeclinesGetsNothingMore) {
    writeFile("vud_d.ma", applicationBytes(1000000, "ver 8.1.3", 64));
    RecordingSink sink(false);
    ASSERT_TRUE(image->load("vud_d.ma", &sink));
    ASSERT_TRUE(plain->load("vud_d.ma"));
    EXPECT_EQ(1, sink.offers);
    EXPECT_TRUE(sink.bytes().empty());
    EXPECT_TRUE(sink.ends.empty());
    EXPECT_EQ(1000000, image->getByteCount());
    EXPECT_EQ(heldBytes(*plain), heldBytes(*image));
}

// Sets the file's times an hour back, so that any write after it stamps another time
// whatever the clock's grain.
void ageFile(const char* name) {
    std::filesystem::last_write_time(name, std::filesystem::last_write_time(name) - std::chrono::hours(1));
}

void overwriteByte(const char* name, std::streamoff offset) {
    std::fstream file(name, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offset);
    file.put('#');
}

TEST_F(WholeReadTest, FileChangedWhileReadIsSaidSo) {
    constexpr std::size_t kSize = 1000000;
    struct Case {
        const char* what;
        std::function<void()> change;
        std::int64_t byteCount;
    };
    const Case cases[] = {
        {"grown by 10 bytes",
         [] { std::ofstream("vud_c.ma", std::ios::app | std::ios::binary) << "0123456789"; }, kSize + 10},
        {"cut to half", [] { std::filesystem::resize_file("vud_c.ma", kSize / 2); }, kSize / 2},
        // Its size at the end is the one it had at open: only its times tell.
        {"grown by 10 bytes and cut back",
         [] {
             std::ofstream("vud_c.ma", std::ios::app | std::ios::binary) << "0123456789";
             std::filesystem::resize_file("vud_c.ma", kSize);
         },
         kSize},
        {"one byte rewritten in place", [] { overwriteByte("vud_c.ma", 600000); }, kSize},
        {"one byte rewritten, its modification time set back",
         [] {
             const auto before = std::filesystem::last_write_time("vud_c.ma");
             overwriteByte("vud_c.ma", 600000);
             std::filesystem::last_write_time("vud_c.ma", before);
         },
         kSize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile("vud_c.ma", applicationBytes(kSize, "ver 8.1.3", 64));
        ageFile("vud_c.ma");
        RecordingSink sink;
        sink.duringTheRead = c.change;
        image->reset();
        ASSERT_TRUE(image->load("vud_c.ma", &sink));
        EXPECT_EQ(std::vector<WholeRead>{WholeRead::ChangedWhileRead}, sink.ends);
        EXPECT_EQ(c.byteCount, image->getByteCount());
    }
}

TEST_F(WholeReadTest, InstallationsOfferEveryFileToTheirSink) {
    writeFile("vud_i.ma", applicationBytes(450000, "ver 8.1.3", 64));
    RecordingSink sink;
    InstalledFolder installed;
    installed.setByteSink(&sink);
    ASSERT_TRUE(installed.load(0, "vud_i.ma"));
    EXPECT_EQ(450000u, sink.bytes().size());
    EXPECT_EQ(std::vector<WholeRead>{WholeRead::Steady}, sink.ends);

    // In memory, bytes fewer or more than the size are a file that changed as it was read.
    MemoryInstallation memory;
    memory.put(0, applicationBytes(450000, "ver 8.1.3", 64));
    memory.put(1, applicationBytes(1000, "ver 8.1.3", 64), 2000);
    memory.put(2, applicationBytes(3000, "ver 8.1.3", 64), 2000);
    RecordingSink inMemory;
    memory.setByteSink(&inMemory);
    for (int position = 0; position < 3; ++position) ASSERT_TRUE(memory.load(position, "vud_m.ma"));
    EXPECT_EQ(450000u + 1000u + 3000u, inMemory.bytes().size());
    EXPECT_EQ((std::vector<WholeRead>{WholeRead::Steady, WholeRead::ChangedWhileRead, WholeRead::ChangedWhileRead}),
              inMemory.ends);
}

#ifndef _WIN32
TEST_F(WholeReadTest, FileThatDeliversOtherThanItReportsChangedWhileRead) {
    struct Case {
        const char* file;  // as vud_lying_fs takes it: NAME:REPORTED:DELIVERED[!FAILING][:OFFSET:TAG]
        bool loaded;
        std::vector<WholeRead> ends;
        std::int64_t taken;
    };
    const Case cases[] = {
        {"a.ma:500000:500000:64:ver 8.1.3", true, {WholeRead::Steady}, 500000},
        {"b.ma:5000:10000:64:ver 8.1.3", true, {WholeRead::ChangedWhileRead}, 10000},
        {"c.ma:500000:300000:64:ver 8.1.3", true, {WholeRead::ChangedWhileRead}, 300000},
        {"d.ma:0:300:7:ver 9.1.5", true, {WholeRead::ChangedWhileRead}, 300},
        {"e.ma:300:200:7:ver 9.1.5", true, {WholeRead::ChangedWhileRead}, 200},
        {"f.ma:200000:200000!65536:64:ver 8.1.3", false, {WholeRead::Failed}, 65536},
    };
    std::vector<std::string> files;
    for (const Case& c : cases) files.emplace_back(c.file);
    const testing::LyingMount mount("lying", files);
    if (!mount.unavailable().empty()) GTEST_SKIP() << mount.unavailable();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RecordingSink sink;
        image->reset();
        EXPECT_EQ(c.loaded, image->load(("lying/" + std::string(c.file, 4)).c_str(), &sink));
        EXPECT_EQ(c.ends, sink.ends);
        EXPECT_EQ(c.taken, static_cast<std::int64_t>(sink.bytes().size()));
    }
}
#endif

}  // namespace
}  // namespace vud
