// An earlier scan of the fleet, as vudfleet wrote it with --format json, against which
// this scan tells what changed: installations added, gone, changed or unchanged, and
// for each application a new finding, a fix, another change or none.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/catalogue.h"
#include "fleet/record/records.h"

namespace vud::fleet {

// An installation's line is some 10 KiB; a line far longer is no record of one.
inline constexpr std::size_t kLargestBaselineLine = std::size_t{1} << 20;
// A baseline saved as UTF-16 (by Windows PowerShell) is converted whole, so held whole:
// up to this much. One in UTF-8 is read a line at a time, of any size.
inline constexpr std::size_t kLargestUtf16Baseline = std::size_t{512} << 20;

class Baseline {
public:
    // Reads the file named by `path` (UTF-8). Nothing, and `problem` set to the reason
    // ("line 3: expected ...", "cut short: ..."), when it cannot be read, a line is not
    // one vudfleet writes with --format json, or it is not a whole scan of the fleet.
    static std::optional<Baseline> read(const std::string& path, std::string& problem);
    // The same from the file's bytes: UTF-8, with or without a byte-order mark, or
    // UTF-16LE with one (what Windows PowerShell 5.1's ">" writes).
    static std::optional<Baseline> parse(std::string_view bytes, std::string& problem);

    // Sets what became of `record` and of each of its applications since the baseline.
    // Installations are matched by machine (in any case) and path (as spelled, less
    // trailing separators). An installation that was an error in the baseline is
    // compared with what was last seen of it; one that is an error now carries that
    // forward (InstallationRecord::lastSeen).
    void compare(InstallationRecord& record);

    // The baseline's installations that compare() was not given, in the baseline's
    // order, one at a time: records of change Gone holding the path, machine, source,
    // the baseline's status and what was last seen of it.
    void forEachGone(const std::function<void(const InstallationRecord&)>& take) const;

    // The baseline's scan time as it recorded it; empty when it did not.
    const std::string& scanTime() const { return scanTime_; }

private:
    // What a baseline knew of one application, kept once for every installation that
    // had the same: a fleet holds few distinct builds of each application.
    struct Build {
        ApplicationState state = ApplicationState::Absent;
        std::string tag;
        std::int64_t size = 0;
        VerdictKind verdict = VerdictKind::Correct;
        std::optional<PolicyRule> policy;
        bool finding = false;  // a finding then, a rule of the rollout broken included
    };
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFF;  // no build, no text
    // What is compared and carried forward of an installation, a few hundred bytes.
    struct Installation {
        std::string path;
        std::string machine;
        std::array<std::uint32_t, kApplicationCount> builds{};  // by catalogue position; kUnknown: no record of it
        std::uint32_t error = kUnknown;     // in texts_, for an error
        std::uint32_t seenTime = kUnknown;  // in texts_: when it last answered; kUnknown: never, as far as known
        std::int32_t line = 0;              // in the baseline file
        Source source = Source::Folder;
        Status status = Status::Error;
        // When it last answered (its own line's, or what its error line carried).
        Source seenSource = Source::Folder;
        Status seenStatus = Status::Ok;
        std::uint8_t notFound = 0;
        std::uint8_t damaged = 0;
        bool mixed = false;
        bool checkerOutOfDate = false;
        bool seen = false;  // given to compare()
    };
    struct LineFields;

    static std::string keyOf(std::string_view machine, const std::string& path);
    // Reads the lines of `text` (UTF-8, with or without a byte-order mark) one at a time.
    static std::optional<Baseline> readLines(std::istream& text, std::string& problem);
    // Adds the installation of line `number`, or nothing for a line of one gone then,
    // and takes the scan time if none is held; notes the end line. The reason of a
    // refusal, without its line number, in `problem`.
    bool addLine(std::string_view line, int number, std::string& problem);
    // Reads the applications of a line (or of what it last saw) into `builds`.
    bool addApplications(const LineFields& fields, bool lastSeen, bool required, Installation& entry,
                         std::string& problem);
    // Whether the lines read make a whole scan; the reason in `problem` when not.
    bool complete(int lines, std::string& problem) const;
    std::uint32_t buildOf(const Build& build);
    std::uint32_t textOf(const std::string& text);
    LastSeen lastSeenOf(const Installation& installation) const;

    // A deque, as a vector growing to hold thousands of installations copies them each
    // time and fills new memory with them, which cost more than reading them.
    std::deque<Installation> installations_;
    std::unordered_map<std::string, std::uint32_t> index_;  // by keyOf
    std::vector<Build> builds_;
    std::unordered_map<std::string, std::uint32_t> buildIndex_;
    std::string buildKey_;  // room to make a build's key in, reused
    std::deque<std::string> texts_;  // errors and scan times, each once
    std::unordered_map<std::string, std::uint32_t> textIndex_;
    std::string scanTime_;
    int format_ = 0;          // of its lines: 1 (no "format"), 2 or 3; 0 before the first
    int endLine_ = 0;         // the line that ended the scan; 0: none
    std::int64_t endCount_ = 0;  // the installations its end line counts
    std::int64_t records_ = 0;   // lines of installations read, those gone then included
};

}  // namespace vud::fleet
