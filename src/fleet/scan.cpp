#include "fleet/scan.h"

#include "catalogue/catalogue.h"
#include "verify/summary.h"
#include "verify/verdict.h"

namespace vud::fleet {

VerdictKind verdictKindOf(TallyCounter counter) {
    if (counter == &RunTally::correctCount) return VerdictKind::Correct;
    if (counter == &RunTally::sizeMismatchCount) return VerdictKind::SizeMismatch;
    if (counter == &RunTally::betaCount) return VerdictKind::Beta;
    if (counter == &RunTally::testCount) return VerdictKind::Test;
    if (counter == &RunTally::preReleaseCount) return VerdictKind::PreRelease;
    if (counter == &RunTally::olderCount) return VerdictKind::Older;
    if (counter == &RunTally::newerCount) return VerdictKind::Newer;
    return VerdictKind::Unrecognized;
}

std::optional<int> generationNumberOf(const GenerationReading& reading) {
    switch (reading.generationIndex) {
        case kGenerationFwp31: return 2;
        case kGenerationFwp70Later:
        case kGenerationFwp70Earlier: return 7;
        case kGenerationFwp71: return 6;
        case kGenerationFwp80: return 8;
        case kGenerationFwp90: return 9;
        case kGenerationFwp100: return 10;
        case kGenerationFwp110: return 11;
        case kGenerationFwp120: return 12;
        default: return std::nullopt;
    }
}

namespace {

constexpr char kStatusPrefix[] = "   STATUS: Application Valid for: ";

}  // namespace

std::string hostOf(const std::string& statusLine) {
    return statusLine.compare(0, sizeof kStatusPrefix - 1, kStatusPrefix) == 0
               ? statusLine.substr(sizeof kStatusPrefix - 1)
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
    record.generation = generationNumberOf(outcome.verdict.generation);
    record.host = hostOf(outcome.verdict.statusLine);
    record.verdict = verdictKindOf(outcome.verdict.verdictCounter);
    record.text = outcome.verdict.verdictText;
    if (!record.text.empty() && record.text.back() == '\n') record.text.pop_back();
    return record;
}

void applyTally(const RunTally& tally, InstallationRecord& record) {
    const std::int32_t counts[kVerdictKindCount] = {
        tally.correctCount, tally.sizeMismatchCount, tally.betaCount,  tally.testCount,
        tally.preReleaseCount, tally.olderCount,     tally.newerCount, tally.unrecognizedCount,
    };
    for (int kind = 0; kind < kVerdictKindCount; ++kind) record.counts[kind] = counts[kind];
    record.notFound = tally.notFoundCount;
    record.mixed = mixedGenerationCount(tally) > 1;
    record.checkerOutOfDate = tally.newerCount > 0;
    record.status = statusOf(record);
}

InstallationRecord scanInstallation(Installation& installation, const std::string& path) {
    InstallationRecord record;
    record.installation = path;
    record.source = Source::Folder;
    record.applications.reserve(kApplicationCount);
    const RunTally tally = verifyInstallation(installation, [&record](const ApplicationOutcome& outcome) {
        record.applications.push_back(applicationRecordOf(outcome));
        if (outcome.state == ApplicationOutcome::State::NoTag) ++record.damaged;
    });
    applyTally(tally, record);
    return record;
}

}  // namespace vud::fleet
