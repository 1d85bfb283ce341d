// One row per application of each installation, for spreadsheets and scripts: comma
// separated, CR LF after every row, a field quoted when it holds a comma, a quote or a
// line break, its quotes doubled. An installation that could not be read has one row
// with its error.
#include <string>
#include <string_view>

#include "fleet/record_writer.h"

namespace vud::fleet {
namespace {

constexpr char kHeader[] =
    "installation,source,status,error,not_found,damaged,mixed,checker_out_of_date,"
    "position,name,file,state,tag,size,generation,host,verdict,text\r\n";

std::string field(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

class CsvWriter : public RecordWriter {
public:
    explicit CsvWriter(std::ostream& out) : out_(out) { out_ << kHeader; }

    void write(const InstallationRecord& record) override {
        std::string installation = field(record.installation) + ',' + std::string(sourceName(record.source)) +
                                   ',' + std::string(statusName(record.status)) + ',' + field(record.error) + ',';
        if (record.status == Status::Error) {
            out_ << installation << ",,,,,,,,,,,,,\r\n";
            return;
        }
        installation += std::to_string(record.notFound) + ',' + std::to_string(record.damaged) + ',' +
                        (record.mixed ? "true" : "false") + ',' +
                        (record.checkerOutOfDate ? "true" : "false") + ',';
        for (const ApplicationRecord& application : record.applications) {
            out_ << installation << application.position << ',' << field(application.name) << ','
                 << field(application.file) << ',' << stateName(application.state) << ',';
            if (application.state == ApplicationState::Block) {
                out_ << field(application.tag) << ',' << application.size << ','
                     << (application.generation ? std::to_string(*application.generation) : std::string()) << ','
                     << field(application.host) << ',' << verdictName(application.verdict) << ','
                     << field(application.text);
            } else {
                out_ << ",,,,,";
            }
            out_ << "\r\n";
        }
    }

private:
    std::ostream& out_;
};

}  // namespace

std::unique_ptr<RecordWriter> makeCsvWriter(std::ostream& out) { return std::make_unique<CsvWriter>(out); }

}  // namespace vud::fleet
