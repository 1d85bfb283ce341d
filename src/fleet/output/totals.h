// What the fleet adds up as its records stream by: installations by status and by change
// since the baseline, and for each
// catalogue application how many installations have it with each verdict (a build was
// found) or in each state (none was). Added to one installation at a time, so a fleet of
// any size is counted in the same small space.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "fleet/output/record_writer.h"
#include "fleet/record/records.h"

namespace vud::fleet {

// The columns of an application's totals: the verdicts in the records' order, then the
// states of an application without a block (not found, no tag, absent).
inline constexpr int kTotalColumns = kVerdictKindCount + 3;
std::string_view totalColumnName(int column);  // "correct", ..., "not_found", "no_tag", "absent"
int totalColumnOf(const ApplicationRecord& application);

class FleetTotals {
public:
    void add(const InstallationRecord& record);

    int installations() const { return installations_; }
    int withStatus(Status status) const { return byStatus_[static_cast<std::size_t>(status)]; }
    // Installations that changed so since the baseline scan, those gone included; every
    // one is InstallationChange::None without a baseline.
    int withChange(InstallationChange change) const { return byChange_[static_cast<std::size_t>(change)]; }
    int mixed() const { return mixed_; }
    int checkerOutOfDate() const { return checkerOutOfDate_; }
    int staleReports() const { return staleReports_; }
    // Installations whose application at catalogue `position` falls in `column`.
    int of(int position, int column) const {
        return byApplication_[static_cast<std::size_t>(position)][static_cast<std::size_t>(column)];
    }
    // The whole fleet's applications that fall in `column`.
    int ofColumn(int column) const;
    // Installations whose application at catalogue `position` breaks `rule` of the
    // rollout, and installations in which any application does.
    int breaking(int position, PolicyRule rule) const {
        return policyByApplication_[static_cast<std::size_t>(position)][static_cast<std::size_t>(rule)];
    }
    int installationsBreaking(PolicyRule rule) const { return policyByInstallation_[static_cast<std::size_t>(rule)]; }
    // Held to a reference build: installations whose application at catalogue `position`
    // is in `state`, the whole fleet's blocks in it, and installations with any block in it.
    int withReference(int position, ReferenceState state) const {
        return referenceByApplication_[static_cast<std::size_t>(position)][static_cast<std::size_t>(state)];
    }
    int withReference(ReferenceState state) const;
    int installationsWithReference(ReferenceState state) const {
        return referenceByInstallation_[static_cast<std::size_t>(state)];
    }

private:
    int installations_ = 0;
    std::array<int, kStatusCount> byStatus_{};
    std::array<int, kInstallationChangeCount> byChange_{};
    int mixed_ = 0;
    int checkerOutOfDate_ = 0;
    int staleReports_ = 0;
    std::array<std::array<int, kTotalColumns>, kApplicationCount> byApplication_{};
    std::array<std::array<int, kPolicyRuleCount>, kApplicationCount> policyByApplication_{};
    std::array<int, kPolicyRuleCount> policyByInstallation_{};
    std::array<std::array<int, kReferenceStateCount>, kApplicationCount> referenceByApplication_{};
    std::array<int, kReferenceStateCount> referenceByInstallation_{};
};

// The metrics of a fleet scanned as `scan` says.
// "verified", "modified", ...: as the records name the states, with '_' for '-'.
std::string referenceColumnName(ReferenceState state);

std::unique_ptr<RecordWriter> makeMetricsWriter(std::ostream& out, const ScanMetadata& scan,
                                                const WriterOptions& options = {});

// The text output's section after the installations: one line per application with its
// counts that are not zero, then, after a semicolon, how many installations break each
// rule of the rollout with it, and after another, how many have it in each state
// against the reference build.
void writeApplicationTotals(std::ostream& out, const FleetTotals& totals);

}  // namespace vud::fleet
