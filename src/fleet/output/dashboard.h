// The fleet dashboard: one self-contained HTML page (no script, no network, no file
// beside it) that puts the installations that need attention first, worst first, and
// folds the ok ones into one row that opens on demand; each installation a row of the
// 41 applications, each cell coloured by its verdict; the scan, the fleet's totals and a
// legend above, the totals of each application under the grid.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "fleet/record/records.h"
#include "fleet/output/totals.h"

namespace vud::fleet {

// The page of a fleet whose records come one at a time. Each row is made as its record
// comes and set aside in a temporary file, with a few numbers to sort it by, so a fleet
// of any size is shown in little memory; the page is written at the end, once the
// totals above the rows are known.
class Dashboard {
public:
    explicit Dashboard(ScanMetadata scan);
    ~Dashboard();
    Dashboard(const Dashboard&) = delete;
    Dashboard& operator=(const Dashboard&) = delete;

    // The rollout's rules the records were held to, named at the top with their marks.
    void holdTo(RolloutPolicy policy);
    void add(const InstallationRecord& installation);
    // Writes the page: errors first, then installations with findings, most findings
    // first, then the ok ones folded; in input order within each. False when the rows
    // set aside could not be read back.
    bool write(std::ostream& out);

private:
    struct Row {
        std::uint64_t offset = 0;  // in the spool
        std::uint32_t length = 0;
        std::uint32_t rank = 0;    // lower comes first
        std::uint32_t input = 0;   // position in the input
        bool folded = false;       // a compact line in the ok fold
    };
    class Spool;

    ScanMetadata scan_;
    RolloutPolicy policy_;
    FleetTotals totals_;
    std::unique_ptr<Spool> spool_;
    std::vector<Row> rows_;
    std::string buffer_;
};

// How many findings an installation shows, the key of its place among those with
// findings: its applications whose build is not correct, that break a rule of the
// rollout or whose bytes the reference build finds wanting, its damaged ones, and one
// each for mixed host generations, for not one application found and for a stale report.
int findingCount(const InstallationRecord& installation);

}  // namespace vud::fleet
