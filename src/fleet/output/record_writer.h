// The fleet's records written to standard output, one installation at a time and in
// input order, so a fleet of any size is written as it is checked.
#pragma once

#include <memory>
#include <optional>
#include <ostream>

#include "fleet/record/records.h"

namespace vud::fleet {

class RecordWriter {
public:
    virtual ~RecordWriter() = default;
    virtual void write(const InstallationRecord& record) = 0;
    // After the last installation: what the format says of the whole fleet.
    virtual void finish() {}
};

enum class Format { Text, Csv, Json, Totals, Metrics };

// What the command line asks of the formats beyond the records themselves. Without a
// policy and without findingsOnly, no format leaves an installation out or names a rule
// of a rollout.
struct WriterOptions {
    RolloutPolicy policy;       // in force: the formats add what the rollout's rules found
    bool findingsOnly = false;  // only installations with findings or errors (CSV: only such rows);
                                // the totals still count every installation
    // --max-report-age: a report older than this many days is a finding, and the formats
    // add its time and whether it is stale.
    std::optional<int> maxReportAgeDays;
    // JSON: kRecordFormat, or kStateRecordFormat for a scan kept as the fleet's state.
    int recordFormat = kRecordFormat;
};

// Each record carries the scan's time and versions where the format has room for them;
// with a baseline, the changes since it (records of installations gone come last).
std::unique_ptr<RecordWriter> makeTextWriter(std::ostream& out, const ScanMetadata& scan,
                                             const WriterOptions& options = {});
std::unique_ptr<RecordWriter> makeCsvWriter(std::ostream& out, const ScanMetadata& scan,
                                            const WriterOptions& options = {});
std::unique_ptr<RecordWriter> makeJsonWriter(std::ostream& out, const ScanMetadata& scan,
                                             const WriterOptions& options = {});
// The whole fleet at its end: totals by application as CSV (metrics: totals.h); the
// scan tells whether it was held to a reference build.
std::unique_ptr<RecordWriter> makeTotalsWriter(std::ostream& out, const WriterOptions& options = {},
                                               const ScanMetadata& scan = {});

std::unique_ptr<RecordWriter> makeWriter(Format format, std::ostream& out, const ScanMetadata& scan,
                                         const WriterOptions& options = {});

}  // namespace vud::fleet
