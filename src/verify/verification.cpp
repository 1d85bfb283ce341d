#include "verify/verification.h"

#include <memory>

#include "catalogue/catalogue.h"
#include "probe/file_image.h"
#include "verify/summary.h"
#include "verify/verdict.h"

namespace vud {

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
        out << "Application: " << fileName << "\tVersion: " << printableTag(*tag)
            << "  Size: " << image->getByteCount() << std::endl;
        out << verdict.statusLine << std::endl;
        out << "    " << verdict.verdictText << std::endl;
        verdict.addTo(tally);
    }

    printRunSummary(tally, out);
}

}  // namespace vud
