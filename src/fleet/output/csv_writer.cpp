// One row per application of each installation, for spreadsheets and scripts: comma
// separated, CR LF after every row, a field quoted when it holds a comma, a quote or a
// line break, its quotes doubled. An installation that could not be read has one row
// with its error. A rollout's rules add three columns at the end of every row,
// --max-report-age two after them, and a reference build seven more after those.
#include <string>
#include <string_view>

#include "fleet/output/record_writer.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

constexpr char kHeader[] =
    "installation,source,status,error,not_found,damaged,mixed,checker_out_of_date,"
    "position,name,file,state,tag,size,generation,host,verdict,text,"
    "machine,scan_time,vudfleet_version,checker_version";
// With a baseline: what became of the installation, and of the row's application.
constexpr char kChangeHeader[] = ",change,application_change";
// With a rollout's rules: how many applications of the installation break each, and
// the rule the row's application breaks.
constexpr char kPolicyHeader[] = ",wrong_generation,required,policy";
// With --max-report-age: when the installation's report was written, and whether that
// is longer ago than the run allows.
constexpr char kReportAgeHeader[] = ",report_time,stale_report";

// A cell that a spreadsheet would take for a formula (=, +, - or @ first, or a tab or
// a CR, which it skips before one) is guarded as spreadsheet makers advise: quoted,
// with a quote mark first. A cell that begins with a quote mark gets one more, so that
// the guard never makes two cells alike.
bool runAsFormula(std::string_view text) {
    return !text.empty() && std::string_view("=+-@\t\r'").find(text.front()) != std::string_view::npos;
}

// Held to a reference build: the reference file's own SHA-256, how many blocks of the
// installation are in each state, and the state of the row's block.
constexpr char kReferenceHeader[] =
    ",reference_sha256,verified,modified,unreferenced,changed_while_read,not_verifiable,reference";

std::string field(std::string_view text) {
    const bool guarded = runAsFormula(text);
    if (!guarded && text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = guarded ? "\"'" : "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// A name or an error, which may come from anywhere, shown by the rule of every output.
std::string shownField(std::string_view text) { return field(shownSafely(text)); }

class CsvWriter : public RecordWriter {
public:
    CsvWriter(std::ostream& out, const ScanMetadata& scan, const WriterOptions& options)
        : out_(out),
          scan_(',' + isoTime(scan.time) + ',' + field(scan.vudfleetVersion) + ',' + field(scan.checkerVersion)),
          compared_(scan.compared),
          policy_(options.policy.inForce()),
          findingsOnly_(options.findingsOnly),
          reportAge_(options.maxReportAgeDays.has_value()),
          reference_(scan.referenceDigest.empty() ? "" : ',' + scan.referenceDigest) {
        out_ << kHeader << (compared_ ? kChangeHeader : "") << (policy_ ? kPolicyHeader : "")
             << (reportAge_ ? kReportAgeHeader : "") << (reference_.empty() ? "" : kReferenceHeader) << "\r\n";
    }

    void write(const InstallationRecord& record) override {
        const bool gone = record.change == InstallationChange::Gone;
        std::string installation = shownField(record.installation) + ',' + std::string(sourceName(record.source)) +
                                   ',' + std::string(gone ? "" : statusName(record.status)) + ',' +
                                   shownField(gone ? "" : record.error) + ',';
        // The columns after an application's: the same on every row of an installation.
        std::string after = ',' + shownField(record.machine) + scan_;
        if (compared_) after += ',' + std::string(changeName(record.change)) + ',';
        const std::string reportAge = reportAgeColumns(record, record.status != Status::Error && !gone);
        if (record.status == Status::Error || gone) {
            out_ << installation << ",,,,,,,,,,,,," << after << (policy_ ? ",,," : "") << reportAge
                 << (reference_.empty() ? "" : reference_ + ",,,,,,") << "\r\n";
            return;
        }
        if (findingsOnly_ && record.status == Status::Ok) return;
        installation += std::to_string(record.notFound) + ',' + std::to_string(record.damaged) + ',' +
                        (record.mixed ? "true" : "false") + ',' +
                        (record.checkerOutOfDate ? "true" : "false") + ',';
        std::string policy;
        if (policy_) {
            policy = ',' + std::to_string(record.policyFindings[static_cast<std::size_t>(PolicyRule::WrongGeneration)]) +
                     ',' + std::to_string(record.policyFindings[static_cast<std::size_t>(PolicyRule::Required)]) + ',';
        }
        std::string reference;
        if (!reference_.empty()) {
            reference = reference_;
            for (const int count : record.referenceCounts) reference += ',' + std::to_string(count);
            reference += ',';
        }
        bool written = false;
        for (const ApplicationRecord& application : record.applications) {
            if (findingsOnly_ && !isFinding(application) && !application.policy) continue;
            written = true;
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
            out_ << after;
            if (compared_) out_ << changeName(application.change);
            if (policy_) out_ << policy << (application.policy ? policyRuleName(*application.policy) : "");
            out_ << reportAge;
            out_ << reference << (application.reference ? referenceStateName(*application.reference) : "");
            out_ << "\r\n";
        }
        // Findings of the installation as a whole (mixed host generations of correct
        // builds, not one application found) name no application: one row without
        // application columns keeps the installation in the list.
        if (!written && findingsOnly_)
            out_ << installation << ",,,,,,,,," << after << policy << reportAge << reference << "\r\n";
    }

private:
    // Empty without --max-report-age; the stale column empty where nothing was checked.
    std::string reportAgeColumns(const InstallationRecord& record, bool checked) const {
        if (!reportAge_) return {};
        return ',' + (record.reportTime ? isoTime(*record.reportTime) : std::string()) + ',' +
               (checked ? (record.staleReport ? "true" : "false") : "");
    }

    std::ostream& out_;
    std::string scan_;  // the scan's columns, each with the comma before it
    bool compared_;
    bool policy_;
    bool findingsOnly_;
    bool reportAge_;
    std::string reference_;  // the reference's digest with the comma before it; empty: none
};

}  // namespace

std::unique_ptr<RecordWriter> makeCsvWriter(std::ostream& out, const ScanMetadata& scan,
                                            const WriterOptions& options) {
    return std::make_unique<CsvWriter>(out, scan, options);
}

}  // namespace vud::fleet
