/* The floor a run is measured against: opens each named file, reads its first 4 KiB
 * and closes it, in one process. Every run of the checker must at least do this much:
 * a build's tag lies in its first few hundred bytes, and the size comes with the open
 * file. The checker does more besides (it asks each name and each open file what it
 * is, searches the bytes and writes its report), so this is a floor, not a rival. */
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    static char block[4096];
    for (int i = 1; i < argc; ++i) {
        const int descriptor = open(argv[i], O_RDONLY);
        if (descriptor < 0) continue;
        if (read(descriptor, block, sizeof block) < 0) return 1;
        close(descriptor);
    }
    return 0;
}
