// What the fleet checker knows of each installation it was given: one record per
// installation, holding one record per catalogue application. Every output format
// (text, CSV, JSON, the dashboard) is written from these and nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "verify/verdict_kind.h"

namespace vud::fleet {

enum class ApplicationState {
    Block,     // the report has a block for it
    NotFound,  // scanned: no file, or one that cannot be read
    NoTag,     // scanned: a file without a version tag
    Absent,    // a report has no block for it; a report cannot tell the two above apart
};

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
    bool changed = false;             // differs from the baseline scan; the dashboard marks the cell
};

enum class Source { Folder, Report };
enum class Status { Ok, Findings, Error };

struct InstallationRecord {
    std::string installation;  // the path as given, "-" for standard input
    Source source = Source::Folder;
    Status status = Status::Error;
    std::string error;  // the reason, for Status::Error
    VerdictCounts counts{};  // by VerdictKind
    int notFound = 0;
    // Damaged applications: files that exist but hold no version tag (empty, cut
    // short, overwritten). A finding, unlike a file not found; a report cannot show it.
    int damaged = 0;
    bool mixed = false;     // the mixed-generation warning was printed
    bool outdated = false;  // the out-of-date notice was printed
    std::vector<ApplicationRecord> applications;  // all 41 in catalogue order, unless an error
};

// The names used in every format: JSON values, CSV cells, the dashboard's classes. The
// verdicts' names are verdictName's.
std::string_view stateName(ApplicationState state);      // "block", "not-found", "no-tag", "absent"
std::string_view sourceName(Source source);             // "folder", "report"
std::string_view statusName(Status status);             // "ok", "findings", "error"

// The status an installation's counts give it: ok when at least one application has a
// block, every block is correct, no application is damaged and the generations are not
// mixed; findings otherwise.
// An installation in which not one block was found is a finding, as it is almost
// always a wrong path. Applications not found are not findings by themselves.
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
