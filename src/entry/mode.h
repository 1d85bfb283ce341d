// The whole command line: no argument verifies, a first argument that begins with
// "?" lists the catalogue, anything else does nothing. Later arguments are ignored.
#pragma once

namespace vud {

enum class Mode { Verification, Listing, Nothing };

Mode chooseMode(int argumentCount, const char* const* arguments);

}  // namespace vud
