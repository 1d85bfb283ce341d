// An output stream's buffer that keeps what is written and notes where each flush
// falls: the tests of a report see exactly when the program would send its text.
#pragma once

#include <cstddef>
#include <sstream>
#include <vector>

namespace vud::testing {

class FlushRecorder : public std::stringbuf {
public:
    std::vector<std::size_t> flushedAt;  // the length of the text at each flush

protected:
    int sync() override {
        flushedAt.push_back(view().size());
        return 0;
    }
};

}  // namespace vud::testing
