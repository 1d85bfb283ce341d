#include "probe/file_image.h"

#include <algorithm>
#include <array>

#include "probe/open_file.h"

namespace vud {

namespace {

// A file whose content contradicts the size it reports is counted to its end, but no
// further than this: a file that never ends (a /proc file, a file system of another
// program's making) must not stall the run. Beyond it the count is a lower bound.
constexpr std::int64_t kLongestCount = std::int64_t{64} << 20;

// Reads on from `count` bytes to the end of the file, or to kLongestCount, throwing the
// bytes away. Returns the count reached; -1 on a read error.
std::int64_t countOn(OpenFile& file, std::int64_t count) {
    std::array<unsigned char, kLargestReadBlock> discarded;
    while (count < kLongestCount) {
        const auto wanted = static_cast<std::size_t>(
            std::min(static_cast<std::int64_t>(discarded.size()), kLongestCount - count));
        const std::int64_t got = file.read(discarded.data(), wanted);
        if (got < 0) return -1;
        if (got == 0) break;
        count += got;
    }
    return count;
}

}  // namespace

bool FileImage::load(const char* name, ByteSink* sink) {
    OpenFile file;
    if (!file.open(name)) return false;
    const std::int64_t reported = file.reportedSize();
    // A count cut short by a read error is no size: the record is empty again.
    const auto unreadable = [this] {
        reset();
        return false;
    };

    VersionTagSearch search;
    std::size_t held = 0;
    bool ended = false;
    std::size_t block = kFirstReadBlock;
    for (;;) {
        std::size_t wanted = block;
        if (search.found()) {
            // Only the first tag counts: the bytes behind it can change nothing in the
            // report, so reading stops once its 12 bytes are held.
            const std::size_t tagEnd = search.position() + kVersionTagLength;
            if (held >= tagEnd) break;
            wanted = tagEnd - held;
        }
        wanted = std::min(wanted, kFileImageCapacity - held);
        if (wanted == 0) break;  // the image is full
        const std::int64_t got = file.read(contents_ + held, wanted);
        if (got < 0) return unreadable();
        if (got == 0) {
            ended = true;
            break;
        }
        held += static_cast<std::size_t>(got);
        search.extend(contents_, held);
        block = nextReadBlock(block);
    }

    std::int64_t count = static_cast<std::int64_t>(held);
    if (sink != nullptr && sink->wantsWholeFile(FileHead{contents_, held, search.position(), reported})) {
        sink->add(contents_, held);
        if (!readWhole(file, *sink, reported, ended, count)) return unreadable();
    } else if (!ended) {
        // Reading stopped short of the end. The reported size stands only if the file's
        // last byte lies there: a read of two bytes from it must get exactly one. A file
        // that has run past it already, is being replaced, or sits on a file system that
        // reports sizes wrongly fails that, and only its end then tells its size.
        bool sizeConfirmed = false;
        if (count <= reported) {
            unsigned char last[2];
            const std::int64_t got = file.readAt(reported - 1, last, sizeof last);
            if (got < 0) return unreadable();
            sizeConfirmed = got == 1;
        }
        if (sizeConfirmed) {
            count = reported;
        } else {
            count = countOn(file, count);
            if (count < 0) return unreadable();
        }
    }
    byteCount_ = count;
    heldCount_ = held;
    tagPosition_ = search.position();
    return true;
}

bool FileImage::readWhole(OpenFile& file, ByteSink& sink, std::int64_t reported, bool ended, std::int64_t& count) {
    if (!ended && !wholeReadBuffer_) wholeReadBuffer_ = std::make_unique<unsigned char[]>(kWholeReadBlock);
    while (!ended) {
        const std::int64_t got = file.read(wholeReadBuffer_.get(), kWholeReadBlock);
        if (got < 0) {
            sink.end(WholeRead::Failed);
            return false;
        }
        if (got == 0) break;
        sink.add(wholeReadBuffer_.get(), static_cast<std::size_t>(got));
        count += got;
        // A read that stops short exactly at the size reported at open, of a file whose
        // size and times are still those of the open, met the end: asking once more for
        // the 0 that says so would cost a request on a share for every file.
        if (count == reported && static_cast<std::size_t>(got) < kWholeReadBlock && file.unchangedSinceOpen()) {
            sink.end(WholeRead::Steady);
            return true;
        }
        if (count > reported) {
            // Longer than it was at open: whatever the sink has is of no one version of the
            // file. Its size is counted on as without a sink.
            sink.end(WholeRead::ChangedWhileRead);
            count = countOn(file, count);
            return count >= 0;
        }
    }
    sink.end(count == reported && file.unchangedSinceOpen() ? WholeRead::Steady : WholeRead::ChangedWhileRead);
    return true;
}

}  // namespace vud
