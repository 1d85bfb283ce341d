// One aligned line per installation, for a person at a terminal:
//   findings  8+11       38 of 40 correct  /srv/ws042  1 size mismatch, 1 beta, mixed host generations
// the status, the host generations seen, the correct applications of those found, the
// installation, and what was found in words; then one line for the fleet.
#include <string>

#include "fleet/record_writer.h"
#include "fleet/totals.h"
#include "fleet/utf8.h"

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

std::string counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string findingsInWords(const InstallationRecord& record) {
    if (record.status == Status::Error) return record.error;
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
    if (record.mixed) add("mixed host generations");
    if (record.outdated) add("checker out of date");
    if (record.notFound > 0 && blockCount(record) > 0) add(counted(record.notFound, "not found", "not found"));
    return text;
}

class TextWriter : public RecordWriter {
public:
    explicit TextWriter(std::ostream& out) : out_(out) {}

    void write(const InstallationRecord& record) override {
        totals_.add(record);
        ++installations_;
        ++byStatus_[static_cast<int>(record.status)];
        std::string line = padded(std::string(statusName(record.status)), 10);
        if (record.status == Status::Error) {
            line += padded("-", 11) + padded("", 18);
        } else {
            const int blocks = blockCount(record);
            // The host generations as "8+11", "?" for one not recognised.
            const std::string generations = generationsSeen(record, "+", "?");
            line += padded(generations.empty() ? "-" : generations, 11) +
                    rightAligned(record.counts[static_cast<int>(VerdictKind::Correct)], 2) + " of " +
                    rightAligned(blocks, 2) + " correct  ";
        }
        // Two spaces before the name whatever its characters; no control character of it
        // reaches the terminal raw, where a carriage return could forge another line.
        line += shownSafely(record.installation);
        const std::string words = findingsInWords(record);
        if (!words.empty()) line += "  " + shownSafely(words);
        out_ << line << '\n';
    }

    void finish() override {
        writeApplicationTotals(out_, totals_);
        out_ << counted(installations_, "installation", "installations") << ": "
             << byStatus_[static_cast<int>(Status::Ok)] << " ok, "
             << byStatus_[static_cast<int>(Status::Findings)] << " with findings, "
             << counted(byStatus_[static_cast<int>(Status::Error)], "error", "errors") << '\n';
    }

private:
    std::ostream& out_;
    int installations_ = 0;
    int byStatus_[3] = {};
    FleetTotals totals_;
};

}  // namespace

std::unique_ptr<RecordWriter> makeTextWriter(std::ostream& out) { return std::make_unique<TextWriter>(out); }

std::unique_ptr<RecordWriter> makeWriter(Format format, std::ostream& out) {
    switch (format) {
        case Format::Csv: return makeCsvWriter(out);
        case Format::Json: return makeJsonWriter(out);
        case Format::Totals: return makeTotalsWriter(out);
        case Format::Metrics: return makeMetricsWriter(out);
        case Format::Text: break;
    }
    return makeTextWriter(out);
}

}  // namespace vud::fleet
