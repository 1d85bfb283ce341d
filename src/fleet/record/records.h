// What the fleet checker knows of each installation it was given: one record per
// installation, holding one record per catalogue application. Every output (text, CSV,
// JSON, the totals, the metrics, the dashboard) is written from these and nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "verify/verdict_kind.h"

namespace vud::fleet {

enum class ApplicationState {
    Block,     // the report has a block for it
    NotFound,  // scanned: no file, or one that cannot be read
    NoTag,     // scanned: a file without a version tag
    Absent,    // a report has no block for it; a report cannot tell the two above apart,
               // only how many of each (InstallationRecord::notFound, ::damaged)
};

// The rules of a rollout that an installation may be held to beyond the checker's
// verdicts (--expect-generation, --require-all), each a finding when broken.
enum class PolicyRule {
    WrongGeneration,  // a block for a host generation the rollout does not expect, or an unrecognised one
    Required,         // not found, where every application is required
};
inline constexpr int kPolicyRuleCount = 2;
inline constexpr std::array<PolicyRule, kPolicyRuleCount> kPolicyRules{PolicyRule::WrongGeneration,
                                                                       PolicyRule::Required};

struct RolloutPolicy {
    std::vector<int> expectedGenerations;  // generation numbers; empty: any will do
    bool requireAll = false;
    bool inForce() const { return !expectedGenerations.empty() || requireAll; }
};

// What a scan held to a reference build (--reference) finds of an application's bytes;
// a block's only. Modified is a finding; the states that verify nothing are findings
// where every block must be verified (--require-reference).
enum class ReferenceState {
    Verified,          // the reference build's bytes
    Modified,          // the tag and size of a reference build, other bytes
    Unreferenced,      // the reference holds no build of this file, tag and size
    ChangedWhileRead,  // the file changed while it was read: its bytes tell nothing, and
                       // the next scan reads it again
    NotVerifiable,     // a saved report, which has no bytes to check
};
inline constexpr int kReferenceStateCount = 5;
inline constexpr std::array<ReferenceState, kReferenceStateCount> kReferenceStates{
    ReferenceState::Verified, ReferenceState::Modified, ReferenceState::Unreferenced,
    ReferenceState::ChangedWhileRead, ReferenceState::NotVerifiable};

// What became of an application since the baseline scan (None: no baseline given). A
// build that is not correct and a damaged file are findings; changed: tag, size or
// verdict differ, and it was and is a finding or was and is none.
enum class ApplicationChange { None, NewFinding, Fixed, Changed, Unchanged };

// What became of an installation since the baseline scan (None: no baseline given).
// Gone: in the baseline but not in this scan; its record holds its path and machine only.
enum class InstallationChange { None, Added, Gone, Changed, Unchanged };
inline constexpr int kInstallationChangeCount = 5;

struct ApplicationRecord {
    int position = 0;  // in the catalogue, 0 to 40, as the listing and the catalogue count them
    std::string name;  // the catalogue's display name
    std::string file;  // the catalogue's file name
    ApplicationState state = ApplicationState::Absent;
    // Set for a block only.
    std::string tag;                  // as the report prints it
    std::int64_t size = 0;            // as the report prints it
    std::optional<int> generation;    // the generation number (2, 6 to 12); none when unrecognised
    std::string host;                 // the host label of the status line
    VerdictKind verdict = VerdictKind::Correct;
    std::string text;                 // the verdict text as printed, without its indent and final newline
    ApplicationChange change = ApplicationChange::None;  // since the baseline scan
    std::optional<PolicyRule> policy;  // the rule of the rollout it breaks, if any
    // Held to a reference build, a block's bytes; and whether that is a finding.
    std::optional<ReferenceState> reference;
    bool referenceFinding = false;
};

// The version of the records' layout, the first field of every JSON line, so that a
// script can tell the layouts apart: 3 where every field and value is spelled in lower
// case with underscores (size_mismatch, not_found, wrong_generation, new_finding) and
// names and errors show what a terminal or a spreadsheet would act on as escapes; 2
// where values were spelled with hyphens; lines without it are of layout 1.
inline constexpr int kRecordFormat = 3;
// The layout of a scan kept as the fleet's state (written to --output, or compared
// with a baseline): the records of layout 3, what was last seen of an installation
// that did not answer, and an end line after the last record, without which a reader
// knows the scan was cut short.
inline constexpr int kStateRecordFormat = 4;

enum class Source { Folder, Report };
enum class Status { Ok, Findings, Error };
inline constexpr int kStatusCount = 3;

// What a baseline scan said of an installation, for the words of its change.
struct PreviousScan {
    Source source = Source::Folder;
    Status status = Status::Error;
    std::string error;
};

// What was last known of an installation when it last answered, carried forward from
// scan to scan on each night it does not: an error, or gone from the list.
struct LastSeen {
    std::string scanTime;  // of the scan it answered, as that scan recorded it
    Source source = Source::Folder;
    Status status = Status::Ok;  // ok or findings
    int notFound = 0;
    int damaged = 0;
    bool mixed = false;
    bool checkerOutOfDate = false;
    // The applications it had then, in catalogue order: position, name, file, state,
    // and for a block its tag, size and verdict; the rule of the rollout each broke.
    std::vector<ApplicationRecord> applications;
};

// The verdicts of `applications`' blocks counted by kind, as a record counts them.
VerdictCounts countsOf(const std::vector<ApplicationRecord>& applications);

struct InstallationRecord {
    std::string installation;  // the path as given, "-" for standard input
    std::string machine;       // named in the list, or by a share's path; empty when neither
    InstallationChange change = InstallationChange::None;
    Source source = Source::Folder;
    Status status = Status::Error;
    std::string error;  // the reason, for Status::Error
    VerdictCounts counts{};  // by VerdictKind
    int notFound = 0;
    // Damaged applications: files that exist but hold no version tag (empty, cut
    // short, overwritten). A finding, unlike a file not found. A report tells how many
    // (those without a block that its summary does not count as not found), not which:
    // its applications without a block all stay absent.
    int damaged = 0;
    bool mixed = false;     // the mixed-generation warning was printed
    // A build newer than this checker knows was found (the out-of-date notice was
    // printed): get a newer checker. Older builds never set it.
    bool checkerOutOfDate = false;
    std::vector<ApplicationRecord> applications;  // all 41 in catalogue order, unless an error
    std::array<int, kPolicyRuleCount> policyFindings{};  // applications that break each rule, by PolicyRule
    std::optional<PreviousScan> previous;         // the baseline's record of it, if any
    // An error or an installation gone since the baseline: what was last known of it,
    // when the baseline knew it answered once.
    std::optional<LastSeen> lastSeen;
    // When the report was written: its file's last modification, in seconds since
    // 1970-01-01 UTC. None for a folder, and for a report from standard input.
    std::optional<std::int64_t> reportTime;
    // Written longer ago than the run allows (--max-report-age): what the report tells
    // may no longer be what is installed. A finding.
    bool staleReport = false;
    // Held to a reference build: its blocks by ReferenceState; all 0 without one.
    std::array<int, kReferenceStateCount> referenceCounts{};
};

// When the fleet was scanned and by what, which every record of the run carries; and
// the baseline scan it is compared with, if any.
struct ScanMetadata {
    ScanMetadata() = default;
    ScanMetadata(std::int64_t time, std::string vudfleetVersion, std::string checkerVersion)
        : time(time), vudfleetVersion(std::move(vudfleetVersion)), checkerVersion(std::move(checkerVersion)) {}

    std::int64_t time = 0;        // seconds since 1970-01-01 UTC
    std::string vudfleetVersion;  // of this program
    std::string checkerVersion;   // of the catalogue the applications were judged by
    bool compared = false;        // a baseline was given
    std::string baselineTime;     // its scan time as it recorded it; empty when it did not
    // The reference build the blocks were held to (--reference): the reference file's
    // own SHA-256 in hexadecimal, so that a record tells which one; empty without one.
    std::string referenceDigest;
    bool referenceRequired = false;  // --require-reference: every block must be verified
};

// The scan that starts now.
ScanMetadata scanStartingNow();

// `seconds` since 1970 as ISO 8601 in UTC: 2026-12-10T22:07:31Z.
std::string isoTime(std::int64_t seconds);
// The seconds since 1970 of a time isoTime writes; none for any other text.
std::optional<std::int64_t> secondsOfIsoTime(std::string_view text);

// An installation that did not answer in the scan of `now`, in words: "not seen for
// 3 days, last seen 2026-12-08T22:00:04Z: ok". How long in minutes below an hour, in
// hours below a day, else in whole days.
std::string notSeenWords(const LastSeen& lastSeen, std::int64_t now);
// Whether it was last seen more than a day before the scan of `now`.
bool unseenForADay(const LastSeen& lastSeen, std::int64_t now);

// The names used in every format: JSON values and keys, CSV cells and columns, metrics
// labels, the totals. The verdicts' names are verdictName's. Each in lower case with
// underscores, as every field is named, so that one spelling serves jq, a spreadsheet
// and an alert alike.
std::string_view stateName(ApplicationState state);      // "block", "not_found", "no_tag", "absent"
std::string_view sourceName(Source source);             // "folder", "report"
std::string_view statusName(Status status);             // "ok", "findings", "error"
std::string_view policyRuleName(PolicyRule rule);       // "wrong_generation", "required"
std::string_view changeName(ApplicationChange change);  // "new_finding", "fixed", "changed", "unchanged"
std::string_view changeName(InstallationChange change); // "added", "gone", "changed", "unchanged"
// "verified", "modified", "unreferenced", "changed_while_read", "not_verifiable".
std::string_view referenceStateName(ReferenceState state);

// The values that records of format 2 spelled with hyphens, by their spelling since,
// so that a baseline written then is still read.
inline constexpr std::pair<std::string_view, std::string_view> kFormatTwoSpellings[] = {
    {"size_mismatch", "size-mismatch"}, {"pre_release", "pre-release"},         {"not_found", "not-found"},
    {"no_tag", "no-tag"},               {"wrong_generation", "wrong-generation"}, {"new_finding", "new-finding"},
};
// `name`'s spelling in format 2; `name` itself where it was the same.
std::string_view formatTwoSpelling(std::string_view name);

// Whether an application in `state` is a finding; `required`: every block must be
// verified. A file that changed while it was read is never called modified.
bool isReferenceFinding(ReferenceState state, bool required);

// Records what the reference says of the block at `application`, counting it in
// `record`: its state, and whether it is a finding.
void setReferenceState(InstallationRecord& record, ApplicationRecord& application, ReferenceState state,
                       bool required);

// Marks every block of a record read from a saved report not verifiable, and sets its
// status again; an error record is left as it is.
void holdReportToReference(InstallationRecord& record, bool required);

// A build that is not correct, a file without a version tag, or a block whose bytes the
// reference finds wanting.
bool isFinding(const ApplicationRecord& application);

// The status an installation's counts give it: ok when at least one application has a
// block, every block is correct, no application is damaged, the generations are not
// mixed, no rule of the rollout is broken, the report it was read from is not stale
// and no block is a finding against the reference; findings otherwise.
// An installation in which not one block was found is a finding, as it is almost
// always a wrong path. Applications not found are not findings by themselves, only
// where the rollout requires every application.
Status statusOf(const InstallationRecord& record);

// The count of blocks (applications that have a verdict) of an installation.
int blockCount(const InstallationRecord& record);

// The host generations of an installation's blocks: their numbers in ascending order,
// each once, `unrecognised` last when a block's generation was not recognised, all
// joined by `joiner`; empty when there is no block.
std::string generationsSeen(const InstallationRecord& record, std::string_view joiner,
                            std::string_view unrecognised);

// The record of the application at catalogue `position` in `state`, with its name and
// file from the catalogue and nothing else set yet.
ApplicationRecord catalogueApplication(int position, ApplicationState state);

}  // namespace vud::fleet
