// The checker's output buffer on its own, with text that fills it: the buffer holds a
// whole report, so only these tests reach the path that writes out a full buffer.
#include "entry/standard_output.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <ostream>
#include <string>

#include "support/scratch_folder.h"

namespace vud {
namespace {

using testing::readFile;
using testing::ScratchFolder;

// Distinct bytes, so that a byte lost, doubled or moved at the buffer's edge shows.
std::string countingText(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 23);
    return text;
}

TEST(StandardOutputBuffer, TextLongerThanTheBufferArrivesWhole) {
    ScratchFolder folder;
    constexpr std::size_t kFull = kStandardOutputBufferSize;
    for (std::size_t length : {kFull - 1, kFull, kFull + 1, 2 * kFull - 1, 2 * kFull, 2 * kFull + 1, 2 * kFull + 1000}) {
        SCOPED_TRACE(length);
        const std::string text = countingText(length);
        std::FILE* file = std::fopen("out.txt", "wb");
        ASSERT_NE(nullptr, file);
        {
            StandardOutputBuffer buffer(file);
            std::ostream out(&buffer);
            // One character at a time and then in one piece: both ways reach a full buffer.
            for (char c : text.substr(0, length / 2)) out.put(c);
            out << text.substr(length / 2);
            out.flush();
            EXPECT_TRUE(out.good());
            EXPECT_FALSE(buffer.failed());
            EXPECT_EQ(0, reportWriteError(buffer));
        }
        std::fclose(file);
        EXPECT_EQ(text, readFile("out.txt"));
    }
}

#ifdef __linux__
TEST(StandardOutputBuffer, AFullBufferThatCannotBeWrittenIsAWriteError) {
    std::FILE* file = std::fopen("/dev/full", "wb");
    ASSERT_NE(nullptr, file);
    StandardOutputBuffer buffer(file);
    std::ostream out(&buffer);
    out << countingText(kStandardOutputBufferSize + 904);  // no flush: the buffer itself runs full
    EXPECT_TRUE(out.bad());
    EXPECT_TRUE(buffer.failed());
    EXPECT_EQ(ENOSPC, buffer.failureCode());
    // A later flush does not make the output good again.
    EXPECT_EQ(-1, buffer.pubsync());
    EXPECT_TRUE(buffer.failed());
    std::fclose(file);
}
#endif

}  // namespace
}  // namespace vud
