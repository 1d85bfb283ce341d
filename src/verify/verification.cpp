#include "verify/verification.h"

#include <memory>

#include "catalogue/catalogue.h"
#include "probe/file_image.h"
#include "verify/summary.h"
#include "verify/verdict.h"

namespace vud {

void printApplicationBlock(std::ostream& out, const char* fileName, const VersionTag& tag,
                           std::int64_t byteCount, const Verdict& verdict) {
    out << "Application: " << fileName << "\tVersion: " << printableTag(tag) << "  Size: " << byteCount
        << std::endl;
    out << verdict.statusLine << std::endl;
    out << "    " << verdict.verdictText << std::endl;
}

void runVerification(std::ostream& out) {
    RunTally tally;
    // One image serves every application of the run; it is too large for the stack.
    const auto image = std::make_unique<FileImage>();

    for (int position = 0; position < kApplicationCount; ++position) {
        const char* fileName = kApplicationCatalogue[position].fileName;
        image->reset();
        if (image->load(fileName) == 0) {
            ++tally.notFoundCount;
            continue;
        }
        std::int32_t tagPosition = -1;
        const std::optional<VersionTag> tag = image->findVersionTag(tagPosition);
        if (!tag) continue;  // a file without a tag is reported nowhere

        const Verdict verdict = judgeApplication(position, *tag, image->getByteCount());
        printApplicationBlock(out, fileName, *tag, image->getByteCount(), verdict);
        verdict.addTo(tally);
    }

    printRunSummary(tally, out);
}

}  // namespace vud
