// One aligned line per installation, for a person at a terminal:
//   findings  8+11       38 of 40 correct  /srv/ws042  1 size mismatch, 1 beta, mixed host generations
// the status, the host generations seen, the correct applications of those found, the
// installation, and what was found in words; then one line for the fleet.
#include <string>

#include "fleet/record_writer.h"
#include "fleet/totals.h"
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

// The generations in ascending order, "?" for a tag whose generation is unrecognised.
std::string generationsSeen(const InstallationRecord& record) {
    bool seen[13] = {};
    bool unrecognised = false;
    for (const ApplicationRecord& application : record.applications) {
        if (application.state != ApplicationState::Block) continue;
        if (application.generation && *application.generation >= 0 && *application.generation < 13)
            seen[*application.generation] = true;
        else
            unrecognised = true;
    }
    std::string text;
    for (int generation = 0; generation < 13; ++generation)
        if (seen[generation]) text.append(text.empty() ? "" : "+").append(std::to_string(generation));
    if (unrecognised) text += text.empty() ? "?" : "+?";
    return text.empty() ? "-" : text;
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
    static const Words kWords[] = {
        {VerdictKind::SizeMismatch, "size mismatch", "size mismatches"},
        {VerdictKind::Beta, "beta", "beta"},
        {VerdictKind::Test, "test release", "test releases"},
        {VerdictKind::PreRelease, "pre-release", "pre-releases"},
        {VerdictKind::Older, "older release", "older releases"},
        {VerdictKind::Newer, "newer release", "newer releases"},
        {VerdictKind::Unrecognized, "unrecognized release", "unrecognized releases"},
    };
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
            line += padded(generationsSeen(record), 11) +
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
