// Prints the loader's first and largest read blocks, in bytes, for bench/compare.sh:
// the bounds it sets on the bytes a run may read come from the code itself.
#include <cstdio>

#include "probe/file_image.h"

int main() {
    std::printf("%zu %zu\n", vud::kFirstReadBlock, vud::kLargestReadBlock);
    return 0;
}
