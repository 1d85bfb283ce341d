#include "fleet/scan.h"

#include "catalogue/catalogue.h"
#include "verify/summary.h"
#include "verify/verdict.h"

namespace vud::fleet {

VerdictKind verdictKindOf(TallyCounter counter) {
    struct Pair {
        TallyCounter counter;
        VerdictKind kind;
    };
    static const Pair kKinds[] = {
        {&RunTally::correctCount, VerdictKind::Correct},
        {&RunTally::sizeMismatchCount, VerdictKind::SizeMismatch},
        {&RunTally::betaCount, VerdictKind::Beta},
        {&RunTally::testCount, VerdictKind::Test},
        {&RunTally::preReleaseCount, VerdictKind::PreRelease},
        {&RunTally::olderCount, VerdictKind::Older},
        {&RunTally::newerCount, VerdictKind::Newer},
    };
    for (const Pair& pair : kKinds)
        if (pair.counter == counter) return pair.kind;
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
    const ApplicationEntry& entry = kApplicationCatalogue[outcome.position];
    ApplicationRecord record;
    record.position = outcome.position;
    record.name = entry.displayName;
    record.file = entry.fileName;
    switch (outcome.state) {
        case ApplicationOutcome::State::NotFound: record.state = ApplicationState::NotFound; return record;
        case ApplicationOutcome::State::NoTag: record.state = ApplicationState::NoTag; return record;
        case ApplicationOutcome::State::Judged: break;
    }
    record.state = ApplicationState::Block;
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
    record.outdated = tally.newerCount > 0;
    record.status = statusOf(record);
}

InstallationRecord scanInstallation(Installation& installation, const std::string& path) {
    InstallationRecord record;
    record.installation = path;
    record.source = Source::Folder;
    record.applications.reserve(kApplicationCount);
    const RunTally tally = verifyInstallation(installation, [&record](const ApplicationOutcome& outcome) {
        record.applications.push_back(applicationRecordOf(outcome));
    });
    applyTally(tally, record);
    return record;
}

}  // namespace vud::fleet
