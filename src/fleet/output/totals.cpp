#include "fleet/output/totals.h"

namespace vud::fleet {

std::string_view totalColumnName(int column) {
    if (column < kVerdictKindCount) return verdictName(static_cast<VerdictKind>(column));
    return stateName(static_cast<ApplicationState>(column - kVerdictKindCount + 1));
}

int totalColumnOf(const ApplicationRecord& application) {
    if (application.state == ApplicationState::Block) return static_cast<int>(application.verdict);
    return kVerdictKindCount + static_cast<int>(application.state) - 1;
}

void FleetTotals::add(const InstallationRecord& record) {
    ++byChange_[static_cast<std::size_t>(record.change)];
    // An installation gone since the baseline was not checked in this scan.
    if (record.change == InstallationChange::Gone) return;
    ++installations_;
    ++byStatus_[static_cast<std::size_t>(record.status)];
    if (record.status == Status::Error) return;
    mixed_ += record.mixed ? 1 : 0;
    checkerOutOfDate_ += record.checkerOutOfDate ? 1 : 0;
    staleReports_ += record.staleReport ? 1 : 0;
    for (const ApplicationRecord& application : record.applications) {
        if (application.position < 0 || application.position >= kApplicationCount) continue;
        const auto position = static_cast<std::size_t>(application.position);
        ++byApplication_[position][static_cast<std::size_t>(totalColumnOf(application))];
        if (application.policy) ++policyByApplication_[position][static_cast<std::size_t>(*application.policy)];
        if (application.reference)
            ++referenceByApplication_[position][static_cast<std::size_t>(*application.reference)];
    }
    for (std::size_t rule = 0; rule < policyByInstallation_.size(); ++rule)
        policyByInstallation_[rule] += record.policyFindings[rule] > 0 ? 1 : 0;
    for (std::size_t state = 0; state < referenceByInstallation_.size(); ++state)
        referenceByInstallation_[state] += record.referenceCounts[state] > 0 ? 1 : 0;
}

int FleetTotals::ofColumn(int column) const {
    int total = 0;
    for (int position = 0; position < kApplicationCount; ++position) total += of(position, column);
    return total;
}

int FleetTotals::withReference(ReferenceState state) const {
    int total = 0;
    for (int position = 0; position < kApplicationCount; ++position) total += withReference(position, state);
    return total;
}

std::string referenceColumnName(ReferenceState state) {
    std::string name(referenceStateName(state));
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

namespace {

// "N name" after the other counts of a line: `lead` before the first of a list, ", "
// before each after it.
void appendCounted(std::string& line, bool& first, std::string_view lead, int count, std::string_view name) {
    if (count == 0) return;
    line += first ? lead : ", ";
    line += std::to_string(count) + ' ';
    line += name;
    first = false;
}

}  // namespace

void writeApplicationTotals(std::ostream& out, const FleetTotals& totals) {
    const int read = totals.installations() - totals.withStatus(Status::Error);
    out << "\nBy application, of " << read << (read == 1 ? " installation" : " installations") << " read:\n";
    for (int position = 0; position < kApplicationCount; ++position) {
        std::string line = "  ";
        line += kApplicationCatalogue[position].fileName;
        line.resize(14, ' ');
        bool first = true;
        for (int column = 0; column < kTotalColumns; ++column)
            appendCounted(line, first, "", totals.of(position, column), totalColumnName(column));
        if (first) line += "none";
        first = true;
        for (const PolicyRule rule : kPolicyRules)
            appendCounted(line, first, "; policy: ", totals.breaking(position, rule), policyRuleName(rule));
        first = true;
        for (const ReferenceState state : kReferenceStates)
            appendCounted(line, first, "; reference: ", totals.withReference(position, state), referenceStateName(state));
        out << line << '\n';
    }
    out << '\n';
}

namespace {

// One row per catalogue application, for a spreadsheet or a script: its position, file
// and name, then how many installations have it in each total column. Comma separated,
// CR LF after every row, as the records' CSV.
// Where a rollout's rules are in force, a column for each follows: how many
// installations break it with the application. With --max-report-age, a column of
// stale reports; held to a reference build, a column for each state of its bytes.
class TotalsWriter : public RecordWriter {
public:
    TotalsWriter(std::ostream& out, const WriterOptions& options, const ScanMetadata& scan)
        : out_(out),
          policy_(options.policy.inForce()),
          reportAge_(options.maxReportAgeDays.has_value()),
          reference_(!scan.referenceDigest.empty()) {}

    void write(const InstallationRecord& record) override { totals_.add(record); }

    void finish() override {
        out_ << "position,file,name";
        for (int column = 0; column < kTotalColumns; ++column) {
            out_ << ',' << totalColumnName(column);
        }
        if (policy_) out_ << ",wrong_generation,required";
        if (reportAge_) out_ << ",stale_report";
        if (reference_)
            for (const ReferenceState state : kReferenceStates) out_ << ',' << referenceColumnName(state);
        out_ << "\r\n";
        // Names and files hold letters, digits, spaces, points and slashes: no quoting.
        for (int position = 0; position < kApplicationCount; ++position) {
            out_ << position << ',' << kApplicationCatalogue[position].fileName << ','
                 << kApplicationCatalogue[position].displayName;
            for (int column = 0; column < kTotalColumns; ++column) out_ << ',' << totals_.of(position, column);
            if (policy_)
                out_ << ',' << totals_.breaking(position, PolicyRule::WrongGeneration) << ','
                     << totals_.breaking(position, PolicyRule::Required);
            // Of the installations the row counts, those read from a stale report: every
            // row counts each installation read once.
            if (reportAge_) out_ << ',' << totals_.staleReports();
            if (reference_)
                for (const ReferenceState state : kReferenceStates) out_ << ',' << totals_.withReference(position, state);
            out_ << "\r\n";
        }
    }

private:
    std::ostream& out_;
    bool policy_;
    bool reportAge_;
    bool reference_;  // held to a reference build: a column for each state
    FleetTotals totals_;
};

}  // namespace

std::unique_ptr<RecordWriter> makeTotalsWriter(std::ostream& out, const WriterOptions& options,
                                               const ScanMetadata& scan) {
    return std::make_unique<TotalsWriter>(out, options, scan);
}

}  // namespace vud::fleet
