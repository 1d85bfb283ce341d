#include "fleet/record/records.h"

#include <algorithm>
#include <chrono>
#include <numeric>
#include <set>

#include "catalogue/catalogue.h"

namespace vud::fleet {

#ifndef VUDFLEET_VERSION
#define VUDFLEET_VERSION "unknown"
#endif

ScanMetadata scanStartingNow() {
    ScanMetadata scan;
    scan.time = std::chrono::duration_cast<std::chrono::seconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count();
    scan.vudfleetVersion = VUDFLEET_VERSION;
    scan.checkerVersion = kCheckerVersion;
    return scan;
}

std::string isoTime(std::int64_t seconds) {
    using namespace std::chrono;
    const sys_seconds time{std::chrono::seconds{seconds}};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss<std::chrono::seconds> clock{time - day};
    const auto two = [](long value) { return (value < 10 ? "0" : "") + std::to_string(value); };
    return std::to_string(static_cast<int>(date.year())) + '-' + two(static_cast<unsigned>(date.month())) + '-' +
           two(static_cast<unsigned>(date.day())) + 'T' + two(clock.hours().count()) + ':' +
           two(clock.minutes().count()) + ':' + two(clock.seconds().count()) + 'Z';
}

std::optional<std::int64_t> secondsOfIsoTime(std::string_view text) {
    // 2026-12-10T22:07:31Z: digits where isoTime writes them, its separators between.
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != kShape.size()) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return std::nullopt;
    }
    const auto number = [text](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) value = value * 10 + (text[i] - '0');
        return value;
    };
    using namespace std::chrono;
    const year_month_day date{year{number(0, 4)}, month{static_cast<unsigned>(number(5, 2))},
                              day{static_cast<unsigned>(number(8, 2))}};
    const std::int64_t hour = number(11, 2);
    const std::int64_t minute = number(14, 2);
    const std::int64_t second = number(17, 2);
    if (!date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return sys_days{date}.time_since_epoch().count() * std::int64_t{86400} + hour * 3600 + minute * 60 + second;
}

std::string notSeenWords(const LastSeen& lastSeen, std::int64_t now) {
    std::string words = "last seen " + lastSeen.scanTime + ": " + std::string(statusName(lastSeen.status));
    const std::optional<std::int64_t> then = secondsOfIsoTime(lastSeen.scanTime);
    if (!then) return words;
    const std::int64_t gone = std::max<std::int64_t>(now - *then, 0);
    std::string howLong;
    if (gone < 3600) howLong = std::to_string(gone / 60) + " min";
    else if (gone < 86400) howLong = std::to_string(gone / 3600) + " h";
    else {
        const std::int64_t days = gone / 86400;
        howLong = std::to_string(days);
        howLong += days == 1 ? " day" : " days";
    }
    return "not seen for " + howLong + ", " + words;
}

bool unseenForADay(const LastSeen& lastSeen, std::int64_t now) {
    const std::optional<std::int64_t> then = secondsOfIsoTime(lastSeen.scanTime);
    return then && now - *then > 86400;
}

VerdictCounts countsOf(const std::vector<ApplicationRecord>& applications) {
    VerdictCounts counts{};
    for (const ApplicationRecord& application : applications)
        if (application.state == ApplicationState::Block) ++counts[static_cast<std::size_t>(application.verdict)];
    return counts;
}

ApplicationRecord catalogueApplication(int position, ApplicationState state) {
    ApplicationRecord application;
    application.position = position;
    application.name = kApplicationCatalogue[position].displayName;
    application.file = kApplicationCatalogue[position].fileName;
    application.state = state;
    return application;
}

std::string_view stateName(ApplicationState state) {
    switch (state) {
        case ApplicationState::Block: return "block";
        case ApplicationState::NotFound: return "not_found";
        case ApplicationState::NoTag: return "no_tag";
        case ApplicationState::Absent: return "absent";
    }
    return "absent";
}

std::string_view sourceName(Source source) { return source == Source::Report ? "report" : "folder"; }

std::string_view statusName(Status status) {
    switch (status) {
        case Status::Ok: return "ok";
        case Status::Findings: return "findings";
        case Status::Error: return "error";
    }
    return "error";
}

std::string_view policyRuleName(PolicyRule rule) {
    return rule == PolicyRule::WrongGeneration ? "wrong_generation" : "required";
}

std::string_view changeName(ApplicationChange change) {
    switch (change) {
        case ApplicationChange::NewFinding: return "new_finding";
        case ApplicationChange::Fixed: return "fixed";
        case ApplicationChange::Changed: return "changed";
        case ApplicationChange::Unchanged:
        case ApplicationChange::None: break;
    }
    return "unchanged";
}

std::string_view changeName(InstallationChange change) {
    switch (change) {
        case InstallationChange::Added: return "added";
        case InstallationChange::Gone: return "gone";
        case InstallationChange::Changed: return "changed";
        case InstallationChange::Unchanged:
        case InstallationChange::None: break;
    }
    return "unchanged";
}

std::string_view formatTwoSpelling(std::string_view name) {
    for (const auto& [now, before] : kFormatTwoSpellings)
        if (name == now) return before;
    return name;
}

std::string_view referenceStateName(ReferenceState state) {
    switch (state) {
        case ReferenceState::Verified: return "verified";
        case ReferenceState::Modified: return "modified";
        case ReferenceState::Unreferenced: return "unreferenced";
        case ReferenceState::ChangedWhileRead: return "changed_while_read";
        case ReferenceState::NotVerifiable: return "not_verifiable";
    }
    return "unreferenced";
}

bool isReferenceFinding(ReferenceState state, bool required) {
    return state == ReferenceState::Modified || (required && state != ReferenceState::Verified);
}

void setReferenceState(InstallationRecord& record, ApplicationRecord& application, ReferenceState state,
                       bool required) {
    application.reference = state;
    application.referenceFinding = isReferenceFinding(state, required);
    ++record.referenceCounts[static_cast<std::size_t>(state)];
}

void holdReportToReference(InstallationRecord& record, bool required) {
    if (record.status == Status::Error) return;
    for (ApplicationRecord& application : record.applications)
        if (application.state == ApplicationState::Block)
            setReferenceState(record, application, ReferenceState::NotVerifiable, required);
    record.status = statusOf(record);
}

bool isFinding(const ApplicationRecord& application) {
    return application.state == ApplicationState::NoTag || application.referenceFinding ||
           (application.state == ApplicationState::Block && application.verdict != VerdictKind::Correct);
}

int blockCount(const InstallationRecord& record) {
    return judgedCount(record.counts);
}

std::string generationsSeen(const InstallationRecord& record, std::string_view joiner,
                            std::string_view unrecognised) {
    std::set<int> generations;
    bool unknown = false;
    for (const ApplicationRecord& application : record.applications) {
        if (application.state != ApplicationState::Block) continue;
        if (application.generation)
            generations.insert(*application.generation);
        else
            unknown = true;
    }
    std::string text;
    const auto add = [&](std::string_view part) { text.append(text.empty() ? "" : joiner).append(part); };
    for (const int generation : generations) add(std::to_string(generation));
    if (unknown) add(unrecognised);
    return text;
}

Status statusOf(const InstallationRecord& record) {
    const int blocks = blockCount(record);
    const int correct = record.counts[static_cast<int>(VerdictKind::Correct)];
    const bool policyKept = std::all_of(record.policyFindings.begin(), record.policyFindings.end(),
                                        [](int count) { return count == 0; });
    const bool referenceKept = std::none_of(record.applications.begin(), record.applications.end(),
                                            [](const ApplicationRecord& application) { return application.referenceFinding; });
    return blocks > 0 && correct == blocks && record.damaged == 0 && !record.mixed && policyKept &&
                   !record.staleReport && referenceKept
               ? Status::Ok
               : Status::Findings;
}

}  // namespace vud::fleet
