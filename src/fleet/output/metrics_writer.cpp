// The fleet's totals for monitoring, in the Prometheus text exposition format, as the
// textfile collectors of the node exporters on Linux and Windows read a .prom file:
// every metric a gauge with its HELP and TYPE lines, names beginning "vudfleet_", no
// time stamps on samples (the collectors refuse them), LF line ends on every platform,
// no byte order mark, and a line end after the last sample. Every series is written
// even when it is 0, so an alert on it never sees a gap.
#include <string>
#include <utility>
#include <string_view>

#include "fleet/output/totals.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

// A label value: shown by the rule of every output, then its backslashes and quotes
// escaped, as the format asks.
std::string labelValue(std::string_view text) {
    std::string escaped;
    for (const char c : shownSafely(text)) {
        if (c == '\\') escaped += "\\\\";
        else if (c == '"') escaped += "\\\"";
        else escaped += c;
    }
    return escaped;
}

class MetricsWriter : public RecordWriter {
public:
    MetricsWriter(std::ostream& out, ScanMetadata scan, bool policy, bool reportAge)
        : out_(out), scan_(std::move(scan)), policy_(policy), reportAge_(reportAge) {}

    void write(const InstallationRecord& record) override {
        totals_.add(record);
        if (record.status == Status::Error && record.change != InstallationChange::Gone && record.lastSeen &&
            unseenForADay(*record.lastSeen, scan_.time))
            ++unseen_;
    }

    void finish() override {
        family("vudfleet_installations", "Installations checked, by status: ok, findings or error.");
        for (const Status status : {Status::Ok, Status::Findings, Status::Error})
            out_ << "vudfleet_installations{status=\"" << statusName(status) << "\"} " << totals_.withStatus(status)
                 << '\n';
        family("vudfleet_errors", "Installations that could not be read or whose report could not be parsed.");
        out_ << "vudfleet_errors " << totals_.withStatus(Status::Error) << '\n';
        family("vudfleet_mixed_installations", "Installations with builds for more than one host generation.");
        out_ << "vudfleet_mixed_installations " << totals_.mixed() << '\n';
        family("vudfleet_checker_out_of_date_installations",
               "Installations with a build newer than this checker knows: get a newer checker.");
        out_ << "vudfleet_checker_out_of_date_installations " << totals_.checkerOutOfDate() << '\n';
        if (reportAge_) {
            family("vudfleet_stale_report_installations",
                   "Installations read from a saved report written longer ago than --max-report-age allows.");
            out_ << "vudfleet_stale_report_installations " << totals_.staleReports() << '\n';
        }
        family("vudfleet_applications",
               "Installations by application and what was found of it: state block with the build's verdict, "
               "or the state not_found, no_tag or absent.");
        for (int position = 0; position < kApplicationCount; ++position) {
            const std::string application = labelValue(kApplicationCatalogue[position].fileName);
            for (int column = 0; column < kTotalColumns; ++column) {
                out_ << "vudfleet_applications{application=\"" << application << "\",";
                if (column < kVerdictKindCount)
                    out_ << "state=\"block\",verdict=\"" << totalColumnName(column) << "\"}";
                else
                    out_ << "state=\"" << totalColumnName(column) << "\"}";
                out_ << ' ' << totals_.of(position, column) << '\n';
            }
        }
        if (policy_) writePolicy();
        // Only against a baseline, which alone knows when an installation last answered.
        if (scan_.compared) {
            family("vudfleet_unseen_installations",
                   "Installations that did not answer and were last seen more than a day before the scan, as the "
                   "baseline recorded it.");
            out_ << "vudfleet_unseen_installations " << unseen_ << '\n';
        }
        if (!scan_.referenceDigest.empty()) writeReference();
        family("vudfleet_scan_timestamp_seconds", "When the scan started, in seconds since 1970-01-01 UTC.");
        out_ << "vudfleet_scan_timestamp_seconds " << scan_.time << '\n';
        family("vudfleet_info", "The versions of vudfleet and of the checker catalogue the scan judged by.");
        out_ << "vudfleet_info{version=\"" << labelValue(scan_.vudfleetVersion) << "\",checker_version=\""
             << labelValue(scan_.checkerVersion) << "\"} 1\n";
    }

private:
    // Only where a rollout's rules are in force: an alert on them then means the
    // rollout is not done.
    void writePolicy() {
        family("vudfleet_policy_installations",
               "Installations that break a rule of the rollout: wrong_generation (a build for a host generation "
               "not expected) or required (an application not found).");
        for (const PolicyRule rule : kPolicyRules)
            out_ << "vudfleet_policy_installations{rule=\"" << policyRuleName(rule) << "\"} "
                 << totals_.installationsBreaking(rule) << '\n';
        family("vudfleet_policy_applications", "Installations by application and the rule of the rollout it breaks.");
        for (int position = 0; position < kApplicationCount; ++position)
            for (const PolicyRule rule : kPolicyRules)
                out_ << "vudfleet_policy_applications{application=\""
                     << labelValue(kApplicationCatalogue[position].fileName) << "\",rule=\"" << policyRuleName(rule)
                     << "\"} " << totals_.breaking(position, rule) << '\n';
    }

    // Only where the blocks were held to a reference build: an alert on modified
    // installations then means some file is not the release's bytes.
    void writeReference() {
        family("vudfleet_reference_info",
               "The reference build the blocks were held to, by the reference file's own SHA-256, and whether "
               "every block had to be verified.");
        out_ << "vudfleet_reference_info{sha256=\"" << labelValue(scan_.referenceDigest) << "\",required=\""
             << (scan_.referenceRequired ? "true" : "false") << "\"} 1\n";
        family("vudfleet_reference_installations",
               "Installations with at least one block in each state against the reference build: verified, "
               "modified (other bytes), unreferenced, changed_while_read or not_verifiable (a saved report).");
        for (const ReferenceState state : kReferenceStates)
            out_ << "vudfleet_reference_installations{state=\"" << referenceStateName(state) << "\"} "
                 << totals_.installationsWithReference(state) << '\n';
        family("vudfleet_reference_applications", "Installations by application and the state of its block against "
                                                  "the reference build.");
        for (int position = 0; position < kApplicationCount; ++position)
            for (const ReferenceState state : kReferenceStates)
                out_ << "vudfleet_reference_applications{application=\""
                     << labelValue(kApplicationCatalogue[position].fileName) << "\",state=\""
                     << referenceStateName(state) << "\"} " << totals_.withReference(position, state) << '\n';
    }

    void family(std::string_view name, std::string_view help) {
        out_ << "# HELP " << name << ' ' << help << "\n# TYPE " << name << " gauge\n";
    }

    std::ostream& out_;
    ScanMetadata scan_;
    bool policy_;
    bool reportAge_;  // only with --max-report-age
    FleetTotals totals_;
    int unseen_ = 0;
};

}  // namespace

std::unique_ptr<RecordWriter> makeMetricsWriter(std::ostream& out, const ScanMetadata& scan,
                                                const WriterOptions& options) {
    return std::make_unique<MetricsWriter>(out, scan, options.policy.inForce(), options.maxReportAgeDays.has_value());
}

}  // namespace vud::fleet
