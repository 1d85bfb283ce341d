#include "fleet/output/record_writer.h"

#include "fleet/output/totals.h"

namespace vud::fleet {

std::unique_ptr<RecordWriter> makeWriter(Format format, std::ostream& out, const ScanMetadata& scan,
                                         const WriterOptions& options) {
    switch (format) {
        case Format::Csv: return makeCsvWriter(out, scan, options);
        case Format::Json: return makeJsonWriter(out, scan, options);
        case Format::Totals: return makeTotalsWriter(out, options, scan);
        case Format::Metrics: return makeMetricsWriter(out, scan, options);
        case Format::Text: break;
    }
    return makeTextWriter(out, scan, options);
}

}  // namespace vud::fleet
