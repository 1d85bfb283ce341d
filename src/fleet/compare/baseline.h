// An earlier scan of the fleet, as vudfleet wrote it with --format json, against which
// this scan tells what changed: installations added, gone, changed or unchanged, and
// for each application a new finding, a fix, another change or none.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/catalogue.h"
#include "fleet/record/records.h"

namespace vud::fleet {

// A baseline file may hold this much: some 50,000 installations.
inline constexpr std::size_t kLargestBaseline = std::size_t{512} << 20;
// An installation's line is some 10 KiB; a line far longer is no record of one.
inline constexpr std::size_t kLargestBaselineLine = std::size_t{1} << 20;

class Baseline {
public:
    // Reads the file named by `path` (UTF-8). Nothing, and `problem` set to the reason
    // ("line 3: expected ..."), when it cannot be read or a line is not one vudfleet
    // writes with --format json.
    static std::optional<Baseline> read(const std::string& path, std::string& problem);
    // The same from the file's bytes: UTF-8, with or without a byte-order mark, or
    // UTF-16LE with one (what Windows PowerShell 5.1's ">" writes).
    static std::optional<Baseline> parse(std::string_view bytes, std::string& problem);

    // Sets what became of `record` and of each of its applications since the baseline.
    // Installations are matched by machine (in any case) and path (as spelled, less
    // trailing separators).
    void compare(InstallationRecord& record);

    // The baseline's installations that compare() was not given, in the baseline's
    // order: records of change Gone holding the path, machine and source.
    std::vector<InstallationRecord> gone() const;

    // The baseline's scan time as it recorded it; empty when it did not.
    const std::string& scanTime() const { return scanTime_; }

private:
    struct Application {
        bool known = false;  // the baseline has a record of it
        ApplicationState state = ApplicationState::Absent;
        std::string tag;
        std::int64_t size = 0;
        VerdictKind verdict = VerdictKind::Correct;
        bool finding = false;
    };
    struct Installation {
        std::string path;
        std::string machine;
        Source source = Source::Folder;
        Status status = Status::Error;
        std::string error;
        std::array<Application, kApplicationCount> applications{};
        int line = 0;  // in the baseline file
        bool seen = false;
    };

    static std::string keyOf(std::string_view machine, const std::string& path);
    // Reads the lines of `text` (UTF-8, with or without a byte-order mark) one at a time.
    static std::optional<Baseline> readLines(std::istream& text, std::string& problem);
    // Adds the installation of line `number`, or nothing for a line of one gone then,
    // and takes the scan time if none is held; the reason of a refusal, without its line
    // number, in `problem`.
    bool addLine(std::string_view line, int number, std::string& problem);
    // Whether `lines` lines held any installation; the reason in `problem` when not.
    bool complete(int lines, std::string& problem) const;

    // A deque, as a vector growing to hold thousands of installations copies them each
    // time and fills new memory with them, which cost more than reading them.
    std::deque<Installation> installations_;
    std::unordered_map<std::string, std::size_t> index_;  // by keyOf
    std::string scanTime_;
};

}  // namespace vud::fleet
