#include "fleet/generated_installation.h"

#include <fstream>

#include "catalogue/catalogue.h"

namespace vud::testing {
namespace {

// Filler as application files have (CR LF, 0x1A, NUL) and never a "ver ".
std::string filler(std::size_t size) {
    static constexpr char kFiller[] = "MA\r\n\x1a\0FWP-app-data 0123456789 ";
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = kFiller[i % (sizeof kFiller - 1)];
    return bytes;
}

// The size rows of the generations a tag may name, and the generation's text.
struct Generation {
    const char* text;
    int sizeRow;  // -1: no size row (an unrecognised generation)
};
constexpr Generation kGenerations[] = {
    {"2", 0}, {"7", 1}, {"7", 2}, {"6", 3}, {"8", 4}, {"9", 5}, {"10", 6}, {"11", 7}, {"12", 8}, {"5", -1}, {"1x", -1},
};

char stepped(char digit, int step) {
    const int value = (digit - '0' + step + 10) % 10;
    return static_cast<char>('0' + value);
}

std::string tagFor(std::mt19937& random, int position, const Generation& generation, bool correct) {
    const char* code = kApplicationCatalogue[position].releaseCode;
    std::string major(1, code[2]);
    std::string minor(1, code[4]);
    std::string suffix;
    if (!correct) {
        switch (random() % 9) {
            case 0: major = "b"; break;
            case 1: major = std::string(1, stepped(code[2], random() % 2 ? 1 : -1)); break;
            case 2: minor = std::string(1, stepped(code[4], random() % 2 ? 1 : -1)); break;
            case 3: suffix = "r"; break;
            case 4: suffix = random() % 2 ? "r2" : "t"; break;
            case 5: minor = std::string(1, stepped(code[4], 1)); suffix = random() % 2 ? "r" : "x"; break;
            case 6: suffix = "x"; break;
            case 7: suffix = std::string(1, static_cast<char>(0x80 + random() % 0x80)); break;
            default: suffix = std::string(1, static_cast<char>(1 + random() % 0x1F)); break;
        }
    }
    std::string tag = std::string("ver ") + generation.text + "." + major + "." + minor + suffix;
    if (tag.size() > 12) tag.resize(12);
    return tag + '\0';
}

GeneratedFile fileFor(std::mt19937& random, int position, const Generation& generation, bool correct) {
    // A wrong build is, in turn, a right release of the wrong size.
    const bool wrongSize = !correct && random() % 3 == 0;
    const std::string tag = tagFor(random, position, generation, correct || wrongSize);
    std::int64_t size = 20000 + random() % 100000;
    if (generation.sizeRow >= 0) {
        size = kExpectedSizeTable[generation.sizeRow][position];
        if (wrongSize) size += random() % 2 ? 1 : -1;
    }
    const std::size_t offset = 16 + random() % 4000;
    std::string bytes = filler(offset + tag.size() + random() % 200);
    bytes.replace(offset, tag.size(), tag);
    return {position, std::move(bytes), size};
}

}  // namespace

std::vector<GeneratedFile> generateInstallation(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<GeneratedFile> files;
    if (seed % 10 == 1) {
        for (int position = 0; position < kApplicationCount; position += 3)
            files.push_back({position, filler(3000), 3000});
        return files;
    }
    const bool allCorrect = seed % 10 == 0;
    const Generation& main = kGenerations[random() % 9];
    for (int position = 0; position < kApplicationCount; ++position) {
        if (allCorrect) {
            files.push_back(fileFor(random, position, main, true));
            continue;
        }
        switch (random() % 8) {
            case 0: break;  // not found
            case 1: files.push_back({position, filler(5000), 5000}); break;  // no tag
            case 2: files.push_back(fileFor(random, position, kGenerations[random() % 11], random() % 2 == 0)); break;
            case 3: files.push_back(fileFor(random, position, main, false)); break;
            default: files.push_back(fileFor(random, position, main, true)); break;
        }
    }
    return files;
}

std::vector<GeneratedFile> correctInstallation(int generation) {
    std::vector<GeneratedFile> files;
    const int row = generation == 2 ? 0 : generation == 7 ? 1 : generation == 6 ? 3 : generation - 4;
    for (int position = 0; position < kApplicationCount; ++position) {
        const std::string tag =
            "ver " + std::to_string(generation) + (kApplicationCatalogue[position].releaseCode + 1) + '\0';
        std::string bytes = filler(300);
        bytes.replace(100, tag.size(), tag);
        files.push_back({position, std::move(bytes), kExpectedSizeTable[row][position]});
    }
    return files;
}

void putInto(MemoryInstallation& installation, const std::vector<GeneratedFile>& files) {
    for (const GeneratedFile& file : files) installation.put(file.position, file.bytes, file.byteCount);
}

void writeInto(const std::filesystem::path& folder, const std::vector<GeneratedFile>& files) {
    std::filesystem::create_directories(folder);
    for (const GeneratedFile& file : files) {
        std::string bytes = file.bytes;
        bytes.resize(static_cast<std::size_t>(file.byteCount), ' ');
        std::ofstream(folder / kApplicationCatalogue[file.position].fileName, std::ios::binary) << bytes;
    }
}

std::string applicationTotalLines(int from, const std::string& counts) {
    std::string lines;
    for (int position = from; position < kApplicationCount; ++position) {
        std::string line = std::string("  ") + kApplicationCatalogue[position].fileName;
        line.resize(14, ' ');
        lines += line + counts + "\n";
    }
    return lines;
}

}  // namespace vud::testing
