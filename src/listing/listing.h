// The listing report: the catalogue printed once for each of eight host generations,
// telling what a correct installation of the suite consists of.
#pragma once

#include "catalogue/catalogue.h"

#include <array>
#include <cstddef>
#include <ostream>

namespace vud {

// One section of the listing: the host generation that titles it, the generation
// number its correct builds carry after "ver ", and the size row it shows.
struct ListedGeneration {
    int generation;                // GenerationIndex of the section's title label
    const char* generationNumber;  // one or two digits, as written in the version tag
    int sizeRow;                   // row of kExpectedSizeTable whose sizes are listed
};

// The host generations that the catalogue marks as listed: "NA", "FWP 3.0.x.x" and
// "FWP 12.0.x.x" title no section, and size row 8 is never printed.
inline constexpr int kListedGenerationCount = [] {
    int count = 0;
    for (const HostGeneration& generation : kHostGenerations) count += generation.listed;
    return count;
}();

// In print order, which is the catalogue's order of host generations. Both FWP 7.0
// ranges carry generation number 7 and differ only in their size rows; the FWP 7.1 to
// 7.3 builds carry 6.
inline constexpr std::array<ListedGeneration, kListedGenerationCount> kListedGenerations = [] {
    std::array<ListedGeneration, kListedGenerationCount> listed{};
    int section = 0;
    for (int index = 0; index < kGenerationLabelCount; ++index)
        if (kHostGenerations[index].listed)
            listed[section++] = {index, kHostGenerations[index].generationNumber, kHostGenerations[index].sizeRow};
    return listed;
}();

// At most six characters and a NUL; the rest of the field is NUL.
inline constexpr std::size_t kListedVersionCodeWidth = 7;

struct ListedVersionCode {
    char text[kListedVersionCodeWidth];
};

// The text a correct production build carries after "ver ": the release code with
// the generation number in place of its F ("F.1.7" and "2" give "2.1.7"; "F.1.7" and
// "10" give "10.1.7"). A generationNumber of one character is one digit; any longer
// one is taken as two digits.
ListedVersionCode listedVersionCode(const char* releaseCode, const char* generationNumber);

// Writes the whole report to `out`, from the catalogue alone: it opens no file. Sets
// left justification on `out` and leaves it set. Never fails; write errors on `out`
// are not tested.
void printListing(std::ostream& out);

}  // namespace vud
