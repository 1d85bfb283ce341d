#include "fleet/input/scan.h"

#include "catalogue/catalogue.h"
#include "verify/summary.h"
#include "verify/verdict.h"

namespace vud::fleet {

std::string hostOf(const std::string& statusLine) {
    return statusLine.compare(0, kStatusPrefix.size(), kStatusPrefix) == 0 ? statusLine.substr(kStatusPrefix.size())
                                                                            : statusLine;
}

ApplicationRecord applicationRecordOf(const ApplicationOutcome& outcome) {
    switch (outcome.state) {
        case ApplicationOutcome::State::NotFound:
            return catalogueApplication(outcome.position, ApplicationState::NotFound);
        case ApplicationOutcome::State::NoTag: return catalogueApplication(outcome.position, ApplicationState::NoTag);
        case ApplicationOutcome::State::Judged: break;
    }
    ApplicationRecord record = catalogueApplication(outcome.position, ApplicationState::Block);
    record.tag = printableTag(outcome.tag);
    record.size = outcome.byteCount;
    record.generation = hostGenerationNumber(outcome.verdict.generation.generationIndex);
    record.host = hostOf(outcome.verdict.statusLine);
    record.verdict = outcome.verdict.kind;
    record.text = outcome.verdict.verdictText;
    if (!record.text.empty() && record.text.back() == '\n') record.text.pop_back();
    return record;
}

void applyTally(const RunTally& tally, InstallationRecord& record) {
    record.counts = tally.verdicts;
    record.notFound = tally.notFoundCount;
    record.mixed = mixedGenerationCount(tally) > 1;
    record.checkerOutOfDate = tally.count(VerdictKind::Newer) > 0;
    record.status = statusOf(record);
}

InstallationRecord scanInstallation(Installation& installation, const std::string& path,
                                    const EachApplication& each) {
    InstallationRecord record;
    record.installation = path;
    record.source = Source::Folder;
    record.applications.reserve(kApplicationCount);
    const RunTally tally = verifyInstallation(installation, [&record, &each](const ApplicationOutcome& outcome) {
        record.applications.push_back(applicationRecordOf(outcome));
        if (each) each(record, record.applications.back());
        if (outcome.state == ApplicationOutcome::State::NoTag) ++record.damaged;
    });
    applyTally(tally, record);
    return record;
}

}  // namespace vud::fleet
