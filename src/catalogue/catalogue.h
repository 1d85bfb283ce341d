// The checker's whole knowledge of the Vudmark suite: which applications exist,
// the file and current release of each, the host generations, and the exact size
// of every correct production build. Constant data; a new release of the suite
// means a new build of the checker.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace vud {

inline constexpr char kCheckerVersion[] = "2.3.0";
inline constexpr char kCheckerDate[] = "Mar 15, 2013";

inline constexpr int kApplicationCount = 41;
inline constexpr int kGenerationLabelCount = 11;
inline constexpr int kSizeRowCount = 9;

// Field widths, NUL included; the rest of each field is NUL.
inline constexpr std::size_t kDisplayNameWidth = 50;
inline constexpr std::size_t kFileNameWidth = 12;
inline constexpr std::size_t kReleaseCodeWidth = 8;
inline constexpr std::size_t kGenerationLabelWidth = 42;

// "F.<major>.<minor>" and three NULs. The F stands where a version tag carries the
// generation number and is never compared; bytes 5 and 6 are compared as NUL.
using ReleaseCode = char[kReleaseCodeWidth];

struct ApplicationEntry {
    char displayName[kDisplayNameWidth];  // plain words, printed by the listing only
    char fileName[kFileNameWidth];        // bare name, opened in the working folder
    ReleaseCode releaseCode;              // the release that is current
};

// Indexed by catalogue position 0 to 40; both modes walk it in this order.
extern const ApplicationEntry kApplicationCatalogue[kApplicationCount];

// Index into kHostGenerations. Size row r belongs to generation index r + 2.
enum GenerationIndex : int {
    kGenerationUnrecognized = 0,  // "NA"
    kGenerationFwp30 = 1,         // never selected by either mode
    kGenerationFwp31 = 2,         // generation number 2
    kGenerationFwp70Later = 3,    // generation number 7, size row 1
    kGenerationFwp70Earlier = 4,  // generation number 7, size row 2
    kGenerationFwp71 = 5,         // generation number 6
    kGenerationFwp80 = 6,
    kGenerationFwp90 = 7,
    kGenerationFwp100 = 8,
    kGenerationFwp110 = 9,
    kGenerationFwp120 = 10,
};

using GenerationLabel = char[kGenerationLabelWidth];

inline constexpr int kNoSizeRow = -1;

// Everything the checker knows of one host generation. Each mode reads the columns it
// needs: the verdict reads tags by generationNumber and sizes by sizeRow, the status
// line, the summary and the listing print the label, the listing prints the listed
// generations, and vudsample takes a host by its hostName.
struct HostGeneration {
    GenerationLabel label;
    char generationNumber[3];  // what its builds carry right after "ver "; empty: none
    int sizeRow;               // row of kExpectedSizeTable, or kNoSizeRow
    bool listed;               // the listing has a section for it
    const char* hostName;      // the host release as a user names it; empty: none
};

// Indexed by GenerationIndex. Both FWP 7.0 ranges carry generation number 7 and differ
// only in their size rows; a tag saying 7 is read as the later range, the first of the
// two. The builds for FWP 7.1 to 7.3 carry 6.
inline constexpr HostGeneration kHostGenerations[kGenerationLabelCount] = {
    // label                                        number  sizeRow     listed  hostName
    {"NA",                                          "",     kNoSizeRow, false,  ""},
    {"FWP 3.0.x.x",                                 "",     kNoSizeRow, false,  "3.0"},
    {"FWP 3.1.x.x or FWP 3.2.x.x",                  "2",    0,          true,   "3.1"},
    {"FWP 7.00.00.19 & later",                      "7",    1,          true,   "7.0"},
    {"FWP 7.0.0.0 - 7.00.00.16",                    "7",    2,          true,   "7.0-early"},
    {"FWP 7.1.x.x or FWP 7.2.x.x or FWP 7.3.x.x",   "6",    3,          true,   "7.1"},
    {"FWP 8.0.x.x",                                 "8",    4,          true,   "8.0"},
    {"FWP 9.0.x.x",                                 "9",    5,          true,   "9.0"},
    {"FWP 10.0.x.x",                                "10",   6,          true,   "10.0"},
    {"FWP 11.0.x.x",                                "11",   7,          true,   "11.0"},
    {"FWP 12.0.x.x",                                "12",   8,          false,  "12.0"},
};

// The number that builds for the host generation at `index` carry after "ver " (2, 6
// to 12), none for a generation no tag names.
constexpr std::optional<int> hostGenerationNumber(int index) {
    const char* digit = kHostGenerations[index].generationNumber;
    if (*digit == '\0') return std::nullopt;
    int number = 0;
    for (; *digit != '\0'; ++digit) number = number * 10 + (*digit - '0');
    return number;
}

// The numbers a tag can name, each once, in ascending order: 2 and 6 to 12.
constexpr bool namesAGeneration(int number) {
    for (int index = 0; index < kGenerationLabelCount; ++index)
        if (hostGenerationNumber(index) == number) return true;
    return false;
}
inline constexpr int kLargestGenerationNumber = 99;  // two digits after "ver " at most
constexpr int generationNumberCount() {
    int count = 0;
    for (int number = 0; number <= kLargestGenerationNumber; ++number) count += namesAGeneration(number);
    return count;
}
using GenerationNumbers = std::array<int, generationNumberCount()>;
constexpr GenerationNumbers generationNumbers() {
    GenerationNumbers numbers{};
    std::size_t next = 0;
    for (int number = 0; number <= kLargestGenerationNumber; ++number)
        if (namesAGeneration(number)) numbers[next++] = number;
    return numbers;
}
inline constexpr GenerationNumbers kGenerationNumbers = generationNumbers();

// Exact byte size of the correct production build: [size row][catalogue position].
extern const std::int32_t kExpectedSizeTable[kSizeRowCount][kApplicationCount];

// Size row r belongs to generation index r + 2, every size row to one generation, and
// a generation that a tag can name has the sizes to judge its builds by.
constexpr bool sizeRowsFollowTheGenerations() {
    int rows = 0;
    for (int index = 0; index < kGenerationLabelCount; ++index) {
        const int row = kHostGenerations[index].sizeRow;
        const bool named = kHostGenerations[index].generationNumber[0] != '\0';
        if (named != (row != kNoSizeRow)) return false;
        if (row == kNoSizeRow) continue;
        if (row != index - 2) return false;
        ++rows;
    }
    return rows == kSizeRowCount;
}
static_assert(sizeRowsFollowTheGenerations());

}  // namespace vud
