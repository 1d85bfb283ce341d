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
        << '\n';
    out << verdict.statusLine << '\n';
    out << "    " << verdict.verdictText << '\n';
}

void runVerification(Installation& installation, std::ostream& out) {
    const RunTally tally = verifyInstallation(installation, [&out](const ApplicationOutcome& outcome) {
        if (outcome.state != ApplicationOutcome::State::Judged) return;
        printApplicationBlock(out, kApplicationCatalogue[outcome.position].fileName, outcome.tag,
                              outcome.byteCount, outcome.verdict);
        // Each block is sent as soon as its application is judged, in one write: on a
        // share where every file takes a while to read, the user sees the report grow
        // application by application rather than wait for the whole of it. Within a
        // block nothing is flushed, and the summary leaves with the caller's flush.
        out.flush();
    });
    printRunSummary(tally, out);
}

}  // namespace vud
