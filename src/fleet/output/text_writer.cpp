// One aligned line per installation, for a person at a terminal:
//   findings  8+11       38 of 40 correct  /srv/ws042  1 size mismatch, 1 beta, mixed host generations
// the status, the host generations seen, the correct applications of those found, the
// installation, and what was found in words; then one line for the fleet. Host
// generations too many for their column go on in it on the lines after:
//   findings  2+6+7+8+   30 of 41 correct  /srv/ws043  mixed host generations
//             10+11+12+?
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "fleet/output/record_writer.h"
#include "fleet/output/totals.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string rightAligned(int number, std::size_t width) {
    std::string text = std::to_string(number);
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

// The width of the column of host generations.
constexpr std::size_t kGenerationsWidth = 9;

// `generations` ("8+11") in pieces that fit their column, each cut after a "+".
std::vector<std::string> generationLines(const std::string& generations) {
    std::vector<std::string> lines(1);
    std::size_t start = 0;
    while (start < generations.size()) {
        const std::size_t plus = generations.find('+', start);
        const std::size_t end = plus == std::string::npos ? generations.size() : plus + 1;
        if (!lines.back().empty() && lines.back().size() + (end - start) > kGenerationsWidth) lines.emplace_back();
        lines.back() += generations.substr(start, end - start);
        start = end;
    }
    return lines;
}

std::string counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// `now`: the scan's time, for how long an installation that did not answer was not seen;
// `referenceRequired`: every block must be verified against the reference build.
std::string findingsInWords(const InstallationRecord& record, std::int64_t now, bool referenceRequired) {
    if (record.status == Status::Error)
        return record.error + (record.lastSeen ? "; " + notSeenWords(*record.lastSeen, now) : "");
    struct Words {
        VerdictKind kind;
        const char* one;
        const char* many;
    };
    // Every kind but Correct, in the order a line names them.
    static constexpr Words kWords[] = {
        {VerdictKind::SizeMismatch, "size mismatch", "size mismatches"},
        {VerdictKind::Beta, "beta", "beta"},
        {VerdictKind::Test, "test release", "test releases"},
        {VerdictKind::PreRelease, "pre-release", "pre-releases"},
        {VerdictKind::Older, "older release", "older releases"},
        {VerdictKind::Newer, "newer release", "newer releases"},
        {VerdictKind::Unrecognized, "unrecognized release", "unrecognized releases"},
    };
    static_assert(std::size(kWords) == kVerdictKindCount - 1);
    std::string text;
    const auto add = [&text](const std::string& words) { text += (text.empty() ? "" : ", ") + words; };
    if (blockCount(record) == 0) add("no application found");
    for (const Words& words : kWords) {
        const int count = record.counts[static_cast<int>(words.kind)];
        if (count > 0) add(counted(count, words.one, words.many));
    }
    if (record.damaged > 0) add(counted(record.damaged, "damaged (no version tag)", "damaged (no version tag)"));
    const int wrongGeneration = record.policyFindings[static_cast<std::size_t>(PolicyRule::WrongGeneration)];
    if (wrongGeneration > 0) add(counted(wrongGeneration, "wrong generation", "wrong generation"));
    if (record.mixed) add("mixed host generations");
    if (record.checkerOutOfDate) add("checker out of date");
    if (record.staleReport && record.reportTime) add("stale report, written " + isoTime(*record.reportTime).substr(0, 10));
    // Where every application is required, those not found are findings and say so.
    const int required = record.policyFindings[static_cast<std::size_t>(PolicyRule::Required)];
    if (required > 0 && blockCount(record) > 0)
        add(counted(required, "not found (required)", "not found (required)"));
    else if (record.notFound > 0 && blockCount(record) > 0)
        add(counted(record.notFound, "not found", "not found"));
    // Against a reference build: modified files, the findings where every block must be
    // verified, and files that changed while they were read, which the next scan reads
    // again. Without a reference every count is 0.
    const auto reference = [&record](ReferenceState state) {
        return record.referenceCounts[static_cast<std::size_t>(state)];
    };
    if (reference(ReferenceState::Modified) > 0) add(counted(reference(ReferenceState::Modified), "modified", "modified"));
    if (referenceRequired) {
        if (reference(ReferenceState::Unreferenced) > 0)
            add(counted(reference(ReferenceState::Unreferenced), "unreferenced", "unreferenced"));
        if (reference(ReferenceState::NotVerifiable) > 0)
            add(counted(reference(ReferenceState::NotVerifiable), "not verifiable", "not verifiable"));
    }
    if (reference(ReferenceState::ChangedWhileRead) > 0)
        add(counted(reference(ReferenceState::ChangedWhileRead), "changed while read", "changed while read"));
    return text;
}

// The names of `record`'s applications that changed as `change` says, "; " before.
std::string applicationsThat(const InstallationRecord& record, ApplicationChange change, const char* words) {
    std::string text;
    for (const ApplicationRecord& application : record.applications)
        if (application.change == change) text.append(text.empty() ? words : ", ").append(application.file);
    return text;
}

std::string statusWords(Status status, const std::string& error) {
    return std::string(statusName(status)) + (status == Status::Error ? ": " + error : "");
}

// What changed in an installation since the baseline, in words.
std::string changeInWords(const InstallationRecord& record) {
    const std::optional<PreviousScan>& before = record.previous;
    std::string text;
    const auto add = [&text](const std::string& words) {
        if (!words.empty()) text += (text.empty() ? "" : "; ") + words;
    };
    if (before && (before->status != record.status || before->error != record.error))
        add("was " + statusWords(before->status, before->error) + ", now " + std::string(statusName(record.status)));
    if (before && before->source != record.source)
        add(std::string("was a ") + (before->source == Source::Report ? "report" : "folder") + ", now a " +
            (record.source == Source::Report ? "report" : "folder"));
    add(applicationsThat(record, ApplicationChange::NewFinding, "new finding: "));
    add(applicationsThat(record, ApplicationChange::Fixed, "fixed: "));
    add(applicationsThat(record, ApplicationChange::Changed, "changed: "));
    return text;
}

class TextWriter : public RecordWriter {
public:
    TextWriter(std::ostream& out, const ScanMetadata& scan, const WriterOptions& options)
        : out_(out),
          time_(scan.time),
          compared_(scan.compared),
          baselineTime_(scan.baselineTime),
          findingsOnly_(options.findingsOnly),
          referenceDigest_(scan.referenceDigest),
          referenceRequired_(scan.referenceRequired) {}

    void write(const InstallationRecord& record) override {
        totals_.add(record);
        if (compared_) noteChange(record);
        if (record.change == InstallationChange::Gone) return;
        if (findingsOnly_ && record.status == Status::Ok) return;
        std::string line = padded(std::string(statusName(record.status)), 10);
        std::vector<std::string> more;  // the host generations that go on below
        if (record.status == Status::Error) {
            line += padded("-", 11) + padded("", 18);
        } else {
            const int blocks = blockCount(record);
            // The host generations as "8+11", "?" for one not recognised; those that do
            // not fit their column go on below it, so that the columns after stay put.
            const std::string generations = generationsSeen(record, "+", "?");
            more = generationLines(generations.empty() ? "-" : generations);
            line += padded(more.front(), kGenerationsWidth) + "  " +
                    rightAligned(record.counts[static_cast<int>(VerdictKind::Correct)], 2) + " of " +
                    rightAligned(blocks, 2) + " correct  ";
            more.erase(more.begin());
        }
        // Two spaces before the name whatever its characters; no control character of it
        // reaches the terminal raw, where a carriage return could forge another line.
        line += shownSafely(record.installation);
        const std::string words = findingsInWords(record, time_, referenceRequired_);
        if (!words.empty()) line += "  " + shownSafely(words);
        for (const std::string& generations : more) line += "\n" + std::string(10, ' ') + generations;
        // With a baseline the changes come first: the lines wait for the end.
        (compared_ ? lines_ : out_) << line << '\n';
    }

    void finish() override {
        if (compared_) {
            out_ << "Changes since the baseline scan" << (baselineTime_.empty() ? "" : " of " + shownSafely(baselineTime_))
                 << ":\n"
                 << changes_.str() << totals_.withChange(InstallationChange::Added) << " added, "
                 << totals_.withChange(InstallationChange::Gone) << " gone, "
                 << totals_.withChange(InstallationChange::Changed) << " changed, "
                 << totals_.withChange(InstallationChange::Unchanged) << " unchanged\n\n"
                 << lines_.str();
        }
        writeApplicationTotals(out_, totals_);
        if (!referenceDigest_.empty()) writeReferenceTotals();
        out_ << counted(totals_.installations(), "installation", "installations") << ": "
             << totals_.withStatus(Status::Ok) << " ok, " << totals_.withStatus(Status::Findings)
             << " with findings, " << counted(totals_.withStatus(Status::Error), "error", "errors") << '\n';
    }

private:
    // "Blocks against the reference (SHA-256 ...): 39 verified, 1 modified, ...".
    void writeReferenceTotals() {
        out_ << "Blocks against the reference (SHA-256 " << referenceDigest_ << "):";
        for (const ReferenceState state : kReferenceStates)
            out_ << (state == kReferenceStates.front() ? " " : ", ") << totals_.withReference(state) << ' '
                 << referenceStateName(state);
        out_ << (referenceRequired_ ? "; every block required verified\n" : "\n");
    }

    void noteChange(const InstallationRecord& record) {
        if (record.change == InstallationChange::Unchanged) return;
        std::string line = "  " + padded(std::string(changeName(record.change)), 9);
        if (!record.machine.empty()) line += shownSafely(record.machine) + "  ";
        line += shownSafely(record.installation);
        std::string words;
        if (record.change == InstallationChange::Gone && record.previous)
            words = "was " + statusWords(record.previous->status, record.previous->error);
        else if (record.change == InstallationChange::Changed)
            words = changeInWords(record);
        if (!words.empty()) line += "  " + shownSafely(words);
        changes_ << line << '\n';
    }

    std::ostream& out_;
    std::int64_t time_;
    bool compared_;
    std::string baselineTime_;
    bool findingsOnly_;
    std::string referenceDigest_;  // empty: held to no reference build
    bool referenceRequired_;
    std::ostringstream changes_;  // the changes section, with a baseline
    std::ostringstream lines_;    // the installations' lines, with a baseline
    FleetTotals totals_;
};

}  // namespace

std::unique_ptr<RecordWriter> makeTextWriter(std::ostream& out, const ScanMetadata& scan,
                                             const WriterOptions& options) {
    return std::make_unique<TextWriter>(out, scan, options);
}

}  // namespace vud::fleet
