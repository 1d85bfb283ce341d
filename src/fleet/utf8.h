// UTF-8, the encoding of everything the fleet checker writes.
#pragma once

#include <string>
#include <string_view>

namespace vud::fleet {

void appendUtf8(std::string& out, char32_t character);

bool isUtf8(std::string_view bytes);

// `bytes` when they are UTF-8; otherwise each byte that is not part of a valid
// sequence becomes U+FFFD, so that a Linux file name in another encoding still shows.
std::string asUtf8(std::string_view bytes);

}  // namespace vud::fleet
