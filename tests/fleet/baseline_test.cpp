// What changed since the last scan: a fleet scanned to JSON, then changed as fleets
// change (installations added and removed, builds fixed and broken, a folder that
// appeared), scanned again against that JSON; baselines that are no whole scan of
// vudfleet, named with their reason while the scan runs and is compared with nothing;
// bad nights (a run killed, a scan cut short, a machine off) and the nights after them.
#include "fleet/compare/baseline.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "catalogue/catalogue.h"
#include "fleet/run/command_line.h"
#include "fleet/fleet_builder.h"
#include "fleet/fleet_run.h"
#include "fleet/generated_installation.h"
#include "support/child_process.h"
#include "support/scratch_folder.h"

namespace vud::fleet {
namespace {

using Json = nlohmann::json;

std::vector<Json> jsonLines(const std::string& out) {
    std::vector<Json> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
    return lines;
}

// The changes of an installation's applications, "unchanged" left out: position to change.
std::map<int, std::string> applicationChanges(const Json& installation) {
    std::map<int, std::string> changes;
    for (const Json& application : installation["applications"])
        if (application["change"] != "unchanged") changes[application["position"]] = application["change"];
    return changes;
}

// The generation-11 installation with the application at `position` one byte too long.
std::vector<testing::GeneratedFile> withWrongSize(int position) {
    std::vector<testing::GeneratedFile> files = testing::correctInstallation(11);
    ++files[static_cast<std::size_t>(position)].byteCount;
    return files;
}

class FleetBaseline : public ::testing::Test {
protected:
    testing::ScratchFolder scratch;
};

TEST_F(FleetBaseline, InstallationsAddedGoneFixedAndBrokenAreToldAndReadBack) {
    // Yesterday: ws1 to ws4 and pc6's ws6 ok, ws3 with a wrong size, ws7 not there yet.
    for (const char* name : {"ws1", "ws2", "ws4", "ws6"}) testing::writeInto(name, testing::correctInstallation(11));
    testing::writeInto("ws3", withWrongSize(2));
    testing::writeFile("list.txt", "pc6\tws6\n");
    const FleetRun yesterday = runWith({"--format", "json", "ws1", "ws2", "ws3", "ws4", "ws7", "--from", "list.txt"});
    ASSERT_EQ(2, yesterday.status) << yesterday.err;
    testing::writeFile("yesterday.json", yesterday.out);
    const std::string yesterdayTime = jsonLines(yesterday.out).at(0)["scan_time"];

    // Today: ws2 broken, ws3 fixed, ws4 gone from the list, ws5 added, ws7 there now,
    // ws6 holding one build for another host generation; ws1 named with a slash.
    testing::writeInto("ws2", withWrongSize(1));
    testing::writeInto("ws3", testing::correctInstallation(11));
    testing::writeInto("ws5", testing::correctInstallation(8));
    testing::writeInto("ws7", testing::correctInstallation(11));
    std::filesystem::remove("ws6/vud_mcp.ma");
    testing::writeInto("ws6", {testing::correctInstallation(8)[0]});
    const std::vector<std::string> today{"ws1/", "ws2", "ws3", "ws5", "ws7", "--from", "list.txt"};
    const auto against = [&today](const std::string& baseline, std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--baseline", baseline});
        arguments.insert(arguments.end(), today.begin(), today.end());
        return runWith(arguments);
    };

    const std::string lines =
        "ok        11         41 of 41 correct  ws1/\n"
        "findings  11         40 of 41 correct  ws2  1 size mismatch\n"
        "ok        11         41 of 41 correct  ws3\n"
        "ok        8          41 of 41 correct  ws5\n"
        "ok        11         41 of 41 correct  ws7\n"
        "findings  8+11       41 of 41 correct  ws6  mixed host generations\n"
        "\nBy application, of 6 installations read:\n"
        "  vud_mcp.ma  6 correct\n"
        "  vud_bsg.ma  5 correct, 1 size_mismatch\n" +
        testing::applicationTotalLines(2, "6 correct") + "\n6 installations: 4 ok, 2 with findings, 0 errors\n";
    const FleetRun text = against("yesterday.json", {});
    EXPECT_EQ(1, text.status);
    EXPECT_EQ("Changes since the baseline scan of " + yesterdayTime + ":\n"
              "  changed  ws2  was ok, now findings; new finding: vud_bsg.ma\n"
              "  changed  ws3  was findings, now ok; fixed: vud_cbp.ma\n"
              "  added    ws5\n"
              "  changed  ws7  was error: no such file or folder, now ok\n"
              "  changed  pc6  ws6  was ok, now findings; changed: vud_mcp.ma\n"
              "  gone     ws4  was ok\n"
              "1 added, 1 gone, 4 changed, 1 unchanged\n\n" +
                  lines,
              text.out);
    EXPECT_EQ("", text.err);

    // The same baseline as Windows PowerShell 5.1 saves it: UTF-16LE with its mark, CR LF.
    std::string utf16 = "\xFF\xFE";
    for (const char c : yesterday.out) {
        if (c == '\n') utf16 += std::string("\r\0", 2);
        utf16 += std::string{c, '\0'};
    }
    testing::writeFile("yesterday-utf16.json", utf16);
    EXPECT_EQ(text.out, against("yesterday-utf16.json", {}).out);

    const FleetRun json = against("yesterday.json", {"--format", "json"});
    std::vector<Json> records = jsonLines(json.out);
    // A scan compared with a baseline is the next one's: it ends with its count.
    ASSERT_EQ(8u, records.size()) << json.out;
    EXPECT_EQ((Json{{"format", 4}, {"end", true}, {"scan_time", records[0]["scan_time"]},
                    {"vudfleet_version", records[0]["vudfleet_version"]},
                    {"checker_version", records[0]["checker_version"]}, {"installations", 7}, {"findings_only", false}}),
              records.back());
    records.pop_back();
    const struct {
        const char* installation;
        const char* machine;
        const char* change;
        std::map<int, std::string> applications;
    } expected[] = {
        {"ws1/", "", "unchanged", {}},
        {"ws2", "", "changed", {{1, "new_finding"}}},
        {"ws3", "", "changed", {{2, "fixed"}}},
        {"ws5", "", "added", {}},
        {"ws7", "", "changed", {}},
        {"ws6", "pc6", "changed", {{0, "changed"}}},
        {"ws4", "", "gone", {}},
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(expected[i].installation);
        EXPECT_EQ(expected[i].installation, records[i]["installation"]);
        EXPECT_EQ(expected[i].machine, records[i]["machine"]);
        EXPECT_EQ(expected[i].change, records[i]["change"]);
        EXPECT_EQ(expected[i].applications, applicationChanges(records[i]));
    }
    // Gone: not checked today, so no status and no applications.
    EXPECT_TRUE(records[6]["status"].is_null());
    EXPECT_EQ(0u, records[6]["applications"].size());

    // Its own scan time, in a run that may start a second later than the JSON one.
    const std::string csv = std::regex_replace(against("yesterday.json", {"--format", "csv"}).out,
                                               std::regex(",[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}Z,"), ",TIME,");
    const ScanMetadata scan = scanStartingNow();
    const std::string versions = "," + scan.vudfleetVersion + "," + scan.checkerVersion;
    EXPECT_EQ(0u, csv.find("installation,source,status,error,not_found,damaged,mixed,checker_out_of_date,position,name,file,"
                               "state,tag,size,generation,host,verdict,text,machine,scan_time,vudfleet_version,"
                               "checker_version,change,application_change\r\n"));
    EXPECT_NE(std::string::npos,
              csv.find("\r\nws2,folder,findings,,0,0,false,false,1,Beam Splice Generator,vud_bsg.ma,block,ver "
                           "11.0.6,140098,11,FWP 11.0.x.x,size_mismatch,vud_bsg.ma is  CORRECT PRODUCTION VERSION w/ "
                           "InCorrect Size Match (140098 vs 140097 correct),,TIME" +
                           versions + ",changed,new_finding\r\n"))
        << csv;
    const std::string goneRow = "ws4,folder,,,,,,,,,,,,,,,,,,TIME" + versions + ",gone,\r\n";
    EXPECT_EQ(csv.size() - goneRow.size(), csv.rfind("\r\n" + goneRow) + 2) << csv;

    // Today's comparison read back as the next baseline: nothing changed since, and
    // the installation gone then is no installation of that scan.
    const std::string time = records[0]["scan_time"];
    testing::writeFile("today.json", json.out);
    const FleetRun again = against("today.json", {});
    EXPECT_EQ("Changes since the baseline scan of " + time + ":\n0 added, 0 gone, 0 changed, 6 unchanged\n\n" + lines,
              again.out);
}

// A line of a baseline read the same however its JSON is laid out: fields in any order,
// space between them, fields not compared holding values of any kind and depth (keys
// of the compared fields among them), escapes and characters beyond ASCII in the path
// and the machine. Each line is of one installation of the scan below, unchanged since.
TEST(FleetBaselineLine, IsReadTheSameHoweverItsJsonIsLaidOut) {
    const std::string application = "\"file\":\"vud_mcp.ma\",\"state\":\"block\",\"tag\":\"ver 11.0.6\","
                                    "\"size\":65685,\"verdict\":\"older\"";
    const std::string deep = std::string(20, '[') + "{\"size\":1}" + std::string(20, ']');
    const std::string lines[] = {
        // As vudfleet writes it.
        "{\"installation\":\"C:\\\\fleet/ws\\\"1\",\"machine\":\"ws-\xC3\xA9\",\"source\":\"report\","
        "\"status\":\"findings\",\"error\":null,\"applications\":[{\"position\":0," + application +
            ",\"text\":\"older\"},{\"position\":1,\"file\":\"vud_bsg.ma\",\"state\":\"absent\"}]}",
        // Backwards, with space between the tokens.
        " {\t\"applications\" : [ { \"state\" : \"absent\" , \"file\" : \"vud_bsg.ma\" } , { \"verdict\" : \"older\" ,"
        " \"size\" : 65685 , \"tag\" : \"ver 11.0.6\" , \"state\" : \"block\" , \"file\" : \"vud_mcp.ma\" } ] ,"
        " \"status\" : \"findings\" , \"source\" : \"report\" , \"machine\" : \"WS-\xC3\xA9\" ,"
        " \"installation\" : \"C:\\\\fleet\\/ws\\\"1\" }\r",
        // Fields not compared holding the compared fields' names, nested deep.
        "{\"counts\":{\"installation\":\"elsewhere\",\"applications\":[]},\"installation\":\"C:\\\\fleet/ws\\\"1\","
        "\"machine\":\"ws-\xC3\xA9\",\"source\":\"report\",\"status\":\"findings\",\"applications\":[{" + application +
            ",\"host\":{\"size\":2,\"tag\":[\"ver 1\"]},\"deep\":" + deep +
            ",\"x\":[-1.5E+3,0,true,false,null,\"\\u0000\"]},{\"file\":\"vud_bsg.ma\",\"state\":\"absent\"}],"
            "\"error\":\"\\b\\f\\n\\r\\t\"}",
        // Every character of the path and the machine an escaped code point.
        "{\"installation\":\"\\u0043\\u003a\\u005c\\u0066\\u006c\\u0065\\u0065\\u0074\\u002f\\u0077\\u0073\\u0022\\u0031\","
        "\"machine\":\"\\u0077\\u0073\\u002d\\u00e9\",\"source\":\"report\",\"status\":\"findings\",\"applications\":[{" +
            application + "},{\"file\":\"vud_bsg.ma\",\"state\":\"absent\"}]}",
    };
    // And as vudfleet writes it, with space after it up to the longest line a baseline takes.
    std::vector<std::string> laidOut(std::begin(lines), std::end(lines));
    laidOut.push_back(lines[0] + std::string(kLargestBaselineLine - lines[0].size(), ' '));
    for (const std::string& line : laidOut) {
        SCOPED_TRACE(line.substr(0, 1000));
        std::string problem;
        std::optional<Baseline> baseline = Baseline::parse(line + "\n", problem);
        ASSERT_TRUE(baseline) << problem;
        InstallationRecord record;
        record.installation = "C:\\fleet/ws\"1";
        record.machine = "ws-\xC3\xA9";
        record.source = Source::Report;
        record.status = Status::Findings;
        ApplicationRecord older;
        older.position = 0;
        older.state = ApplicationState::Block;
        older.tag = "ver 11.0.6";
        older.size = 65685;
        older.verdict = VerdictKind::Older;
        ApplicationRecord absent;
        absent.position = 1;
        record.applications = {older, absent};
        baseline->compare(record);
        EXPECT_EQ(InstallationChange::Unchanged, record.change);
        EXPECT_EQ(ApplicationChange::Unchanged, record.applications[0].change);
        EXPECT_EQ(ApplicationChange::Unchanged, record.applications[1].change);
        int gone = 0;
        baseline->forEachGone([&gone](const InstallationRecord&) { ++gone; });
        EXPECT_EQ(0, gone);
    }
}

// A baseline written before values were spelled with underscores and names shown as
// escapes is read as one written since: the same installations, unchanged.
TEST(FleetBaselineLine, AScanOfFormatTwoIsComparedAsOneOfFormatThree) {
    const auto line = [](const std::string& format, const std::string& name, const std::string& sizeMismatch,
                         const std::string& noTag, const std::string& notFound) {
        return "{\"format\":" + format + ",\"installation\":\"" + name +
               "\",\"machine\":\"\",\"source\":\"folder\",\"status\":\"findings\",\"error\":null,\"applications\":["
               "{\"file\":\"vud_mcp.ma\",\"state\":\"block\",\"tag\":\"ver 11.1.3\",\"size\":65686,\"verdict\":\"" +
               sizeMismatch + "\"},{\"file\":\"vud_bsg.ma\",\"state\":\"" + notFound +
               "\"},{\"file\":\"vud_cbp.ma\",\"state\":\"" + noTag + "\"}]}\n";
    };
    const struct {
        const char* what;
        std::string baseline;
    } baselines[] = {
        {"format 2", line("2", "ws1", "size-mismatch", "no-tag", "not-found") +
                         line("2", "ws\\u001b\\u202e", "size-mismatch", "no-tag", "not-found")},
        {"format 3", line("3", "ws1", "size_mismatch", "no_tag", "not_found") +
                         line("3", "ws\\\\x1b\\\\u202e", "size_mismatch", "no_tag", "not_found")},
    };
    for (const auto& [what, bytes] : baselines) {
        SCOPED_TRACE(what);
        std::string problem;
        std::optional<Baseline> baseline = Baseline::parse(bytes, problem);
        ASSERT_TRUE(baseline.has_value()) << problem;
        for (const char* name : {"ws1", "ws\x1b\xE2\x80\xAE"}) {
            SCOPED_TRACE(name);
            InstallationRecord record = by_hand::folderInstallation(name, Status::Findings);
            by_hand::setBlock(record, 0, "ver 11.1.3", 65686, 11, "FWP 11.0.x.x", VerdictKind::SizeMismatch, "");
            by_hand::setState(record, 2, ApplicationState::NoTag);
            baseline->compare(record);
            EXPECT_EQ(InstallationChange::Unchanged, record.change);
            for (const ApplicationRecord& application : record.applications)
                EXPECT_EQ(ApplicationChange::Unchanged, application.change) << application.file;
        }
        int gone = 0;
        baseline->forEachGone([&gone](const InstallationRecord&) { ++gone; });
        EXPECT_EQ(0, gone);
    }
}

TEST_F(FleetBaseline, AnythingButAWholeScanOfVudfleetIsNamedWithItsLineAndComparedWithNothing) {
    const std::string good =
        "{\"installation\":\"ws1\",\"machine\":\"\",\"source\":\"folder\",\"status\":\"error\","
        "\"error\":\"no such file or folder\",\"applications\":[]}\n";
    const std::string application =
        "{\"installation\":\"ws2\",\"source\":\"report\",\"status\":\"ok\",\"error\":null,\"applications\":[";
    const std::string expectedLine = "expected a JSON object, as vudfleet --format json writes one an installation, found ";
    // `line` with the layout number it starts with; an end line after `count` installations.
    const auto formatted = [](int format, const std::string& line) {
        return "{\"format\":" + std::to_string(format) + "," + line.substr(1);
    };
    const auto endLine = [](int count, bool findingsOnly) {
        return "{\"format\":4,\"end\":true,\"scan_time\":\"2026-12-10T22:00:04Z\",\"installations\":" +
               std::to_string(count) + ",\"findings_only\":" + (findingsOnly ? "true" : "false") + "}\n";
    };
    const struct {
        std::string bytes;
        std::string message;
    } cases[] = {
        {"", "line 1: " + expectedLine + "no installation"},
        {"\n\r\n", "line 2: " + expectedLine + "no installation"},
        {"ok        11         41 of 41 correct  ws1\n", "line 1: " + expectedLine + "text that is not JSON (at byte 1)"},
        {"installation,source,status\r\n", "line 1: " + expectedLine + "text that is not JSON (at byte 1)"},
        {good + "\n" + good.substr(0, 30) + "\n", "line 3: " + expectedLine + "text that is not JSON (at byte 31)"},
        {"[" + good.substr(0, good.size() - 1) + "]\n", "line 1: " + expectedLine + "an array"},
        {"{\"path\":\"ws1\"}\n", "line 1: expected \"installation\" to be the path as a string, found no such field"},
        {"{\"installation\":7}\n", "line 1: expected \"installation\" to be the path as a string, found 7"},
        {"{\"installation\":\"ws1\",\"machine\":[],\"source\":\"folder\"}\n",
         "line 1: expected \"machine\" to be a string, found an array"},
        {"{\"installation\":\"ws1\",\"source\":\"share\"}\n",
         "line 1: expected \"source\" to be \"folder\" or \"report\", found \"share\""},
        {"{\"installation\":\"ws1\",\"source\":\"folder\",\"status\":\"fine\"}\n",
         "line 1: expected \"status\" to be \"ok\", \"findings\" or \"error\", found \"fine\""},
        {"{\"installation\":\"ws1\",\"source\":\"folder\",\"status\":\"error\",\"error\":null}\n",
         "line 1: expected \"error\" to be the reason as a string, found null"},
        {"{\"installation\":\"ws1\",\"source\":\"folder\",\"status\":\"ok\",\"applications\":{}}\n",
         "line 1: expected \"applications\" to be an array, found an object"},
        {application + "{\"file\":\"vud_xyz.ma\",\"state\":\"absent\"}]}\n",
         "line 1: applications[0]: expected \"file\" to be the file name of a catalogue application, found "
         "\"vud_xyz.ma\""},
        {application + "{\"file\":\"vud_mcp.ma\",\"state\":\"absent\"},{\"file\":\"vud_mcp.ma\",\"state\":\"absent\"}]}\n",
         "line 1: applications[1]: expected each application once, found \"vud_mcp.ma\" again"},
        {application + "{\"file\":\"vud_mcp.ma\",\"state\":\"gone\"}]}\n",
         "line 1: applications[0]: expected \"state\" to be \"block\", \"not_found\", \"no_tag\" or \"absent\", found "
         "\"gone\""},
        {application + "{\"file\":\"vud_mcp.ma\",\"state\":\"block\",\"tag\":\"ver 11.1.3\",\"size\":\"65685\"}]}\n",
         "line 1: applications[0]: expected \"size\" to be the size in bytes as a whole number, found \"65685\""},
        {application + "{\"file\":\"vud_mcp.ma\",\"state\":\"block\",\"tag\":\"ver 11.1.3\",\"size\":65685,"
                       "\"verdict\":\"fine\"}]}\n",
         "line 1: applications[0]: expected \"verdict\" to be \"correct\", \"size_mismatch\", \"beta\", \"test\", "
         "\"pre_release\", \"older\", \"newer\" or \"unrecognized\", found \"fine\""},
        // A field a build must have, missing or of another kind: refused, never read as
        // empty or as zero.
        {application + "{\"file\":\"vud_mcp.ma\",\"state\":\"absent\"},{\"file\":\"vud_bsg.ma\",\"state\":\"block\","
                       "\"size\":140097,\"verdict\":\"correct\"}]}\n",
         "line 1: applications[1]: expected \"tag\" to be the version tag as a string, found no such field"},
        {application + "{\"file\":\"vud_mcp.ma\",\"state\":\"block\",\"tag\":11,\"size\":65685}]}\n",
         "line 1: applications[0]: expected \"tag\" to be the version tag as a string, found 11"},
        {application + "{\"file\":\"vud_mcp.ma\",\"state\":\"block\",\"tag\":[\"ver 11.1.3\"]}]}\n",
         "line 1: applications[0]: expected \"tag\" to be the version tag as a string, found an array"},
        {application + "{\"file\":\"vud_mcp.ma\",\"state\":\"block\",\"tag\":\"ver 11.1.3\"}]}\n",
         "line 1: applications[0]: expected \"size\" to be the size in bytes as a whole number, found no such field"},
        {application + "{\"file\":\"vud_mcp.ma\",\"state\":\"block\",\"tag\":\"ver 11.1.3\",\"size\":65685.5}]}\n",
         "line 1: applications[0]: expected \"size\" to be the size in bytes as a whole number, found 65685.5"},
        {application + "7]}\n", "line 1: applications[0]: expected an object, found a number"},
        {application + "{\"state\":\"absent\"}]}\n",
         "line 1: applications[0]: expected \"file\" to be the file name of a catalogue application, found no such "
         "field"},
        {"{\"installation\":\"ws1\",\"source\":\"folder\",\"status\":\"error\",\"applications\":[]}\n",
         "line 1: expected \"error\" to be the reason as a string, found no such field"},
        // Not JSON only inside a field that is not compared: refused all the same, where
        // the text stops being JSON.
        {"{\"installation\":\"ws1\",\"name\":\"\xC0\"}\n", "line 1: " + expectedLine + "text that is not JSON (at byte 31)"},
        {"{\"installation\":\"ws1\",\"name\":\"a\tb\"}\n", "line 1: " + expectedLine + "text that is not JSON (at byte 32)"},
        {"{\"installation\":\"ws1\",\"position\":1e999}\n", "line 1: " + expectedLine + "text that is not JSON (at byte 38)"},
        {"{\"installation\":\"ws1\",\"counts\":{\"a\":[1,]}}\n", "line 1: " + expectedLine + "text that is not JSON (at byte 40)"},
        {"{\"installation\":\"ws1\"}x\n", "line 1: " + expectedLine + "text that is not JSON (at byte 23)"},
        {good + good, "line 2: expected each installation once, found the installation of line 1 again"},
        {good + std::string(kLargestBaselineLine + 1, ' ') + "x\n",
         "line 2: " + expectedLine + "a line longer than 1 MiB"},
        // One byte too long, ended by its '\n' or by the end of the file.
        {good + std::string(kLargestBaselineLine + 1, ' ') + "\n", "line 2: " + expectedLine + "a line longer than 1 MiB"},
        {good + std::string(kLargestBaselineLine + 1, ' '), "line 2: " + expectedLine + "a line longer than 1 MiB"},
        {"\xFE\xFF\0{", "line 1: expected text in UTF-8 or UTF-16LE, not UTF-16BE"},
        // Layouts: one this vudfleet does not know, or two in one file.
        {"{\"format\":5,\"installation\":\"ws1\"}\n",
         "line 1: expected \"format\" to be 2, 3 or 4, a layout this vudfleet reads, found 5"},
        {"{\"format\":\"3\",\"installation\":\"ws1\"}\n",
         "line 1: expected \"format\" to be 2, 3 or 4, a layout this vudfleet reads, found \"3\""},
        {"{\"format\":1,\"installation\":\"ws1\"}\n",
         "line 1: expected \"format\" to be 2, 3 or 4, a layout this vudfleet reads, found 1"},
        {formatted(2, good) + formatted(3, good),
         "line 2: expected \"format\" to be 2, as on the lines before, found 3"},
        {good + formatted(2, good), "line 2: expected \"format\" to be 1, as on the lines before, found 2"},
        // Not a whole scan: a list of findings, a scan cut short, one whose end line
        // does not count what came before it or that goes on after it.
        {formatted(2, good).insert(formatted(2, good).size() - 2, ",\"findings_only\":true"),
         "line 1: written by --findings, not a whole scan of the fleet"},
        {formatted(4, good) + endLine(1, true), "line 2: written by --findings, not a whole scan of the fleet"},
        {formatted(4, good), "cut short: no end line after line 1, which a whole scan of format 4 ends with"},
        {formatted(4, good) + "\n\n", "cut short: no end line after line 3, which a whole scan of format 4 ends with"},
        {formatted(4, good) + endLine(2, false), "cut short: its end line counts 2 installations, 1 came before it"},
        {formatted(4, good) + endLine(1, false) + formatted(4, good),
         "line 3: expected nothing after the end line of line 2, found more"},
        {formatted(2, good) + endLine(1, false), "line 2: expected \"format\" to be 2, as on the lines before, found 4"},
        {endLine(1, false).replace(10, 1, "2"), "line 1: expected \"format\" to be 4 in an end line, found 2"},
        {formatted(4, good) + "{\"format\":4,\"end\":true,\"installations\":\"1\"}\n",
         "line 2: expected \"installations\" to be the count of installations before the end line, found \"1\""},
        // What was last seen of an installation that did not answer, read as its line is.
        {formatted(4, good).insert(formatted(4, good).size() - 2, ",\"last_seen\":[]") + endLine(1, false),
         "line 1: expected \"last_seen\" to be an object, found an array"},
        {formatted(4, good).insert(formatted(4, good).size() - 2,
                                   ",\"last_seen\":{\"scan_time\":\"2026-12-09T22:00:04Z\",\"source\":\"folder\","
                                   "\"status\":\"error\",\"applications\":[]}") +
             endLine(1, false),
         "line 1: last_seen: expected \"status\" to be \"ok\" or \"findings\", found \"error\""},
        {formatted(4, good).insert(formatted(4, good).size() - 2,
                                   ",\"last_seen\":{\"scan_time\":\"2026-12-09T22:00:04Z\",\"source\":\"folder\","
                                   "\"status\":\"ok\",\"damaged\":42,\"applications\":[]}") +
             endLine(1, false),
         "line 1: last_seen: expected \"damaged\" to be a count of applications, found 42"},
        {formatted(4, good).insert(formatted(4, good).size() - 2,
                                   ",\"last_seen\":{\"scan_time\":\"2026-12-09T22:00:04Z\",\"source\":\"folder\","
                                   "\"status\":\"ok\",\"applications\":[{\"file\":\"vud_mcp.ma\",\"state\":\"block\"}]}") +
             endLine(1, false),
         "line 1: last_seen.applications[0]: expected \"tag\" to be the version tag as a string, found no such field"},
    };
    // A fleet's worth of lines, read in parts side by side: the first line refused in the
    // file's order is the one told, whichever part it fell in.
    std::string many;
    for (int i = 1; i <= 200; ++i) {
        std::string line = good;
        line.replace(line.find("ws1"), 3, "ws" + std::to_string(i));
        many += line;
    }
    const auto lineStart = [&many](int number) {
        std::size_t at = 0;
        for (int i = 1; i < number; ++i) at = many.find('\n', at) + 1;
        return at;
    };
    std::string lateError = many;
    lateError.replace(lineStart(190), 1, "[");  // ["installation": is wrong at its colon, byte 16
    std::string duplicateBeforeError = lateError;
    duplicateBeforeError.replace(lineStart(120), lineStart(121) - lineStart(120), good);
    const struct {
        std::string bytes;
        std::string message;
    } fleetCases[] = {
        {lateError, "line 190: " + expectedLine + "text that is not JSON (at byte 16)"},
        {duplicateBeforeError, "line 120: expected each installation once, found the installation of line 1 again"},
    };
    std::vector<std::pair<std::string, std::string>> all;
    for (const auto& example : cases) all.emplace_back(example.bytes, example.message);
    for (const auto& example : fleetCases) all.emplace_back(example.bytes, example.message);
    // The scan runs all the same, as it would without a baseline: one bad night must not
    // cost the nights after it.
    testing::writeInto("ws1", testing::correctInstallation(11));
    const FleetRun plain = runWith({"ws1"});
    ASSERT_EQ(0, plain.status);
    for (const auto& [bytes, message] : all) {
        SCOPED_TRACE(message);
        testing::writeFile("baseline.json", bytes);
        std::filesystem::remove("page.html");
        const FleetRun run = runWith({"--baseline", "baseline.json", "--html", "page.html", "ws1"});
        EXPECT_EQ(2, run.status);
        EXPECT_EQ(plain.out, run.out);
        EXPECT_EQ("vudfleet: baseline.json: " + message + "; nothing compared\n", run.err);
        EXPECT_TRUE(std::filesystem::exists("page.html"));
    }
    const FleetRun missing = runWith({"--baseline", "no-such.json", "ws1"});
    EXPECT_EQ(2, missing.status);
    EXPECT_EQ("vudfleet: no-such.json: no such file or folder; nothing compared\n", missing.err);
#ifndef _WIN32
    ASSERT_EQ(0, mkfifo("fifo", 0600));
    const FleetRun fifo = runWith({"--baseline", "fifo", "ws1"});
    EXPECT_EQ(2, fifo.status);
    EXPECT_EQ("vudfleet: fifo: not a file; nothing compared\n", fifo.err);
#endif
}

// The files of the scratch folder whose names begin with `prefix`.
std::vector<std::string> filesStarting(const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (entry.path().filename().string().rfind(prefix, 0) == 0) names.push_back(entry.path().filename().string());
    return names;
}

std::vector<std::string> with(std::vector<std::string> arguments, const std::vector<std::string>& more) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

// A run killed half way and a scan cut short each cost one night's comparison: the
// next night runs, names why it compares nothing, and writes a whole scan that the
// night after compares with again.
TEST_F(FleetBaseline, AKilledRunOrACutScanCostsOneNightsComparisonAndNoMore) {
    testing::writeInto("ws1", testing::correctInstallation(11));
    testing::writeInto("ws2", testing::correctInstallation(11));
    testing::writeInto("ws3", withWrongSize(2));
    const std::vector<std::string> json{"--format", "json", "--jobs", "1", "--timeout", "0", "ws1", "ws2", "ws3"};
    const FleetRun first = runWith(with(json, {"--output", "fleet.json"}));
    EXPECT_EQ(1, first.status) << first.err;
    EXPECT_EQ("", first.out);
    const std::string firstNight = testing::readFile("fleet.json");
    const std::vector<Json> firstRecords = jsonLines(firstNight);
    ASSERT_EQ(4u, firstRecords.size());
    EXPECT_EQ(3, firstRecords[3]["installations"]);
    EXPECT_TRUE(filesStarting(".fleet.json").empty());

#ifndef _WIN32
    // Killed while it waits for a report on standard input that never comes: the state
    // it was to replace is as it was.
    ASSERT_EQ(0, mkfifo("never.fifo", 0600));
    const int writer = ::open("never.fifo", O_RDWR);  // so that the child's open does not wait
    ASSERT_LE(0, writer);
    testing::ChildStreams streams;
    streams.input = "never.fifo";
    {
        std::vector<std::string> command{VUDFLEET_EXECUTABLE};
        command.insert(command.end(), json.begin(), json.end());
        command.insert(command.end(), {"-", "--baseline", "fleet.json", "--output", "fleet.json"});
        testing::ChildProcess killed(command, streams);
        ASSERT_EQ(0, killed.spawnError());
        for (int wait = 0; wait < 1000 && filesStarting(".fleet.json").empty(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(1u, filesStarting(".fleet.json").size());
        killed.sendSignal(SIGKILL);
        EXPECT_EQ(SIGKILL, killed.wait(std::chrono::seconds(10)).signal());
    }
    ::close(writer);
    EXPECT_EQ(firstNight, testing::readFile("fleet.json"));
    for (const std::string& left : filesStarting(".fleet.json")) std::filesystem::remove(left);
#endif

    // The same night to standard output, cut short as a kill or a full disk leaves it:
    // after a whole line, within one.
    const FleetRun whole = runWith(with(json, {"--baseline", "fleet.json"}));
    const std::size_t secondLineEnd = whole.out.find('\n', whole.out.find('\n') + 1) + 1;
    const std::string expectedLine =
        "expected a JSON object, as vudfleet --format json writes one an installation, found ";
    const struct {
        std::string bytes;
        std::string reason;
    } cuts[] = {
        {whole.out.substr(0, secondLineEnd), "cut short: no end line after line 2, which a whole scan of format 4 ends with"},
        {whole.out.substr(0, secondLineEnd + 30), "line 3: " + expectedLine + "text that is not JSON (at byte 31)"},
    };
    const FleetRun uncompared = runWith({"ws1", "ws2", "ws3"});
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.reason);
        testing::writeFile("today.json", cut.bytes);
        const FleetRun text = runWith({"ws1", "ws2", "ws3", "--baseline", "today.json"});
        EXPECT_EQ(2, text.status);
        EXPECT_EQ("vudfleet: today.json: " + cut.reason + "; nothing compared\n", text.err);
        EXPECT_EQ(uncompared.out, text.out);

        // That night's scan, whole, compared with nothing, is the next night's baseline.
        const FleetRun next = runWith(with(json, {"--baseline", "today.json", "--output", "next.json"}));
        EXPECT_EQ(2, next.status);
        const std::vector<Json> records = jsonLines(testing::readFile("next.json"));
        ASSERT_EQ(4u, records.size());
        for (std::size_t i = 0; i < 3; ++i) EXPECT_FALSE(records[i].contains("change")) << records[i].dump();
        const FleetRun after = runWith({"ws1", "ws2", "ws3", "--baseline", "next.json"});
        EXPECT_EQ(1, after.status) << after.err;
        EXPECT_EQ("Changes since the baseline scan of " + records[0]["scan_time"].get<std::string>() +
                      ":\n0 added, 0 gone, 0 changed, 3 unchanged\n\n" + uncompared.out,
                  after.out);
    }
}

// A machine off for a night keeps what was last seen of it, and is compared with that
// when it answers again: its findings then are no new findings.
TEST_F(FleetBaseline, AnInstallationOffForANightIsComparedWithWhatWasLastSeenOfIt) {
    testing::writeInto("ws1", testing::correctInstallation(11));
    testing::writeInto("ws2", withWrongSize(2));
    testing::writeInto("ws3", testing::correctInstallation(11));
    ASSERT_EQ(1, runWith({"--format", "json", "ws1", "ws2", "ws3", "--output", "night1.json"}).status);
    const std::string seen = jsonLines(testing::readFile("night1.json"))[0]["scan_time"];

    // Night 2: ws2 off, ws3 taken off the list.
    std::filesystem::rename("ws2", "ws2-off");
    const FleetRun night2 = runWith({"--format", "json", "ws1", "ws2", "--baseline", "night1.json", "--output",
                                     "night2.json"});
    EXPECT_EQ(2, night2.status);
    const std::vector<Json> records = jsonLines(testing::readFile("night2.json"));
    ASSERT_EQ(4u, records.size());
    const Json& off = records[1];
    EXPECT_EQ("error", off["status"]);
    EXPECT_EQ(seen, off["last_seen"]["scan_time"]);
    EXPECT_EQ("findings", off["last_seen"]["status"]);
    EXPECT_EQ(40, off["last_seen"]["counts"]["correct"]);
    EXPECT_EQ(1, off["last_seen"]["counts"]["size_mismatch"]);
    ASSERT_EQ(41u, off["last_seen"]["applications"].size());
    EXPECT_EQ((Json{{"position", 2}, {"file", "vud_cbp.ma"}, {"state", "block"}, {"tag", "ver 11.1.3"},
                    {"size", 118735}, {"verdict", "size_mismatch"}, {"policy", nullptr}}),
              off["last_seen"]["applications"][2]);
    const Json& gone = records[2];
    EXPECT_EQ("gone", gone["change"]);
    EXPECT_EQ("ok", gone["last_seen"]["status"]);
    EXPECT_FALSE(records[0].contains("last_seen"));

    // In words, with how long it has not answered.
    const FleetRun text = runWith({"ws1", "ws2", "--baseline", "night1.json"});
    EXPECT_NE(std::string::npos, text.out.find("\nerror     -                            ws2  no such file or folder; "
                                               "not seen for 0 min, last seen " + seen + ": findings\n"))
        << text.out;

    // Night 3: still off, what was last seen carried forward unchanged; then back.
    const FleetRun night3 = runWith({"--format", "json", "ws1", "ws2", "--baseline", "night2.json", "--output",
                                     "night3.json"});
    EXPECT_EQ(2, night3.status);
    EXPECT_EQ(off["last_seen"], jsonLines(testing::readFile("night3.json"))[1]["last_seen"]);
    std::filesystem::rename("ws2-off", "ws2");
    const FleetRun back = runWith({"ws1", "ws2", "--baseline", "night3.json"});
    EXPECT_EQ(1, back.status);
    EXPECT_EQ(0u, back.out.find("Changes since the baseline scan of " +
                                jsonLines(testing::readFile("night3.json"))[0]["scan_time"].get<std::string>() +
                                ":\n"
                                "  changed  ws2  was error: no such file or folder, now findings\n"
                                "0 added, 0 gone, 1 changed, 1 unchanged\n\n"))
        << back.out;
    const FleetRun backJson = runWith({"--format", "json", "ws1", "ws2", "--baseline", "night3.json"});
    EXPECT_TRUE(applicationChanges(jsonLines(backJson.out)[1]).empty()) << backJson.out;
}

// Off for more than a day: the metric counts it, the dashboard says how long.
TEST_F(FleetBaseline, AnInstallationNotSeenForMoreThanADayIsCounted) {
    testing::writeInto("ws1", testing::correctInstallation(11));
    ASSERT_EQ(0, runWith({"--format", "json", "ws1", "--output", "seen.json"}).status);
    // ws1 answered three days and an hour ago.
    std::string state = testing::readFile("seen.json");
    const std::string time = jsonLines(state)[0]["scan_time"];
    const std::string then = isoTime(*secondsOfIsoTime(time) - 3 * 86400 - 3600);
    for (std::size_t at = state.find(time); at != std::string::npos; at = state.find(time)) state.replace(at, time.size(), then);
    std::filesystem::rename("ws1", "ws1-off");
    testing::writeFile("seen.json", state);
    const FleetRun off = runWith({"--format", "json", "ws1", "--baseline", "seen.json", "--output", "off.json"});
    EXPECT_EQ(2, off.status);
    const FleetRun metrics = runWith({"--format", "metrics", "ws1", "--baseline", "off.json", "--html", "page.html"});
    EXPECT_NE(std::string::npos,
              metrics.out.find("# HELP vudfleet_unseen_installations Installations that did not answer and were last "
                               "seen more than a day before the scan, as the baseline recorded it.\n"
                               "# TYPE vudfleet_unseen_installations gauge\n"
                               "vudfleet_unseen_installations 1\n"))
        << metrics.out;
    EXPECT_NE(std::string::npos, testing::readFile("page.html").find("no such file or folder; not seen for 3 days, "
                                                                     "last seen " + then + ": ok</td>"));
    // Without a baseline nothing is known of when it answered: no such series.
    EXPECT_EQ(std::string::npos, runWith({"--format", "metrics", "ws1"}).out.find("unseen"));
}

}  // namespace
}  // namespace vud::fleet
