#include "listing/listing.h"

#include "probe/text.h"

#include <iomanip>

namespace vud {
namespace {

// Section i titles GenerationIndex i + 2 and shows SizeRow i: the table must keep
// the catalogue's relation between the two.
constexpr bool listedGenerationsFollowTheCatalogue() {
    for (int position = 0; position < kListedGenerationCount; ++position) {
        const ListedGeneration& row = kListedGenerations[position];
        if (row.generation != position + 2) return false;
        if (row.sizeRow != position) return false;
    }
    return true;
}
static_assert(listedGenerationsFollowTheCatalogue());
static_assert(kListedGenerationCount == 8);
// A two-digit generation number and the four characters after the F fill six.
static_assert(kListedVersionCodeWidth == 2 + 4 + 1);

// Column widths of the listing. The header's first column is two
// narrower than the rows', so "FPL(ma) Name" and the file names both end at column 51.
constexpr int kHeaderNameWidth = 38;
constexpr int kHeaderFileWidth = 12;
constexpr int kRowNameWidth = 40;
constexpr int kRowFileWidth = 10;
constexpr int kRowCodeWidth = 7;

void printTitle(std::ostream& out, const ListedGeneration& listed) {
    out << "Vudmark for FrameWorks Plus version:  " << kHostGenerations[listed.generation].label << '\n';
    // Exactly one empty line under the title.
    out << "Vudmark:  Application Listing    Version: " << kCheckerVersion << " dated: " << kCheckerDate
        << "\n\n";
}

// "Verion" is the report's own spelling.
void printColumnHeader(std::ostream& out) {
    out << std::setw(kHeaderNameWidth) << "Application Name" << " "
        << std::setw(kHeaderFileWidth) << "FPL(ma) Name" << "    Verion #"
        << "      Size  (bytes) \n";
}

// The size has no width: five digits end the row at column 80, six at 81.
void printApplicationRow(std::ostream& out, const ListedGeneration& listed, int position) {
    const ApplicationEntry& entry = kApplicationCatalogue[position];
    const ListedVersionCode code = listedVersionCode(entry.releaseCode, listed.generationNumber);
    out << std::setw(kRowNameWidth) << entry.displayName << " "
        << std::setw(kRowFileWidth) << entry.fileName << "  Version "
        << std::setw(kRowCodeWidth) << code.text << " Size: "
        << kExpectedSizeTable[listed.sizeRow][position] << '\n';
}

void printSection(std::ostream& out, const ListedGeneration& listed) {
    printTitle(out, listed);
    // Set after the titles, which carry no width; it stays set for the process,
    // and setting it again in later sections changes nothing.
    out << std::left;
    printColumnHeader(out);
    for (int position = 0; position < kApplicationCount; ++position)
        printApplicationRow(out, listed, position);
    // Four empty lines close the section.
    out << "\n\n\n\n";
}

}  // namespace

ListedVersionCode listedVersionCode(const char* releaseCode, const char* generationNumber) {
    ListedVersionCode code{};
    if (textLength(generationNumber) == 1) {
        copyText(releaseCode, code.text, sizeof code.text);
        code.text[0] = generationNumber[0];
        return code;
    }
    // Two digits push the release one place right: they replace the F and the four
    // characters after it follow. The field was zeroed, so the NUL is already there.
    code.text[0] = generationNumber[0];
    code.text[1] = generationNumber[1];
    for (int i = 1; i <= 4; ++i) code.text[i + 1] = releaseCode[i];
    return code;
}

// Nothing here flushes: the listing is worked out from the catalogue in a moment, with
// no file to wait for, so nobody watches it arrive line by line. The caller's one
// flush at the end sends it whole, in one write where the stream's buffer holds it.
void printListing(std::ostream& out) {
    for (const ListedGeneration& listed : kListedGenerations) printSection(out, listed);
}

}  // namespace vud
