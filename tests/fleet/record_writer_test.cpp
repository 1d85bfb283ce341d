// The formats of standard output, each written whole for a small fleet: an
// installation with findings (its name needing CSV quotes), one that could not be
// read, and one that is ok.
#include "fleet/output/record_writer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "catalogue/catalogue.h"
#include "fleet/generated_installation.h"
#include "fleet/output/totals.h"

namespace vud::fleet {
namespace {


ApplicationRecord block(int position, const char* name, const char* file, const char* tag, std::int64_t size,
                        VerdictKind verdict, const char* text) {
    ApplicationRecord application;
    application.position = position;
    application.name = name;
    application.file = file;
    application.state = ApplicationState::Block;
    application.tag = tag;
    application.size = size;
    application.generation = 8;
    application.host = "FWP 8.0.x.x";
    application.verdict = verdict;
    application.text = text;
    return application;
}

std::vector<InstallationRecord> smallFleet() {
    InstallationRecord findings;
    findings.installation = "\\\\ws1\\c$\\Vud, \"main\"";
    findings.machine = "ws1";
    findings.source = Source::Folder;
    findings.status = Status::Findings;
    findings.counts = {1, 1, 0, 0, 0, 0, 0, 0};
    findings.notFound = 1;
    findings.damaged = 1;
    findings.applications = {
        block(0, "Member Copy Along Path", "vud_mcp.ma", "ver 8.1.3", 59553, VerdictKind::Correct,
              "vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match"),
        block(1, "Beam Splice Generator", "vud_bsg.ma", "ver 8.0.6", 5, VerdictKind::SizeMismatch,
              "two\nlines"),
    };
    ApplicationRecord missing;
    missing.position = 2;
    missing.name = "Column Base Plate Designer";
    missing.file = "vud_cbp.ma";
    missing.state = ApplicationState::NotFound;
    findings.applications.push_back(missing);
    ApplicationRecord damaged = missing;
    damaged.position = 3;
    damaged.name = "Anchor Bolt Layout";
    damaged.file = "vud_abl.ma";
    damaged.state = ApplicationState::NoTag;
    findings.applications.push_back(damaged);

    InstallationRecord error;
    error.installation = "ws2.txt";
    error.source = Source::Report;
    error.status = Status::Error;
    error.error = "line 1: expected a report";

    InstallationRecord ok;
    ok.installation = "ws3";
    ok.source = Source::Report;
    ok.status = Status::Ok;
    ok.counts = {1, 0, 0, 0, 0, 0, 0, 0};
    ok.applications = {block(0, "Member Copy Along Path", "vud_mcp.ma", "ver 11.1.3", 65685, VerdictKind::Correct, "ok")};
    ok.applications[0].generation = 11;
    ok.applications[0].host = "FWP 11.0.x.x";
    ok.mixed = false;
    ok.checkerOutOfDate = false;
    return {findings, error, ok};
}

const ScanMetadata kScan{1796940451, "2.4.0", "2.3.0"};

std::string written(Format format) {
    std::ostringstream out;
    const std::unique_ptr<RecordWriter> writer = makeWriter(format, out, kScan);
    for (const InstallationRecord& record : smallFleet()) writer->write(record);
    writer->finish();
    return out.str();
}

TEST(RecordWriter, TextHasOneAlignedLineAnInstallationAndOneForTheFleet) {
    EXPECT_EQ("findings  8           1 of  2 correct  \\\\ws1\\c$\\Vud, \"main\"  1 size mismatch, 1 damaged (no version tag), "
              "1 not found\n"
              "error     -                            ws2.txt  line 1: expected a report\n"
              "ok        11          1 of  1 correct  ws3\n"
              "\n"
              "By application, of 2 installations read:\n"
              "  vud_mcp.ma  2 correct\n"
              "  vud_bsg.ma  1 size_mismatch\n"
              "  vud_cbp.ma  1 not_found\n"
              "  vud_abl.ma  1 no_tag\n" +
                  vud::testing::applicationTotalLines(4, "none") +
                  "\n"
                  "3 installations: 1 ok, 1 with findings, 1 error\n",
              written(Format::Text));
}

// An installation's line whatever its columns hold: as many host generations as there
// are, unrecognised ones among them, two-digit counts. The columns stay where they are:
// host generations that do not fit theirs go on in it below, each line cut after a "+".
TEST(RecordWriter, TextColumnsStayAlignedWhateverACellHolds) {
    const struct {
        std::vector<std::optional<int>> generations;  // of the blocks, in catalogue order
        int correct;                                  // the first ones; the others are older
        const char* line;
    } cases[] = {
        {{}, 0, "findings  -           0 of  0 correct  ws  no application found\n"},
        {{11}, 1, "ok        11          1 of  1 correct  ws\n"},
        {{2, 6, 7, 8, 9}, 1, "findings  2+6+7+8+9   1 of  5 correct  ws  4 older releases\n"},
        {{2, 6, 7, 8, 10}, 1,
         "findings  2+6+7+8+    1 of  5 correct  ws  4 older releases\n"
         "          10\n"},
        {{10, 10, 10, 10, 10, 10, 10, 2, 6, 7, 8, 10}, 10,
         "findings  2+6+7+8+   10 of 12 correct  ws  2 older releases\n"
         "          10\n"},
        {{2, 6, 7, 8, 10, 11, 12, std::nullopt}, 1,
         "findings  2+6+7+8+    1 of  8 correct  ws  7 older releases\n"
         "          10+11+12+\n"
         "          ?\n"},
        {{2, 6, 7, 8, 9, 10, 11, 12, std::nullopt, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11,
          11, 11, 11, 11, 11, 11, 11, 11, 11, 11},
         15,
         "findings  2+6+7+8+   15 of 35 correct  ws  20 older releases\n"
         "          9+10+11+\n"
         "          12+?\n"},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.line);
        InstallationRecord record;
        record.installation = "ws";
        const int blocks = static_cast<int>(example.generations.size());
        record.status = blocks > 0 && example.correct == blocks ? Status::Ok : Status::Findings;
        record.counts[static_cast<int>(VerdictKind::Correct)] = example.correct;
        record.counts[static_cast<int>(VerdictKind::Older)] = blocks - example.correct;
        for (int position = 0; position < blocks; ++position) {
            ApplicationRecord application =
                block(position, "Application", "vud_app.ma", "ver 8.0.1", 1,
                      position < example.correct ? VerdictKind::Correct : VerdictKind::Older, "as judged");
            application.generation = example.generations[static_cast<std::size_t>(position)];
            record.applications.push_back(application);
        }
        std::ostringstream out;
        makeTextWriter(out, kScan)->write(record);
        EXPECT_EQ(example.line, out.str());
    }
}

// The host generations column of a mixed installation, one of whose blocks names a
// generation the checker does not know; the dashboard writes the same as "8 11 NA".
TEST(RecordWriter, TextNamesTheGenerationsSeenInAscendingOrderThenTheUnrecognised) {
    InstallationRecord mixed;
    mixed.installation = "ws4";
    mixed.status = Status::Findings;
    mixed.counts = {2, 0, 0, 0, 0, 0, 0, 1};
    mixed.mixed = true;
    mixed.applications = {
        block(0, "Member Copy Along Path", "vud_mcp.ma", "ver 11.1.3", 65685, VerdictKind::Correct, "ok"),
        block(1, "Beam Splice Generator", "vud_bsg.ma", "ver 5.0.6", 5, VerdictKind::Unrecognized, "unknown"),
        block(2, "Column Base Plate Designer", "vud_cbp.ma", "ver 8.1.3", 106231, VerdictKind::Correct, "ok"),
    };
    mixed.applications[0].generation = 11;
    mixed.applications[0].host = "FWP 11.0.x.x";
    mixed.applications[1].generation = std::nullopt;
    mixed.applications[1].host = "NA";
    std::ostringstream out;
    makeWriter(Format::Text, out, kScan)->write(mixed);
    EXPECT_EQ("findings  8+11+?      2 of  3 correct  ws4  1 unrecognized release, mixed host generations\n", out.str());
}

// The totals' rows of the applications that no installation of the small fleet has,
// positions 4 to 40, each ending in `zeros`.
std::string rowsOfNone(const std::string& zeros) {
    std::string rows;
    for (int position = 4; position < kApplicationCount; ++position)
        rows += std::to_string(position) + ',' + kApplicationCatalogue[position].fileName + ',' +
                kApplicationCatalogue[position].displayName + zeros;
    return rows;
}

// The fleet's totals as a script reads them: a row for every catalogue application.
TEST(RecordWriter, TotalsHaveARowAnApplicationWithItsCountByVerdictAndState) {
    std::string expected =
        "position,file,name,correct,size_mismatch,beta,test,pre_release,older,newer,unrecognized,not_found,no_tag,"
        "absent\r\n"
        "0,vud_mcp.ma,Member Copy Along Path,2,0,0,0,0,0,0,0,0,0,0\r\n"
        "1,vud_bsg.ma,Beam Splice Generator,0,1,0,0,0,0,0,0,0,0,0\r\n"
        "2,vud_cbp.ma,Column Base Plate Designer,0,0,0,0,0,0,0,0,1,0,0\r\n"
        "3,vud_abl.ma,Anchor Bolt Layout,0,0,0,0,0,0,0,0,0,1,0\r\n";
    EXPECT_EQ(expected + rowsOfNone(",0,0,0,0,0,0,0,0,0,0,0\r\n"), written(Format::Totals));
}

// Every series is there, 0 or not, so an alert never sees a gap.
TEST(RecordWriter, MetricsAreGaugesWithHelpAndTypeAndNoTimeStamps) {
    std::vector<InstallationRecord> fleet = smallFleet();
    fleet[0].mixed = true;
    fleet[0].checkerOutOfDate = true;
    std::ostringstream out;
    const std::unique_ptr<RecordWriter> writer = makeMetricsWriter(out, kScan);
    for (const InstallationRecord& record : fleet) writer->write(record);
    writer->finish();

    std::string applications;
    const char* const verdicts[] = {"correct", "size_mismatch", "beta",  "test",
                                    "pre_release", "older",     "newer", "unrecognized"};
    for (int position = 0; position < kApplicationCount; ++position) {
        const std::string series =
            std::string("vudfleet_applications{application=\"") + kApplicationCatalogue[position].fileName + "\",";
        for (int verdict = 0; verdict < 8; ++verdict) {
            const int count = position == 0 && verdict == 0 ? 2 : position == 1 && verdict == 1 ? 1 : 0;
            applications += series + "state=\"block\",verdict=\"" + verdicts[verdict] + "\"} " +
                            std::to_string(count) + "\n";
        }
        applications += series + "state=\"not_found\"} " + (position == 2 ? "1" : "0") + "\n";
        applications += series + "state=\"no_tag\"} " + (position == 3 ? "1" : "0") + "\n";
        applications += series + "state=\"absent\"} 0\n";
    }
    EXPECT_EQ("# HELP vudfleet_installations Installations checked, by status: ok, findings or error.\n"
              "# TYPE vudfleet_installations gauge\n"
              "vudfleet_installations{status=\"ok\"} 1\n"
              "vudfleet_installations{status=\"findings\"} 1\n"
              "vudfleet_installations{status=\"error\"} 1\n"
              "# HELP vudfleet_errors Installations that could not be read or whose report could not be parsed.\n"
              "# TYPE vudfleet_errors gauge\n"
              "vudfleet_errors 1\n"
              "# HELP vudfleet_mixed_installations Installations with builds for more than one host generation.\n"
              "# TYPE vudfleet_mixed_installations gauge\n"
              "vudfleet_mixed_installations 1\n"
              "# HELP vudfleet_checker_out_of_date_installations Installations with a build newer than this checker "
              "knows: get a newer checker.\n"
              "# TYPE vudfleet_checker_out_of_date_installations gauge\n"
              "vudfleet_checker_out_of_date_installations 1\n"
              "# HELP vudfleet_applications Installations by application and what was found of it: state block with "
              "the build's verdict, or the state not_found, no_tag or absent.\n"
              "# TYPE vudfleet_applications gauge\n" +
                  applications +
                  "# HELP vudfleet_scan_timestamp_seconds When the scan started, in seconds since 1970-01-01 UTC.\n"
                  "# TYPE vudfleet_scan_timestamp_seconds gauge\n"
                  "vudfleet_scan_timestamp_seconds 1796940451\n"
                  "# HELP vudfleet_info The versions of vudfleet and of the checker catalogue the scan judged by.\n"
                  "# TYPE vudfleet_info gauge\n"
                  "vudfleet_info{version=\"2.4.0\",checker_version=\"2.3.0\"} 1\n",
              out.str());
}

// The small fleet held to a rollout of FWP 11.0 with every application required: its
// first installation breaks both rules once.
std::vector<InstallationRecord> heldFleet() {
    std::vector<InstallationRecord> fleet = smallFleet();
    fleet[0].applications[0].policy = PolicyRule::WrongGeneration;
    fleet[0].applications[2].policy = PolicyRule::Required;
    fleet[0].policyFindings = {1, 1};
    return fleet;
}

const WriterOptions kHeld{{{11}, true}, false, {}};

std::string writtenHeld(const std::unique_ptr<RecordWriter>& writer, const std::ostringstream& out) {
    for (const InstallationRecord& record : heldFleet()) writer->write(record);
    writer->finish();
    return out.str();
}

TEST(RecordWriter, ARolloutAddsAColumnAPerRuleToTheTotals) {
    std::ostringstream out;
    std::string expected =
        "position,file,name,correct,size_mismatch,beta,test,pre_release,older,newer,unrecognized,not_found,no_tag,"
        "absent,wrong_generation,required\r\n"
        "0,vud_mcp.ma,Member Copy Along Path,2,0,0,0,0,0,0,0,0,0,0,1,0\r\n"
        "1,vud_bsg.ma,Beam Splice Generator,0,1,0,0,0,0,0,0,0,0,0,0,0\r\n"
        "2,vud_cbp.ma,Column Base Plate Designer,0,0,0,0,0,0,0,0,1,0,0,0,1\r\n"
        "3,vud_abl.ma,Anchor Bolt Layout,0,0,0,0,0,0,0,0,0,1,0,0,0\r\n";
    EXPECT_EQ(expected + rowsOfNone(",0,0,0,0,0,0,0,0,0,0,0,0,0\r\n"), writtenHeld(makeTotalsWriter(out, kHeld), out));
}

TEST(RecordWriter, ARolloutAddsItsSeriesToTheMetricsBeforeTheScanTime) {
    std::ostringstream out;
    const std::string text = writtenHeld(makeMetricsWriter(out, kScan, kHeld), out);
    std::string applications;
    for (int position = 0; position < kApplicationCount; ++position) {
        const std::string series = std::string("vudfleet_policy_applications{application=\"") +
                                   kApplicationCatalogue[position].fileName + "\",rule=\"";
        applications += series + "wrong_generation\"} " + (position == 0 ? "1" : "0") + "\n";
        applications += series + "required\"} " + (position == 2 ? "1" : "0") + "\n";
    }
    EXPECT_NE(std::string::npos,
              text.find("vudfleet_applications{application=\"vud_rc9.ma\",state=\"absent\"} 0\n"
                        "# HELP vudfleet_policy_installations Installations that break a rule of the rollout: "
                        "wrong_generation (a build for a host generation not expected) or required (an application "
                        "not found).\n"
                        "# TYPE vudfleet_policy_installations gauge\n"
                        "vudfleet_policy_installations{rule=\"wrong_generation\"} 1\n"
                        "vudfleet_policy_installations{rule=\"required\"} 1\n"
                        "# HELP vudfleet_policy_applications Installations by application and the rule of the rollout "
                        "it breaks.\n"
                        "# TYPE vudfleet_policy_applications gauge\n" +
                        applications + "# HELP vudfleet_scan_timestamp_seconds "))
        << text;
}

TEST(RecordWriter, ARolloutAddsItsRulesAndWhatBrokeThemToEveryJsonLine) {
    std::ostringstream out;
    const std::string text = writtenHeld(makeJsonWriter(out, kScan, kHeld), out);
    const std::string rules = ",\"policy\":{\"expected_generations\":[\"11\"],\"require_all\":true,\"findings\":";
    EXPECT_NE(std::string::npos, text.find("\"checker_out_of_date\":false" + rules +
                                           "{\"wrong_generation\":1,\"required\":1}},\"applications\":[")) << text;
    EXPECT_NE(std::string::npos, text.find("\"checker_out_of_date\":null" + rules + "null},\"applications\":[]}"))
        << text;
    EXPECT_NE(std::string::npos, text.find("Correct Size Match\",\"policy\":\"wrong_generation\"},")) << text;
    EXPECT_NE(std::string::npos, text.find("\"state\":\"not_found\",\"tag\":null,\"size\":null,\"generation\":null,"
                                           "\"host\":null,\"verdict\":null,\"text\":null,\"policy\":\"required\"}"))
        << text;
}

TEST(ScanMetadata, TimeIsIso8601InUtc) {
    EXPECT_EQ("1970-01-01T00:00:00Z", isoTime(0));
    EXPECT_EQ("2026-12-10T22:07:31Z", isoTime(1796940451));
    EXPECT_EQ("2000-02-29T23:59:59Z", isoTime(951868799));
    // Read back as written; anything else is no time.
    for (const std::int64_t seconds : {std::int64_t{0}, std::int64_t{1796940451}, std::int64_t{951868799}})
        EXPECT_EQ(seconds, secondsOfIsoTime(isoTime(seconds)));
    for (const char* text : {"2026-02-29T00:00:00Z", "2026-12-10T24:00:00Z", "2026-12-10T22:60:00Z",
                             "2026-12-10 22:07:31Z", "2026-12-10T22:07:31", "2026-12-10T22:07:31+00:00", "",
                             "2026-12-1OT22:07:31Z"})
        EXPECT_FALSE(secondsOfIsoTime(text).has_value()) << text;
}

TEST(ScanMetadata, HowLongAnInstallationWasNotSeenIsInTheLargestWholeUnit) {
    LastSeen lastSeen;
    lastSeen.scanTime = "2026-12-10T22:07:31Z";
    lastSeen.status = Status::Findings;
    const std::int64_t then = 1796940451;
    const struct {
        std::int64_t later;
        const char* howLong;
    } cases[] = {{-5, "0 min"}, {59, "0 min"}, {60, "1 min"}, {3599, "59 min"}, {3600, "1 h"},
                 {86399, "23 h"}, {86400, "1 day"}, {2 * 86400 - 1, "1 day"}, {2 * 86400, "2 days"}};
    for (const auto& example : cases) {
        EXPECT_EQ(std::string("not seen for ") + example.howLong + ", last seen 2026-12-10T22:07:31Z: findings",
                  notSeenWords(lastSeen, then + example.later));
        EXPECT_EQ(example.later > 86400, unseenForADay(lastSeen, then + example.later)) << example.later;
    }
    lastSeen.scanTime = "yesterday";
    EXPECT_EQ("last seen yesterday: findings", notSeenWords(lastSeen, then));
    EXPECT_FALSE(unseenForADay(lastSeen, then + 10 * 86400));
}

TEST(RecordWriter, CsvHasARowAnApplicationInRfc4180) {
    const std::string findings = "\"\\\\ws1\\c$\\Vud, \"\"main\"\"\",folder,findings,,1,1,false,false,";
    const std::string scan = ",2026-12-10T22:07:31Z,2.4.0,2.3.0\r\n";
    EXPECT_EQ("installation,source,status,error,not_found,damaged,mixed,checker_out_of_date,"
              "position,name,file,state,tag,size,generation,host,verdict,text,"
              "machine,scan_time,vudfleet_version,checker_version\r\n" +
                  findings +
                  "0,Member Copy Along Path,vud_mcp.ma,block,ver 8.1.3,59553,8,FWP 8.0.x.x,correct,"
                  "vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match,ws1" + scan +
                  findings + "1,Beam Splice Generator,vud_bsg.ma,block,ver 8.0.6,5,8,FWP 8.0.x.x,size_mismatch,"
                  "\"two\nlines\",ws1" + scan +
                  findings + "2,Column Base Plate Designer,vud_cbp.ma,not_found,,,,,,,ws1" + scan + findings +
                  "3,Anchor Bolt Layout,vud_abl.ma,no_tag,,,,,,,ws1" + scan +
                  "ws2.txt,report,error,line 1: expected a report,,,,,,,,,,,,,,," + scan +
                  "ws3,report,ok,,0,0,false,false,0,Member Copy Along Path,vud_mcp.ma,block,ver 11.1.3,65685,11,"
                  "FWP 11.0.x.x,correct,ok," + scan,
              written(Format::Csv));
}

TEST(RecordWriter, JsonHasAnObjectALine) {
    const std::string noCounts =
        "\"counts\":{\"correct\":1,\"size_mismatch\":0,\"beta\":0,\"test\":0,\"pre_release\":0,\"older\":0,"
        "\"newer\":0,\"unrecognized\":0}";
    const std::string scan = "\"scan_time\":\"2026-12-10T22:07:31Z\",\"vudfleet_version\":\"2.4.0\",\"checker_version\":\"2.3.0\",";
    EXPECT_EQ(
        "{\"format\":3,\"installation\":\"\\\\\\\\ws1\\\\c$\\\\Vud, \\\"main\\\"\",\"machine\":\"ws1\"," + scan +
        "\"source\":\"folder\",\"status\":\"findings\","
        "\"error\":null,\"counts\":{\"correct\":1,\"size_mismatch\":1,\"beta\":0,\"test\":0,\"pre_release\":0,"
        "\"older\":0,\"newer\":0,\"unrecognized\":0},\"not_found\":1,\"damaged\":1,\"mixed\":false,"
        "\"checker_out_of_date\":false,"
        "\"applications\":["
        "{\"position\":0,\"name\":\"Member Copy Along Path\",\"file\":\"vud_mcp.ma\",\"state\":\"block\","
        "\"tag\":\"ver 8.1.3\",\"size\":59553,\"generation\":\"8\",\"host\":\"FWP 8.0.x.x\",\"verdict\":\"correct\","
        "\"text\":\"vud_mcp.ma is  CORRECT PRODUCTION VERSION w/ Correct Size Match\"},"
        "{\"position\":1,\"name\":\"Beam Splice Generator\",\"file\":\"vud_bsg.ma\",\"state\":\"block\","
        "\"tag\":\"ver 8.0.6\",\"size\":5,\"generation\":\"8\",\"host\":\"FWP 8.0.x.x\",\"verdict\":\"size_mismatch\","
        "\"text\":\"two\\nlines\"},"
        "{\"position\":2,\"name\":\"Column Base Plate Designer\",\"file\":\"vud_cbp.ma\",\"state\":\"not_found\","
        "\"tag\":null,\"size\":null,\"generation\":null,\"host\":null,\"verdict\":null,\"text\":null},"
        "{\"position\":3,\"name\":\"Anchor Bolt Layout\",\"file\":\"vud_abl.ma\",\"state\":\"no_tag\","
        "\"tag\":null,\"size\":null,\"generation\":null,\"host\":null,\"verdict\":null,\"text\":null}]}\n"
        "{\"format\":3,\"installation\":\"ws2.txt\",\"machine\":\"\"," + scan + "\"source\":\"report\",\"status\":\"error\","
        "\"error\":\"line 1: expected a report\",\"counts\":null,\"not_found\":null,\"damaged\":null,\"mixed\":null,"
        "\"checker_out_of_date\":null,\"applications\":[]}\n"
        "{\"format\":3,\"installation\":\"ws3\",\"machine\":\"\"," + scan + "\"source\":\"report\",\"status\":\"ok\",\"error\":null," +
            noCounts +
            ",\"not_found\":0,\"damaged\":0,\"mixed\":false,\"checker_out_of_date\":false,\"applications\":["
            "{\"position\":0,\"name\":\"Member Copy Along Path\",\"file\":\"vud_mcp.ma\",\"state\":\"block\","
            "\"tag\":\"ver 11.1.3\",\"size\":65685,\"generation\":\"11\",\"host\":\"FWP 11.0.x.x\","
            "\"verdict\":\"correct\",\"text\":\"ok\"}]}\n",
        written(Format::Json));
}

}  // namespace
}  // namespace vud::fleet
