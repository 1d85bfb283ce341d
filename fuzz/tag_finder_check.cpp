#include "tag_finder_check.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

namespace vud::fuzzing {
namespace {

// Runs that keep the finder busy: every one is thick with "v" and near-markers, so the
// blocks it passes over at once follow each other without a gap.
using namespace std::string_view_literals;
constexpr std::string_view kFillers[] = {
    "v"sv, "ve"sv, "ver"sv, "vver"sv, "verv"sv, "vve r"sv, "Ver v"sv, "ver\0v"sv, "v\0"sv, "."sv,
};

constexpr std::size_t kBlock = 256;

// Writes the data into one buffer of the image's capacity, kept from input to input.
class DataWriter {
public:
    void put(std::string_view bytes) {
        const std::size_t count = std::min(bytes.size(), kFileImageCapacity - size_);
        std::copy_n(bytes.begin(), count, buffer() + size_);
        size_ += count;
    }
    void putByte(std::uint8_t byte) { put(std::string_view(reinterpret_cast<const char*>(&byte), 1)); }

    void fill(std::size_t count) {
        count = std::min(count, kFileImageCapacity - size_);
        unsigned char* at = buffer() + size_;
        // One filler, then ever larger copies of what is written: runs of tens of
        // kilobytes are common.
        std::size_t written = std::min(count, filler_.size());
        std::copy_n(filler_.begin(), written, at);
        while (written < count) {
            const std::size_t more = std::min(written, count - written);
            std::copy_n(at, more, at + written);
            written += more;
        }
        size_ += count;
    }

    // Up to the next block edge, moved by `shift`: what is written next begins that far
    // before or after it.
    void fillToEdge(int shift) {
        std::size_t target = (size_ / kBlock + 1) * kBlock;
        while (static_cast<std::ptrdiff_t>(target) + shift < static_cast<std::ptrdiff_t>(size_)) target += kBlock;
        fill(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(target) + shift) - size_);
    }

    void setFiller(std::uint8_t choice) { filler_ = kFillers[choice % std::size(kFillers)]; }

    // Where each command left the data's end: the pieces a file read bit by bit arrives in.
    void endPiece() {
        if (pieceEnds_.empty() || pieceEnds_.back() != size_) pieceEnds_.push_back(size_);
    }
    const std::vector<std::size_t>& pieceEnds() const { return pieceEnds_; }

    const unsigned char* data() const { return buffer(); }
    std::size_t size() const { return size_; }

private:
    static unsigned char* buffer() {
        static const std::unique_ptr<unsigned char[]> image(new unsigned char[kFileImageCapacity]);
        return image.get();
    }

    std::size_t size_ = 0;
    std::string_view filler_ = kFillers[0];
    std::vector<std::size_t> pieceEnds_;
};

void decode(const std::uint8_t* input, std::size_t size, DataWriter& writer) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t op = input[i];
        // The operand of the last command of an input may be missing: it reads as 0.
        auto operand = [&]() -> std::uint8_t { return ++i < size ? input[i] : 0; };
        switch (op) {
            case 0xF0: writer.put("v"); break;
            case 0xF1: writer.put("ve"); break;
            case 0xF2: writer.put("ver"); break;
            case 0xF3: writer.put("ver "); break;
            case 0xF4: writer.fillToEdge(operand() % 16 - 8); break;
            case 0xF5: writer.setFiller(operand()); break;
            case 0xF6: writer.fill((operand() % std::size_t{16} + 1) * kBlock); break;
            case 0xF7: writer.putByte(operand()); break;
            default: writer.putByte(op); break;
        }
        writer.endPiece();
    }
}

}  // namespace

std::string compareWithPlainSearch(const unsigned char* data, std::size_t count,
                                   const std::optional<VersionTag>& tag, std::int32_t position,
                                   std::size_t nulBefore) {
    static_assert(kVersionTagMarkerLength == 4);
    std::int32_t expected = -1;
    for (std::size_t at = nulBefore; at + kVersionTagMarkerLength <= count; ++at) {
        if (data[at] == kVersionTagMarker[0] && data[at + 1] == kVersionTagMarker[1] &&
            data[at + 2] == kVersionTagMarker[2] && data[at + 3] == kVersionTagMarker[3]) {
            expected = static_cast<std::int32_t>(at);
            break;
        }
    }
    if (position != expected)
        return "tag found at " + std::to_string(position) + ", first marker at " + std::to_string(expected);
    if (tag.has_value() != (expected >= 0)) return "a tag without a position, or a position without a tag";
    if (!tag) return "";
    for (std::size_t i = 0; i < kVersionTagLength; ++i) {
        const std::size_t at = static_cast<std::size_t>(expected) + i;
        const char wanted = at < count ? static_cast<char>(data[at]) : '\0';
        if (tag->text[i] != wanted) return "tag byte " + std::to_string(i) + " differs from the data";
    }
    if (tag->text[kVersionTagLength] != '\0') return "tag not closed by a NUL";
    return "";
}

namespace {

// What compareWithPlainSearch says of what `search` found in data[0, count).
std::string compareFound(const unsigned char* data, std::size_t count, const VersionTagSearch& search) {
    if (!search.found()) return compareWithPlainSearch(data, count, std::nullopt, -1);
    return compareWithPlainSearch(data, count, versionTagAt(data, count, search.position()),
                                  static_cast<std::int32_t>(search.position()));
}

}  // namespace

std::string findTagFinderMismatch(const std::uint8_t* input, std::size_t size) {
    DataWriter writer;
    decode(input, size, writer);
    // A block of exactly the data's size: a read past the data is a read past an
    // allocation, which the address sanitizer stops.
    const std::unique_ptr<unsigned char[]> data(new unsigned char[writer.size()]);
    std::copy_n(writer.data(), writer.size(), data.get());
    VersionTagSearch atOnce;
    atOnce.extend(data.get(), writer.size());
    const std::string whole = compareFound(data.get(), writer.size(), atOnce);
    if (!whole.empty()) return whole;

    // The same search over the same data given piece by piece, as the loader reads it.
    VersionTagSearch search;
    for (std::size_t end : writer.pieceEnds()) search.extend(data.get(), end);
    search.extend(data.get(), writer.size());
    const std::string pieces = compareFound(data.get(), writer.size(), search);
    return pieces.empty() ? "" : "piece by piece: " + pieces;
}

}  // namespace vud::fuzzing
