// The checker's whole knowledge of the Vudmark suite: which applications exist,
// the file and current release of each, the host generations, and the exact size
// of every correct production build. Constant data; a new release of the suite
// means a new build of the checker.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Index into kGenerationLabel. Size row r belongs to generation index r + 2.
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

extern const char kGenerationLabel[kGenerationLabelCount][kGenerationLabelWidth];

// Exact byte size of the correct production build: [size row][catalogue position].
extern const std::int32_t kExpectedSizeTable[kSizeRowCount][kApplicationCount];

inline constexpr int sizeRowOf(int generation) { return generation - 2; }
inline constexpr int generationOfSizeRow(int sizeRow) { return sizeRow + 2; }

}  // namespace vud
