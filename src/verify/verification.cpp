#include "verify/verification.h"

#include "catalogue/catalogue.h"
#include "verify/summary.h"

namespace vud {

RunTally verifyInstallation(Installation& installation,
                            const std::function<void(const ApplicationOutcome&)>& onApplication) {
    RunTally tally;
    for (int position = 0; position < kApplicationCount; ++position) {
        ApplicationOutcome outcome;
        outcome.position = position;
        const std::optional<ApplicationBytes> file =
            installation.load(position, kApplicationCatalogue[position].fileName);
        if (!file) {
            ++tally.notFoundCount;
            onApplication(outcome);
            continue;
        }
        if (file->tagPosition == VersionTagSearch::kNone) {
            outcome.state = ApplicationOutcome::State::NoTag;  // reported nowhere
            onApplication(outcome);
            continue;
        }
        outcome.state = ApplicationOutcome::State::Judged;
        outcome.tag = versionTagAt(file->data, file->heldCount, file->tagPosition);
        outcome.byteCount = file->byteCount;
        outcome.verdict = judgeApplication(position, outcome.tag, file->byteCount);
        outcome.verdict.addTo(tally);
        onApplication(outcome);
    }
    return tally;
}

void printApplicationBlock(std::ostream& out, const char* fileName, const VersionTag& tag,
                           std::int64_t byteCount, const Verdict& verdict) {
    out << "Application: " << fileName << "\tVersion: " << printableTag(tag) << "  Size: " << byteCount
        << std::endl;
    out << verdict.statusLine << std::endl;
    out << "    " << verdict.verdictText << std::endl;
}

void runVerification(Installation& installation, std::ostream& out) {
    const RunTally tally = verifyInstallation(installation, [&out](const ApplicationOutcome& outcome) {
        if (outcome.state == ApplicationOutcome::State::Judged)
            printApplicationBlock(out, kApplicationCatalogue[outcome.position].fileName, outcome.tag,
                                  outcome.byteCount, outcome.verdict);
    });
    printRunSummary(tally, out);
}

}  // namespace vud
