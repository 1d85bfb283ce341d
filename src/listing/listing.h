// The listing report: the catalogue printed once for each of eight host generations,
// telling what a correct installation of the suite consists of.
#pragma once

#include "catalogue/catalogue.h"

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

inline constexpr int kListedGenerationCount = 8;

// In print order. "NA", "FWP 3.0.x.x" and "FWP 12.0.x.x" title no section, and size
// row 8 is never printed. Both FWP 7.0 ranges carry generation number 7 and differ
// only in their size rows; the FWP 7.1 to 7.3 builds carry 6.
inline constexpr ListedGeneration kListedGenerations[kListedGenerationCount] = {
    // generation              generationNumber  sizeRow
    {kGenerationFwp31,         "2",              0},  // "FWP 3.1.x.x or FWP 3.2.x.x"
    {kGenerationFwp70Later,    "7",              1},  // "FWP 7.00.00.19 & later"
    {kGenerationFwp70Earlier,  "7",              2},  // "FWP 7.0.0.0 - 7.00.00.16"
    {kGenerationFwp71,         "6",              3},  // "FWP 7.1.x.x or FWP 7.2.x.x or ..."
    {kGenerationFwp80,         "8",              4},  // "FWP 8.0.x.x"
    {kGenerationFwp90,         "9",              5},  // "FWP 9.0.x.x"
    {kGenerationFwp100,        "10",             6},  // "FWP 10.0.x.x"
    {kGenerationFwp110,        "11",             7},  // "FWP 11.0.x.x"
};

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
