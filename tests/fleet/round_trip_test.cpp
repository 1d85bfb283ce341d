// A saved report of an installation reads back into the very records that scanning the
// installation gives, applications without a block read as absent and those of them the
// summary does not count as not found counted damaged: over generated
// installations of every kind of finding, in memory and through the real programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "fleet/generated_installation.h"
#include "fleet/output/record_writer.h"
#include "fleet/input/report_parser.h"
#include "fleet/input/scan.h"
#include "probe/memory_installation.h"
#include "support/run_checker.h"
#include "support/scratch_folder.h"
#include "verify/summary.h"
#include "verify/verification.h"

namespace vud::fleet {
namespace {

std::string jsonOf(const InstallationRecord& record) {
    std::ostringstream out;
    makeJsonWriter(out, ScanMetadata{1796940451, "2.4.0", "2.3.0"})->write(record);
    return out.str();
}

// What a report can tell of a scanned installation: how many files were damaged, not which.
InstallationRecord asReportTells(InstallationRecord record) {
    record.source = Source::Report;
    for (ApplicationRecord& application : record.applications)
        if (application.state != ApplicationState::Block) application.state = ApplicationState::Absent;
    return record;
}

TEST(RoundTrip, ReportOfEveryGeneratedInstallationReadsBackAsItsScan) {
    std::set<VerdictKind> verdicts;
    std::set<Status> statuses;
    bool mixed = false;
    bool checkerOutOfDate = false;
    bool unrecognisedGeneration = false;
    for (unsigned seed = 0; seed < 240; ++seed) {
        SCOPED_TRACE("installation " + std::to_string(seed));
        MemoryInstallation installation;
        testing::putInto(installation, testing::generateInstallation(seed));
        std::ostringstream report;
        runVerification(installation, report);
        const InstallationRecord scanned = scanInstallation(installation, "ws");
        const InstallationRecord parsed = parseReport(report.str(), "ws");
        ASSERT_EQ(Status::Error == parsed.status ? parsed.error : "", "") << report.str();
        EXPECT_EQ(jsonOf(asReportTells(scanned)), jsonOf(parsed));

        statuses.insert(scanned.status);
        mixed = mixed || scanned.mixed;
        checkerOutOfDate = checkerOutOfDate || scanned.checkerOutOfDate;
        for (const ApplicationRecord& application : scanned.applications) {
            if (application.state != ApplicationState::Block) continue;
            verdicts.insert(application.verdict);
            unrecognisedGeneration = unrecognisedGeneration || !application.generation;
        }
    }
    // The installations cover what they are meant to.
    for (int kind = 0; kind < kVerdictKindCount; ++kind)
        EXPECT_TRUE(verdicts.count(static_cast<VerdictKind>(kind)) == 1) << verdictName(static_cast<VerdictKind>(kind));
    EXPECT_EQ((std::set<Status>{Status::Ok, Status::Findings}), statuses);
    EXPECT_TRUE(mixed);
    EXPECT_TRUE(checkerOutOfDate);
    EXPECT_TRUE(unrecognisedGeneration);
}

// The checker shows a tag's control and high bytes as "?" and nothing after its NUL,
// yet judges by them. Every byte at every position the judgement reads, shown or
// hidden behind an earlier NUL, gives a report that reads back.
TEST(RoundTrip, EveryByteAtEveryPositionOfATagReadsBack) {
    using namespace std::string_literals;
    // vud_mcp.ma, F.1.3: 59553 bytes for FWP 8.0, 56476 for FWP 7.0 (later range).
    const struct {
        std::string tag;
        std::int64_t size;
    } builds[] = {{"ver 8.1.3\0\0\0"s, 59553}, {"ver 10.1.3\0\0"s, 59553}, {"ver 7.1.3\0\0\0"s, 56476}};
    for (const auto& build : builds) {
        for (std::size_t nulAt = 4; nulAt <= 12; ++nulAt) {
            for (std::size_t at = 4; at <= 11; ++at) {
                for (int byte = 0; byte < 256; ++byte) {
                    VersionTag tag{};
                    build.tag.copy(tag.text, kVersionTagLength);
                    if (nulAt < 12) tag.text[nulAt] = '\0';
                    tag.text[at] = static_cast<char>(byte);
                    // The report of an installation that holds this build alone.
                    const Verdict verdict = judgeApplication(0, tag, build.size);
                    RunTally tally;
                    tally.notFoundCount = 40;
                    verdict.addTo(tally);
                    std::ostringstream report;
                    printApplicationBlock(report, "vud_mcp.ma", tag, build.size, verdict);
                    printRunSummary(tally, report);
                    const InstallationRecord parsed = parseReport(report.str(), "ws");
                    ASSERT_NE(Status::Error, parsed.status)
                        << parsed.error << "\nNUL at " << nulAt << ", byte " << byte << " at " << at << "\n"
                        << report.str();
                }
            }
        }
    }
}

// The same through the programs a user runs: vudcheck's report saved in a file, and
// vudfleet scanning the folder, for a few installations on disk.
TEST(RoundTrip, SavedReportAndFolderGiveTheSameRecordsThroughThePrograms) {
    const testing::ScratchFolder scratch;
    std::vector<std::string> folderArguments{"--format", "json"};
    std::vector<std::string> reportArguments{"--format", "json"};
    for (unsigned seed : {0u, 1u, 2u, 3u, 17u}) {
        const std::string folder = "ws" + std::to_string(seed);
        testing::writeInto(scratch.path() / folder, testing::generateInstallation(seed));
        std::filesystem::current_path(scratch.path() / folder);
        const testing::CheckerResult report = testing::runChecker({});
        std::filesystem::current_path(scratch.path());
        testing::writeFile(folder + ".txt", report.out);
        folderArguments.push_back(folder);
        reportArguments.push_back(folder + ".txt");
    }
    const testing::CheckerResult scanned = testing::runProgram(VUDFLEET_EXECUTABLE, folderArguments);
    const testing::CheckerResult parsed = testing::runProgram(VUDFLEET_EXECUTABLE, reportArguments);
    EXPECT_EQ(1, scanned.status);
    EXPECT_EQ(1, parsed.status);
    ASSERT_FALSE(scanned.out.empty());

    // Line by line: the names, the states and the report's time differ as a report tells
    // them, nothing else.
    std::istringstream scannedLines(scanned.out);
    std::istringstream parsedLines(parsed.out);
    std::string scannedLine;
    std::string parsedLine;
    int installations = 0;
    while (std::getline(scannedLines, scannedLine)) {
        ASSERT_TRUE(std::getline(parsedLines, parsedLine));
        // A report carries its file's time, last; a folder has none.
        const std::size_t reportTime = parsedLine.rfind(",\"report_time\":\"");
        ASSERT_NE(std::string::npos, reportTime) << parsedLine;
        parsedLine.erase(reportTime, parsedLine.size() - 1 - reportTime);
        // The two runs may start in different seconds.
        const std::size_t time = parsedLine.find("\"scan_time\":\"") + 13;
        scannedLine.replace(scannedLine.find("\"scan_time\":\"") + 13, 20, parsedLine, time, 20);
        std::string expected = scannedLine;
        expected.insert(expected.find("\",\"machine\""), ".txt");
        const std::string folder = "\"source\":\"folder\"";
        expected.replace(expected.find(folder), folder.size(), "\"source\":\"report\"");
        for (const char* hidden : {"\"state\":\"not_found\"", "\"state\":\"no_tag\""}) {
            for (std::size_t at = expected.find(hidden); at != std::string::npos; at = expected.find(hidden))
                expected.replace(at, std::string(hidden).size(), "\"state\":\"absent\"");
        }
        EXPECT_EQ(expected, parsedLine);
        ++installations;
    }
    EXPECT_EQ(5, installations);
}

}  // namespace
}  // namespace vud::fleet
