// A consumer of every byte of an application file, in order, fed by the very load that
// finds the file's tag: a file is opened once and no byte of it is read twice. The fleet
// checker digests files this way; the checker itself never asks for more than the tag.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vud {

// What the load knows of a file once its tag search is over: the bytes held from the
// file's start, where the first tag in them begins (VersionTagSearch::kNone: none), and
// the size the open file reported.
struct FileHead {
    const unsigned char* data;
    std::size_t heldCount;
    std::size_t tagPosition;
    std::int64_t reportedSize;
};

// How the bytes given to a sink ended.
enum class WholeRead {
    Steady,            // every byte of the file, which stayed as it was from open to end
    ChangedWhileRead,  // its size or its times moved during the read: the bytes given may
                       // be of no version the file ever had
    Failed,            // a read failed part way: the file is not loaded at all
};

class ByteSink {
public:
    virtual ~ByteSink() = default;

    // Asked once a file, when the tag search is over: whether the sink wants the file
    // whole. When it does not, the load reads no more than without a sink, and neither
    // add() nor end() follow.
    virtual bool wantsWholeFile(const FileHead& head) = 0;

    // The file's bytes from its start, in order, in pieces of any size.
    virtual void add(const unsigned char* bytes, std::size_t count) = 0;

    // The last call for the file.
    virtual void end(WholeRead how) = 0;
};

}  // namespace vud
