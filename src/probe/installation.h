// Where a verification run finds the application files: an installation yields, for
// each catalogue position, the bytes of that application's file that it holds and the
// file's size, or nothing when the application is not found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "probe/byte_sink.h"
#include "probe/version_tag.h"

namespace vud {

// One application file as the run sees it. `data[0, heldCount)` holds the file from its
// start at least as far as the end of its first version tag, or the whole file, or the
// image's capacity, whichever comes first. `byteCount` is the whole file's size.
// `tagPosition` is where the first version tag in the bytes held begins, or
// VersionTagSearch::kNone: the load finds it as it reads, and the run judges that tag
// without searching the bytes again.
struct ApplicationBytes {
    const unsigned char* data;
    std::size_t heldCount;
    std::int64_t byteCount;
    std::size_t tagPosition;
};

class Installation {
public:
    virtual ~Installation() = default;

    // The file of the application at catalogue `position` with the name `fileName`, or
    // nothing when it is missing, unreadable or not a regular file. The bytes stay valid
    // until the next call.
    virtual std::optional<ApplicationBytes> load(int position, const char* fileName) = 0;

    // Every file that load() finds from then on is offered to `sink`, which may take it
    // whole (byte_sink.h); none, as at first: only what the report needs is read. The
    // sink outlives the loads.
    void setByteSink(ByteSink* sink) { sink_ = sink; }

protected:
    ByteSink* sink_ = nullptr;
};

}  // namespace vud
