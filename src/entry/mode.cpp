#include "entry/mode.h"

namespace vud {

Mode chooseMode(int argumentCount, const char* const* arguments) {
    if (argumentCount < 2) return Mode::Verification;
    if (arguments[1][0] == '?') return Mode::Listing;
    return Mode::Nothing;
}

}  // namespace vud
