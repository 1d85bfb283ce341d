#include "probe/text.h"

namespace vud {

int textLength(const char* text) {
    int length = 0;
    while (text[length] != '\0') ++length;
    return length;
}

void copyText(const char* source, char* destination, std::size_t destinationSize) {
    if (destinationSize == 0) return;
    std::size_t length = static_cast<std::size_t>(textLength(source));
    if (length > destinationSize - 1) length = destinationSize - 1;
    for (std::size_t i = 0; i < length; ++i) destination[i] = source[i];
    destination[length] = '\0';
}

}  // namespace vud
