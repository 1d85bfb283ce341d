// The fleet checker's command line, run in process over installations on disk: exit
// statuses, inputs that cannot be read, lists of paths and the order of the output.
#include "fleet/run/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "fleet/fleet_run.h"
#include "fleet/generated_installation.h"
#include "probe/installed_folder.h"
#include "support/scratch_folder.h"
#include "verify/verification.h"
#ifndef _WIN32
#include "support/lying_mount.h"
#endif

namespace vud::fleet {
namespace {

using testing::writeFile;

// CSV or JSON with every scan time as "TIME": runs compared may start in different seconds.
std::string withoutScanTimes(const std::string& out) {
    static const std::regex kTime("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z");
    return std::regex_replace(out, kTime, "TIME");
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class FleetCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        testing::writeInto("ok", testing::correctInstallation(11));
        testing::writeInto("findings", testing::generateInstallation(2));   // a bit of everything
        std::filesystem::create_directory("empty");
        writeFile("listing.txt", "Vudmark for FrameWorks Plus version:  FWP 3.1.x.x or FWP 3.2.x.x\n");
    }

    testing::ScratchFolder scratch;
};

TEST_F(FleetCommandLine, ExitStatusTellsTheWorstOfTheFleet) {
    const struct {
        std::vector<std::string> arguments;
        int status;
    } cases[] = {
        {{"ok"}, 0},
        {{"ok", "ok"}, 0},
        {{"ok", "findings"}, 1},
        {{"empty"}, 1},  // not one application found: almost always a wrong path
        {{"ok", "missing"}, 2},
        {{"findings", "listing.txt"}, 2},
        {{"findings", "missing", "ok"}, 2},
        {{}, 2},
        {{"--format", "xml", "ok"}, 2},
        {{"--jobs", "0", "ok"}, 2},
        {{"--bogus", "ok"}, 2},
        {{"--from", "no-such-list"}, 2},
        {{"--help"}, 0},
        {{"--version"}, 0},
    };
    for (const auto& command : cases) {
        std::string line;
        for (const std::string& argument : command.arguments) line += argument + " ";
        SCOPED_TRACE(line);
        EXPECT_EQ(command.status, runWith(command.arguments).status);
    }
}

TEST_F(FleetCommandLine, AnInputThatCannotBeReadIsNamedOnceAndTheRunGoesOn) {
    const FleetRun result = runWith({"missing", "ok", "listing.txt", "./ok"});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("vudfleet: missing: no such file or folder\n"
              "vudfleet: listing.txt: line 1: expected an application block (\"Application: ...\") or the run "
              "summary (\"Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\"), found a listing of the "
              "applications (\"vudcheck ?\"), not a report\n"
              "vudfleet: ./ok: the same installation as ok, checked once\n",
              result.err);
    EXPECT_EQ("error     -                            missing  no such file or folder\n"
              "ok        11         41 of 41 correct  ok\n"
              "error     -                            listing.txt  line 1: expected an application block "
              "(\"Application: ...\") or the run summary (\"Verification ver 2.3.0  dated Mar 15, 2013  "
              "SUMMARY:\"), found a listing of the applications (\"vudcheck ?\"), not a report\n"
              "\nBy application, of 1 installation read:\n" +
                  testing::applicationTotalLines(0, "1 correct") +
                  "\n3 installations: 1 ok, 0 with findings, 2 errors\n",
              result.out);
}

// A report saved by Windows PowerShell (UTF-16LE) that is no report, its first line in
// French with characters of two, three and four bytes of UTF-8 (the first beyond the
// surrogates among them): the refusal quotes the line as it was written.
TEST_F(FleetCommandLine, AReportInUtf16IsQuotedInUtf8) {
    const std::u16string line = u"R\u00E9pertoire : D:/Vud \u20AC \uE000 \xD83D\xDE00\r\n";
    std::string saved = "\xFF\xFE";
    for (const char16_t unit : line) saved += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    writeFile("ws-fr.txt", saved);
    const std::string error =
        "line 1: expected an application block (\"Application: ...\") or the run summary (\"Verification ver 2.3.0  "
        "dated Mar 15, 2013  SUMMARY:\"), found \"R\xC3\xA9pertoire : D:/Vud \xE2\x82\xAC \xEE\x80\x80 "
        "\xF0\x9F\x98\x80\"";
    const FleetRun result = runWith({"ws-fr.txt"});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("error     -                            ws-fr.txt  " + error + "\n"
              "1 installation: 0 ok, 0 with findings, 1 error\n",
              withoutTotals(result.out));
    EXPECT_EQ("vudfleet: ws-fr.txt: " + error + "\n", result.err);
}

// vud_mcp.ma there but empty beside 40 correct FWP 11.0 builds: the checker prints no
// block for it, yet the installation cannot be called ok.
TEST_F(FleetCommandLine, ADamagedApplicationIsAFindingInEveryFormat) {
    std::vector<testing::GeneratedFile> files = testing::correctInstallation(11);
    files[0] = {0, "", 0};
    testing::writeInto("damaged", files);
    const FleetRun text = runWith({"--html", "fleet.html", "damaged"});
    EXPECT_EQ(1, text.status);
    EXPECT_EQ("findings  11         40 of 40 correct  damaged  1 damaged (no version tag)\n"
              "\nBy application, of 1 installation read:\n"
              "  vud_mcp.ma  1 no_tag\n" +
                  testing::applicationTotalLines(1, "1 correct") +
                  "\n1 installation: 0 ok, 1 with findings, 0 errors\n",
              text.out);
    std::ifstream page("fleet.html");
    const std::string html((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos,
              html.find("<td class=\"status\">findings<span class=\"flag\" title=\"files that hold no version tag: "
                        "empty, cut short or overwritten\">1 damaged</span></td>"));
    const FleetRun json = runWith({"--format", "json", "damaged"});
    EXPECT_EQ(1, json.status);
    EXPECT_NE(std::string::npos, json.out.find(",\"not_found\":0,\"damaged\":1,\"mixed\":false,"));
    const FleetRun csv = runWith({"--format", "csv", "damaged"});
    EXPECT_EQ(1, csv.status);
    EXPECT_NE(std::string::npos, csv.out.find("\r\ndamaged,folder,findings,,0,1,false,false,0,Member Copy Along Path,"
                                               "vud_mcp.ma,no_tag,,,,,,,,20"));
}

// vudcheck's report of `folder`, saved beside it as FOLDER.txt.
void saveReportOf(const std::string& folder) {
    InstalledFolder installation(folder);
    std::ostringstream report;
    runVerification(installation, report);
    writeFile(folder + ".txt", report.str());
}

// A report's summary counts its blocks and the applications not found: the others were
// there without a version tag. A folder and its report say the same of them; the report
// cannot tell which they are, so its applications without a block all stay absent.
TEST_F(FleetCommandLine, AReportCountsItsFilesWithoutATagDamagedAsTheFolderScanDoes) {
    std::vector<testing::GeneratedFile> files = testing::correctInstallation(11);
    files[0] = {0, "", 0};  // vud_mcp.ma, empty
    testing::writeInto("damaged", files);
    files.pop_back();  // vud_rc9.ma not found besides
    testing::writeInto("partial", files);
    saveReportOf("damaged");
    saveReportOf("partial");
    const struct {
        std::vector<std::string> arguments;
        const char* folder;
        const char* line;  // after the path
    } cases[] = {
        {{}, "damaged", "findings  11         40 of 40 correct  NAME  1 damaged (no version tag)\n"},
        {{"--require-all"}, "damaged", "findings  11         40 of 40 correct  NAME  1 damaged (no version tag)\n"},
        {{}, "partial", "findings  11         39 of 39 correct  NAME  1 damaged (no version tag), 1 not found\n"},
        {{"--require-all"}, "partial",
         "findings  11         39 of 39 correct  NAME  1 damaged (no version tag), 1 not found (required)\n"},
    };
    for (const auto& c : cases) {
        for (const std::string& name : {std::string(c.folder), std::string(c.folder) + ".txt"}) {
            std::vector<std::string> arguments = c.arguments;
            arguments.push_back(name);
            SCOPED_TRACE(arguments.front() + " " + name);
            const FleetRun run = runWith(arguments);
            EXPECT_EQ(1, run.status);
            std::string line = c.line;
            line.replace(line.find("NAME"), 4, name);
            EXPECT_EQ(line, run.out.substr(0, run.out.find('\n') + 1));
        }
    }

    const FleetRun json = runWith({"--format", "json", "--require-all", "damaged.txt", "partial.txt"});
    const std::string damaged = json.out.substr(0, json.out.find('\n') + 1);
    const std::string partial = json.out.substr(damaged.size());
    EXPECT_NE(std::string::npos, damaged.find(",\"status\":\"findings\","));
    EXPECT_NE(std::string::npos, damaged.find(",\"not_found\":0,\"damaged\":1,"));
    EXPECT_NE(std::string::npos, damaged.find("\"findings\":{\"wrong_generation\":0,\"required\":0}}"));
    EXPECT_NE(std::string::npos, partial.find(",\"not_found\":1,\"damaged\":1,"));
    EXPECT_NE(std::string::npos, partial.find("\"findings\":{\"wrong_generation\":0,\"required\":1}}"));
    // Which of the two without a block is the one not found, the report does not tell.
    EXPECT_EQ(2u, occurrences(partial, "\"state\":\"absent\""));
    EXPECT_EQ(0u, occurrences(partial, "\"policy\":\"required\""));
}

// Sets the time `path` was last written to `seconds` since 1970 (UTC).
void setWrittenAt(const std::string& path, std::int64_t seconds) {
    using namespace std::chrono;
    const auto written = file_clock::from_sys(sys_seconds{std::chrono::seconds{seconds}});
    std::filesystem::last_write_time(path, time_point_cast<std::filesystem::file_time_type::duration>(written));
}

std::int64_t secondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A report saved on 2020-01-01 (1577836800) beside a folder and a fresh report of it:
// with --max-report-age the old one is a finding in every format; without it, only
// JSON tells its time and nothing else changes.
TEST_F(FleetCommandLine, AReportOlderThanAllowedIsAStaleReportInEveryFormat) {
    saveReportOf("ok");
    std::filesystem::copy_file("ok.txt", "old.txt");
    setWrittenAt("old.txt", 1577836800);
    const std::vector<std::string> fleet{"ok", "ok.txt", "old.txt"};
    const auto with = [&fleet](std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), fleet.begin(), fleet.end());
        return runWith(arguments);
    };

    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* old;   // old.txt's line
        const char* last;  // the fleet's line
    } texts[] = {
        {{}, 0, "ok        11         41 of 41 correct  old.txt\n", "3 installations: 3 ok, 0 with findings, 0 errors\n"},
        {{"--max-report-age", "30", "--html", "fleet.html"}, 1,
         "findings  11         41 of 41 correct  old.txt  stale report, written 2020-01-01\n",
         "3 installations: 2 ok, 1 with findings, 0 errors\n"},
    };
    for (const auto& t : texts) {
        const FleetRun text = with(t.arguments);
        EXPECT_EQ(t.status, text.status);
        EXPECT_EQ(std::string("ok        11         41 of 41 correct  ok\n"
                              "ok        11         41 of 41 correct  ok.txt\n") +
                      t.old + t.last,
                  withoutTotals(text.out));
    }
    const FleetRun plainJson = with({"--format", "json"});
    EXPECT_EQ(1u, occurrences(plainJson.out, "}]}\n"));  // the folder's line, unchanged
    EXPECT_EQ(1u, occurrences(plainJson.out, "}],\"report_time\":\"2020-01-01T00:00:00Z\"}\n"));
    EXPECT_EQ(0u, occurrences(plainJson.out, "stale"));

    std::ifstream page("fleet.html");
    const std::string html((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
    const std::string flag = "<span class=\"flag\" title=\"a saved report written longer ago than --max-report-age "
                             "allows: what is installed may have changed since\">stale report</span>";
    EXPECT_NE(std::string::npos, html.find("<th scope=\"row\" class=\"report\" title=\"old.txt\nreport written "
                                           "2020-01-01T00:00:00Z\"><span>old.txt</span></th><td class=\"status\">"
                                           "findings" + flag + "</td>"));
    EXPECT_NE(std::string::npos, html.find("<tr><td>" + flag + "</td><th scope=\"row\">stale report</th>"));

    const FleetRun csv = with({"--format", "csv", "--max-report-age", "30"});
    EXPECT_EQ(1, csv.status);
    EXPECT_EQ(0u, csv.out.find("installation,source,status,error,not_found,damaged,mixed,checker_out_of_date,position,"
                               "name,file,state,tag,size,generation,host,verdict,text,machine,scan_time,"
                               "vudfleet_version,checker_version,report_time,stale_report\r\n"));
    EXPECT_EQ(41u, occurrences(csv.out, ",2.3.0,,false\r\n"));
    EXPECT_EQ(41u, occurrences(csv.out, ",2.3.0,2020-01-01T00:00:00Z,true\r\n"));
    EXPECT_EQ(41u, occurrences(csv.out, "\r\nold.txt,report,findings,,0,0,false,false,"));

    const FleetRun json = with({"--format", "json", "--max-report-age", "30"});
    EXPECT_EQ(1u, occurrences(json.out, "}],\"report_time\":null,\"stale_report\":false}\n"));
    EXPECT_EQ(1u, occurrences(json.out, "}],\"report_time\":\"2020-01-01T00:00:00Z\",\"stale_report\":true}\n"));
    EXPECT_EQ(1u, occurrences(json.out, "{\"format\":3,\"installation\":\"old.txt\",\"machine\":\"\",\"scan_time\":\""));
    EXPECT_NE(std::string::npos, json.out.find(",\"source\":\"report\",\"status\":\"findings\","));

    const FleetRun totals = with({"--format", "totals", "--max-report-age", "30"});
    EXPECT_EQ(0u, totals.out.find("position,file,name,correct,size_mismatch,beta,test,pre_release,older,newer,"
                                  "unrecognized,not_found,no_tag,absent,stale_report\r\n0,vud_mcp.ma,"
                                  "Member Copy Along Path,3,0,0,0,0,0,0,0,0,0,0,1\r\n"));
    EXPECT_EQ(41u, occurrences(totals.out, ",3,0,0,0,0,0,0,0,0,0,0,1\r\n"));

    const FleetRun metrics = with({"--format", "metrics", "--max-report-age", "30"});
    EXPECT_NE(std::string::npos,
              metrics.out.find("# HELP vudfleet_stale_report_installations Installations read from a saved report "
                               "written longer ago than --max-report-age allows.\n"
                               "# TYPE vudfleet_stale_report_installations gauge\n"
                               "vudfleet_stale_report_installations 1\n"));
}

// More than DAYS whole days before the scan is stale, less is not; a report from
// standard input has no file to tell its age and is as new as the run.
TEST_F(FleetCommandLine, AReportIsStaleOnlyOnceMoreThanTheDaysAllowedHavePassed) {
    saveReportOf("ok");
    const std::int64_t hour = 3600;
    const struct {
        std::int64_t age;  // seconds before now
        const char* days;
        int status;
    } cases[] = {
        {2 * 24 * hour + hour, "2", 1},
        {2 * 24 * hour - hour, "2", 0},
        {2 * 24 * hour + hour, "3", 0},
        {400 * 24 * hour, "36500", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.age) + " s old, " + c.days + " days allowed");
        setWrittenAt("ok.txt", secondsNow() - c.age);
        EXPECT_EQ(c.status, runWith({"--max-report-age", c.days, "ok.txt"}).status);
    }
    std::ifstream report("ok.txt");
    const std::string text((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
    const FleetRun piped = runWith({"--format", "json", "--max-report-age", "1", "-"}, text);
    EXPECT_EQ(0, piped.status);
    EXPECT_NE(std::string::npos, piped.out.find("}],\"report_time\":null,\"stale_report\":false}\n"));
}

#ifndef _WIN32
// Files are opened by name: a folder that may be entered but not listed is checked as the
// checker checks it, one that cannot be entered is an error.
TEST_F(FleetCommandLine, ATraverseOnlyFolderIsCheckedAndOneThatCannotBeEnteredIsAnError) {
    if (geteuid() == 0) GTEST_SKIP() << "root enters and lists every folder; run as another user to see it";
    testing::writeInto("traverse", testing::correctInstallation(11));
    std::filesystem::create_directory("locked");
    std::filesystem::permissions("traverse", std::filesystem::perms::owner_exec);
    std::filesystem::permissions("locked", std::filesystem::perms::none);
    const FleetRun result = runWith({"traverse", "locked"});
    std::filesystem::permissions("traverse", std::filesystem::perms::owner_all);
    std::filesystem::permissions("locked", std::filesystem::perms::owner_all);
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("ok        11         41 of 41 correct  traverse\n"
              "error     -                            locked  Permission denied\n"
              "2 installations: 1 ok, 0 with findings, 1 error\n",
              withoutTotals(result.out));
    EXPECT_EQ("vudfleet: locked: Permission denied\n", result.err);
}

// A FIFO, a device or a socket may never end: refused by its kind, never read.
TEST_F(FleetCommandLine, APathThatIsNeitherFileNorFolderIsRefusedUnread) {
    ASSERT_EQ(0, mkfifo("fifo", 0600));
    const FleetRun result = runWith({"fifo", "/dev/zero"});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("vudfleet: fifo: neither a file nor a folder\n"
              "vudfleet: /dev/zero: neither a file nor a folder\n",
              result.err);
}
#endif

#ifndef _WIN32
// A name may hold any byte but "/" on Linux: a carriage return that would rewrite the line
// on a terminal, an escape sequence, bytes of another encoding. Each shows as a visible
// escape, and two different names never show the same.
TEST_F(FleetCommandLine, NamesWithControlCharactersOrOtherEncodingsShowAsEscapes) {
    const std::string forged = "ws042\rok        11         41 of 41 correct  ws042";
    testing::writeInto(forged, testing::correctInstallation(8));
    std::filesystem::create_directory("ws\xff");
    std::filesystem::create_directory("ws\xfe");
    std::filesystem::create_directory("ws\\xff");  // spelled like the escape of the first
    std::filesystem::create_directory("\x1b[2Jc\xc2\x85");
    const FleetRun text = runWith({forged, "ws\xff", "ws\xfe", "ws\\xff", "\x1b[2Jc\xc2\x85"});
    EXPECT_EQ("ok        8          41 of 41 correct  ws042\\rok        11         41 of 41 correct  ws042\n"
              "findings  -           0 of  0 correct  ws\\xff  no application found\n"
              "findings  -           0 of  0 correct  ws\\xfe  no application found\n"
              "findings  -           0 of  0 correct  ws\\\\xff  no application found\n"
              "findings  -           0 of  0 correct  \\x1b[2Jc\\u0085  no application found\n"
              "5 installations: 1 ok, 4 with findings, 0 errors\n",
              withoutTotals(text.out));
    const FleetRun csv = runWith({"--format", "csv", "ws\xff", "ws\\xff"});
    EXPECT_NE(std::string::npos, csv.out.find("\nws\\xff,folder,findings,")) << csv.out;
    EXPECT_NE(std::string::npos, csv.out.find("\nws\\\\xff,folder,findings,")) << csv.out;
    const FleetRun missing = runWith({"gone\r\x1b]0;x\x07"});
    EXPECT_EQ("vudfleet: gone\\r\\x1b]0;x\\x07: no such file or folder\n", missing.err);
    // Machines named in a list, in another encoding: each as its bytes, in JSON as well.
    writeFile("machines.txt", "ws\xff\tok\nws\xfe\tfindings\n");
    const FleetRun json = runWith({"--format", "json", "--from", "machines.txt"});
    EXPECT_NE(std::string::npos, json.out.find("\"installation\":\"ok\",\"machine\":\"ws\\\\xff\",")) << json.out;
    EXPECT_NE(std::string::npos, json.out.find("\"installation\":\"findings\",\"machine\":\"ws\\\\xfe\",")) << json.out;
}
#endif

#ifndef _WIN32
// A list made by find in a tree named in Latin-1 holds the names' own bytes: each names
// its folder, which is checked, and shows as the other formats show such bytes.
TEST_F(FleetCommandLine, AListNamesFoldersWhoseNamesAreNotUtf8) {
    testing::writeInto("ws\xe9", testing::correctInstallation(11));
    writeFile("fleet.txt", "ws\xe9\n");
    const FleetRun result = runWith({"--from", "fleet.txt"});
    EXPECT_EQ("", result.err);
    EXPECT_EQ("ok        11         41 of 41 correct  ws\\xe9\n"
              "1 installation: 1 ok, 0 with findings, 0 errors\n",
              withoutTotals(result.out));
}
#endif

#ifndef _WIN32
// Shares whose server stopped answering: one where reading an application never ends,
// one where looking it up never ends. Each is given up after the timeout, and the
// installations after them are written as they are ready; the blocked threads stay
// until the file systems go, after the run.
TEST_F(FleetCommandLine, AnInstallationThatNeverAnswersTimesOutAndTheRunEnds) {
    const testing::LyingMount stuckRead("stuck-read", {"vud_mcp.ma:65685:65685~"});
    if (!stuckRead.unavailable().empty()) GTEST_SKIP() << stuckRead.unavailable();
    const testing::LyingMount stuckLookUp("stuck-lookup", {"vud_mcp.ma:~:65685"});
    if (!stuckLookUp.unavailable().empty()) GTEST_SKIP() << stuckLookUp.unavailable();
    const auto begun = std::chrono::steady_clock::now();
    const FleetRun result = runWith({"--timeout", "1", "ok", "stuck-read", "stuck-lookup", "./ok"});
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(10));
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("ok        11         41 of 41 correct  ok\n"
              "error     -                            stuck-read  timed out after 1 s\n"
              "error     -                            stuck-lookup  timed out after 1 s\n"
              "3 installations: 1 ok, 0 with findings, 2 errors\n",
              withoutTotals(result.out));
    EXPECT_EQ("vudfleet: stuck-read: timed out after 1 s\nvudfleet: stuck-lookup: timed out after 1 s\n"
              "vudfleet: ./ok: the same installation as ok, checked once\n",
              result.err);
}
#endif

#ifndef _WIN32
// A saved report whose read fails part-way, as on a bad sector or a share that drops:
// the error record gives the system's reason.
TEST_F(FleetCommandLine, AReportWhoseReadFailsGivesTheSystemsReason) {
    const testing::LyingMount share("share", {"ws.txt:4096:4096!2048"});
    if (!share.unavailable().empty()) GTEST_SKIP() << share.unavailable();
    const FleetRun result = runWith({"share/ws.txt"});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("error     -                            share/ws.txt  Input/output error\n"
              "1 installation: 0 ok, 0 with findings, 1 error\n",
              withoutTotals(result.out));
    EXPECT_EQ("vudfleet: share/ws.txt: Input/output error\n", result.err);
}
#endif

TEST_F(FleetCommandLine, StandardInputHasTheLimitOfAFile) {
    const FleetRun result = runWith({"-"}, std::string((std::size_t{1} << 20) + 1, '\n'));
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("vudfleet: -: larger than 1 MiB\n", result.err);
}

TEST_F(FleetCommandLine, ListsMayBeRepeatedAndHoldCommentsAndTrailingBlanks) {
    writeFile("first.txt", "# the office\r\nok  \r\n\r\n   \r\nempty\t\n");
    writeFile("second.txt", "./ok \r");
    const FleetRun result = runWith({"--from", "first.txt", "--from", "second.txt"});
    EXPECT_EQ("vudfleet: ./ok: the same installation as ok, checked once\n", result.err);
    EXPECT_EQ("ok        11         41 of 41 correct  ok\n"
              "findings  -           0 of  0 correct  empty  no application found\n"
              "2 installations: 1 ok, 1 with findings, 0 errors\n",
              withoutTotals(result.out));
}

// A line longer than any path is no list of installations: refused with its number,
// before anything is checked, from a file or from standard input.
TEST_F(FleetCommandLine, AListWithALineLongerThanAnyPathIsRefused) {
    const std::string list = "ok\n" + std::string(std::size_t{200} << 10, 'x') + "\nempty\n";
    writeFile("long.txt", list);
    for (const auto& [name, input] : {std::pair<std::string, std::string>{"long.txt", ""}, {"-", list}}) {
        SCOPED_TRACE(name);
        const FleetRun result = runWith({"--from", name}, input);
        EXPECT_EQ(2, result.status);
        EXPECT_EQ("", result.out);
        EXPECT_EQ("vudfleet: " + name + ": line 2: longer than 128 KiB, which no path is\n", result.err);
    }
}

TEST_F(FleetCommandLine, AWrongCommandLineIsToldInTheProgramsOwnWords) {
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"--format", "2", "ok"}, "vudfleet: --format takes text, csv, json, totals or metrics, not \"2\"\n"},
        {{"--format", "xml", "ok"}, "vudfleet: --format takes text, csv, json, totals or metrics, not \"xml\"\n"},
        {{"--jobs", "0x10", "ok"}, "vudfleet: --jobs takes a whole number from 1 to 256 in decimal digits, not \"0x10\"\n"},
        {{"--timeout", "1e3", "ok"},
         "vudfleet: --timeout takes a whole number from 0 to 86400 in decimal digits, not \"1e3\"\n"},
        {{"--from", "-", "-"}, "vudfleet: standard input (-) can be read only once\n"},
        // Refused before any installation is checked, not after the whole scan.
        {{"--html", "no-such-folder/fleet.html", "missing", "ok"},
         "vudfleet: no-such-folder/fleet.html: cannot be written\n"},
        {{"--output", "no-such-folder/today.json", "missing", "ok"},
         "vudfleet: no-such-folder/today.json: cannot be written\n"},
        {{"--expect-generation", "5", "ok"},
         "vudfleet: --expect-generation: no host generation is numbered 5 (2, 6, 7, 8, 9, 10, 11 or 12)\n"},
        {{"--expect-generation", "11,13", "ok"},
         "vudfleet: --expect-generation: no host generation is numbered 13 (2, 6, 7, 8, 9, 10, 11 or 12)\n"},
        {{"--expect-generation", "FWP11", "ok"}, "vudfleet: --expect-generation: not a whole number in decimal digits: FWP11\n"},
        {{"--expect-generation", "0x0b", "ok"}, "vudfleet: --expect-generation: not a whole number in decimal digits: 0x0b\n"},
        {{"--expect-generation", "", "ok"}, "vudfleet: --expect-generation: a host generation left empty in the list\n"},
        // A list the user slipped in typing is refused, not read as what it might mean.
        {{"--expect-generation", "11,,12", "ok"}, "vudfleet: --expect-generation: a host generation left empty in the list\n"},
        {{"--expect-generation", "11,", "ok"}, "vudfleet: --expect-generation: a host generation left empty in the list\n"},
        {{"--expect-generation", ",11", "ok"}, "vudfleet: --expect-generation: a host generation left empty in the list\n"},
        {{"--expect-generation", ",", "ok"}, "vudfleet: --expect-generation: a host generation left empty in the list\n"},
        {{"--expect-generation", "11, 12", "ok"},
         "vudfleet: --expect-generation: not a whole number in decimal digits:  12\n"},
        {{"--expect-generation", "11,1", "ok"},
         "vudfleet: --expect-generation: no host generation is numbered 1 (2, 6, 7, 8, 9, 10, 11 or 12)\n"},
    };
    for (const auto& command : cases) {
        SCOPED_TRACE(command.message);
        const FleetRun result = runWith(command.arguments);
        EXPECT_EQ(2, result.status);
        EXPECT_EQ("", result.out);
        EXPECT_EQ(command.message, result.err.substr(0, result.err.find('\n') + 1));
    }
}

// Standard output that can no longer be written, as a pipe whose reader is gone where
// SIGPIPE is ignored: the run stops at once instead of checking the rest for nobody.
TEST_F(FleetCommandLine, ARunWhoseOutputIsGoneStopsAtOnce) {
    struct Gone : std::streambuf {
        int_type overflow(int_type) override { return traits_type::eof(); }
        std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
    } gone;
    std::ostream out(&gone);
    std::istringstream in;
    std::ostringstream err;
    const int status = runFleet({"--jobs", "1", "ok", "missing", "./ok", "gone"}, {in, out, err, false});
    EXPECT_EQ(2, status);
    EXPECT_EQ("vudfleet: standard output cannot be written\n", err.str());
}

TEST_F(FleetCommandLine, PathsFromAListAndAReportFromStandardInput) {
    // A list as Windows tools write it: CR LF and blank lines.
    writeFile("fleet.txt", "ok\r\n\r\nempty\r\n  \r\n./ok");
    const FleetRun result = runWith({"--from", "fleet.txt", "-"},
                                    "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n"
                                    "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                                    "41 Applications NOT FOUND\n");
    EXPECT_EQ(1, result.status);
    // The paths on the command line come first, then those of the list.
    EXPECT_EQ("findings  -           0 of  0 correct  -  no application found\n"
              "ok        11         41 of 41 correct  ok\n"
              "findings  -           0 of  0 correct  empty  no application found\n"
              "\nBy application, of 3 installations read:\n" +
                  testing::applicationTotalLines(0, "1 correct, 1 not_found, 1 absent") +
                  "\n3 installations: 1 ok, 2 with findings, 0 errors\n",
              result.out);
    EXPECT_EQ("vudfleet: ./ok: the same installation as ok, checked once\n", result.err);
}

TEST_F(FleetCommandLine, TheSameInstallationNamedTwiceIsCheckedOnce) {
    writeFile("fleet.txt", "ok/\nempty\n");
    const FleetRun result = runWith({"ok", "empty//", "--from", "fleet.txt"});
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("ok        11         41 of 41 correct  ok\n"
              "findings  -           0 of  0 correct  empty//  no application found\n"
              "2 installations: 1 ok, 1 with findings, 0 errors\n",
              withoutTotals(result.out));
    EXPECT_EQ("vudfleet: ok/: the same installation as ok, checked once\n"
              "vudfleet: empty: the same installation as empty//, checked once\n",
              result.err);
}

// One folder named as given, relative, in full and by a link is one installation: checked
// and written once, under the first name, each other named on standard error with the
// machine its list line gives.
TEST_F(FleetCommandLine, OneFolderHoweverNamedIsCheckedOnce) {
    const std::string full = std::filesystem::absolute("ok").string();
    std::vector<std::string> arguments{"ok", "./ok", full, "empty"};
#ifndef _WIN32
    std::filesystem::create_directory_symlink("ok", "link");
    arguments.push_back("link");
#endif
    writeFile("fleet.txt", "ws1\tempty/.\nws2\tempty\n");
    arguments.insert(arguments.end(), {"--from", "fleet.txt"});
    const FleetRun result = runWith(arguments);
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("ok        11         41 of 41 correct  ok\n"
              "findings  -           0 of  0 correct  empty  no application found\n"
              "2 installations: 1 ok, 1 with findings, 0 errors\n",
              withoutTotals(result.out));
    std::string notes = "vudfleet: empty on ws2: the same installation as empty, checked once\n"
                        "vudfleet: ./ok: the same installation as ok, checked once\n"
                        "vudfleet: " + full + ": the same installation as ok, checked once\n";
#ifndef _WIN32
    notes += "vudfleet: link: the same installation as ok, checked once\n";
#endif
    notes += "vudfleet: empty/. on ws1: the same installation as empty on ws2, checked once\n";
    EXPECT_EQ(notes, result.err);
}

// CSV with the scan's time and vudfleet's version, which change from run to run, as
// SCAN: "...,machine,SCAN,2.3.0".
std::string withScanShown(const std::string& csv) {
    static const std::regex kScan(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ,[^,\r]*,)");
    return std::regex_replace(csv, kScan, "SCAN,");
}

// A complete, correct FWP 8.0 workstation is ok to the checker: exactly the machine an
// administrator looks for once FWP 11.0 is rolled out.
TEST_F(FleetCommandLine, ARolloutHoldsEachInstallationToTheGenerationsExpected) {
    testing::writeInto("gen8", testing::correctInstallation(8));
    EXPECT_EQ(0, runWith({"ok", "gen8"}).status);
    EXPECT_EQ(0, runWith({"--expect-generation", "8,11", "ok", "gen8"}).status);
    EXPECT_EQ(0, runWith({"--expect-generation", "8", "--expect-generation", "11", "ok", "gen8"}).status);

    const FleetRun text = runWith({"--expect-generation", "11", "ok", "gen8"});
    EXPECT_EQ(1, text.status);
    EXPECT_EQ("ok        11         41 of 41 correct  ok\n"
              "findings  8          41 of 41 correct  gen8  41 wrong generation\n"
              "\nBy application, of 2 installations read:\n" +
                  testing::applicationTotalLines(0, "2 correct; policy: 1 wrong_generation") +
                  "\n2 installations: 1 ok, 1 with findings, 0 errors\n",
              text.out);

    const FleetRun json = runWith({"--format", "json", "--expect-generation", "11", "ok", "gen8"});
    EXPECT_EQ(1, json.status);
    const std::string ok = json.out.substr(0, json.out.find('\n') + 1);
    const std::string gen8 = json.out.substr(ok.size());
    EXPECT_NE(std::string::npos, ok.find(",\"status\":\"ok\","));
    EXPECT_NE(std::string::npos, ok.find(",\"policy\":{\"expected_generations\":[\"11\"],\"require_all\":false,"
                                         "\"findings\":{\"wrong_generation\":0,\"required\":0}},"));
    EXPECT_EQ(41u, occurrences(ok, ",\"policy\":null}"));
    EXPECT_NE(std::string::npos, gen8.find(",\"status\":\"findings\","));
    EXPECT_NE(std::string::npos, gen8.find(",\"findings\":{\"wrong_generation\":41,\"required\":0}},"));
    EXPECT_EQ(41u, occurrences(gen8, ",\"policy\":\"wrong_generation\"}"));

    const FleetRun csv = runWith({"--format", "csv", "--expect-generation", "11", "ok", "gen8"});
    EXPECT_EQ(1, csv.status);
    EXPECT_EQ(0u, csv.out.find("installation,source,status,error,not_found,damaged,mixed,checker_out_of_date,position,"
                               "name,file,state,tag,size,generation,host,verdict,text,machine,scan_time,"
                               "vudfleet_version,checker_version,wrong_generation,required,policy\r\n"));
    const std::string rows = withScanShown(csv.out);
    EXPECT_EQ(41u, occurrences(rows, "Correct Size Match,,SCAN,2.3.0,0,0,\r\n"));
    EXPECT_EQ(41u, occurrences(rows, "Correct Size Match,,SCAN,2.3.0,41,0,wrong_generation\r\n"));
    EXPECT_EQ(41u, occurrences(csv.out, "\r\ngen8,folder,findings,"));
}

TEST_F(FleetCommandLine, WhereEveryApplicationIsRequiredOneNotFoundIsAFinding) {
    std::vector<testing::GeneratedFile> files = testing::correctInstallation(11);
    files.pop_back();  // vud_rc9.ma
    testing::writeInto("partial", files);
    std::string totals = testing::applicationTotalLines(0, "2 correct");
    totals.erase(totals.find("  vud_rc9.ma"));

    const FleetRun plain = runWith({"ok", "partial"});
    EXPECT_EQ(0, plain.status);
    EXPECT_EQ("ok        11         41 of 41 correct  ok\n"
              "ok        11         40 of 40 correct  partial  1 not found\n"
              "\nBy application, of 2 installations read:\n" +
                  totals + "  vud_rc9.ma  1 correct, 1 not_found\n"
                  "\n2 installations: 2 ok, 0 with findings, 0 errors\n",
              plain.out);

    const FleetRun required = runWith({"--require-all", "ok", "partial"});
    EXPECT_EQ(1, required.status);
    EXPECT_EQ("ok        11         41 of 41 correct  ok\n"
              "findings  11         40 of 40 correct  partial  1 not found (required)\n"
              "\nBy application, of 2 installations read:\n" +
                  totals + "  vud_rc9.ma  1 correct, 1 not_found; policy: 1 required\n"
                  "\n2 installations: 1 ok, 1 with findings, 0 errors\n",
              required.out);

    const FleetRun csv = runWith({"--format", "csv", "--findings", "--require-all", "ok", "partial"});
    EXPECT_EQ(1, csv.status);
    EXPECT_EQ("installation,source,status,error,not_found,damaged,mixed,checker_out_of_date,position,name,file,state,"
              "tag,size,generation,host,verdict,text,machine,scan_time,vudfleet_version,checker_version,"
              "wrong_generation,required,policy\r\n"
              "partial,folder,findings,,1,0,false,false,40,Revision Cloud and Markup Tracking Tool,vud_rc9.ma,"
              "not_found,,,,,,,,SCAN,2.3.0,0,1,required\r\n",
              withScanShown(csv.out));
}

// Against yesterday's scan under the same rollout, a build put on the generation rolled
// out is a fix and one put back on an older generation a new finding, though each
// build is correct.
TEST_F(FleetCommandLine, UnderARolloutAChangeOfGenerationIsAFixOrANewFinding) {
    testing::writeInto("gen8", testing::correctInstallation(8));
    const std::vector<std::string> fleet{"--expect-generation", "11", "ok", "gen8"};
    std::vector<std::string> arguments = fleet;
    arguments.insert(arguments.begin(), {"--format", "json"});
    writeFile("yesterday.json", runWith(arguments).out);
    testing::writeInto("gen8", {testing::correctInstallation(11)[0]});
    testing::writeInto("ok", {testing::correctInstallation(8)[1]});

    arguments.insert(arguments.begin(), {"--baseline", "yesterday.json"});
    const FleetRun json = runWith(arguments);
    EXPECT_EQ(1, json.status);
    EXPECT_NE(std::string::npos, json.out.find("\"file\":\"vud_bsg.ma\",\"state\":\"block\",\"tag\":\"ver 8.0.6\","))
        << json.out;
    EXPECT_NE(std::string::npos, json.out.find("Correct Size Match\",\"change\":\"new_finding\","
                                               "\"policy\":\"wrong_generation\"}"));
    EXPECT_NE(std::string::npos, json.out.find("\"file\":\"vud_mcp.ma\",\"state\":\"block\",\"tag\":\"ver 11.1.3\","));
    EXPECT_NE(std::string::npos, json.out.find("Correct Size Match\",\"change\":\"fixed\",\"policy\":null}"));

    std::vector<std::string> text = fleet;
    text.insert(text.begin(), {"--baseline", "yesterday.json"});
    const std::string out = runWith(text).out;
    EXPECT_EQ("  changed  ok  was ok, now findings; new finding: vud_bsg.ma\n"
              "  changed  gen8  fixed: vud_mcp.ma\n"
              "0 added, 0 gone, 2 changed, 0 unchanged\n\n",
              out.substr(out.find('\n') + 1, out.find("\n\n") + 2 - out.find('\n') - 1));
}

// --findings leaves out what needs no attention, but the totals still count every
// installation read, so that they add up to the fleet.
TEST_F(FleetCommandLine, FindingsAloneLeaveOutWhatIsOkButCountIt) {
    std::vector<testing::GeneratedFile> files = testing::correctInstallation(11);
    files.pop_back();  // vud_rc9.ma
    testing::writeInto("partial", files);
    files = testing::correctInstallation(11);
    files[0] = {0, "", 0};
    testing::writeInto("damaged", files);
    files = testing::correctInstallation(11);
    files[3] = testing::correctInstallation(8)[3];
    testing::writeInto("mixed", files);
    const std::vector<std::string> fleet{"--findings", "ok", "partial", "damaged", "mixed", "missing"};

    const FleetRun text = runWith(fleet);
    EXPECT_EQ(2, text.status);
    std::string totals = testing::applicationTotalLines(1, "4 correct");
    totals.erase(totals.find("  vud_rc9.ma"));
    EXPECT_EQ("findings  11         40 of 40 correct  damaged  1 damaged (no version tag)\n"
              "findings  8+11       41 of 41 correct  mixed  mixed host generations\n"
              "error     -                            missing  no such file or folder\n"
              "\nBy application, of 4 installations read:\n"
              "  vud_mcp.ma  3 correct, 1 no_tag\n" +
                  totals + "  vud_rc9.ma  3 correct, 1 not_found\n"
                  "\n5 installations: 2 ok, 2 with findings, 1 error\n",
              text.out);

    std::vector<std::string> arguments = fleet;
    arguments.insert(arguments.begin(), {"--format", "csv"});
    const FleetRun csv = runWith(arguments);
    EXPECT_EQ(2, csv.status);
    // The mixed installation's builds are each correct: one row without an application
    // keeps it in the list.
    EXPECT_EQ("installation,source,status,error,not_found,damaged,mixed,checker_out_of_date,position,name,file,state,"
              "tag,size,generation,host,verdict,text,machine,scan_time,vudfleet_version,checker_version\r\n"
              "damaged,folder,findings,,0,1,false,false,0,Member Copy Along Path,vud_mcp.ma,no_tag,,,,,,,,SCAN,2.3.0\r\n"
              "mixed,folder,findings,,0,0,true,false,,,,,,,,,,,,SCAN,2.3.0\r\n"
              "missing,folder,error,no such file or folder,,,,,,,,,,,,,,,,SCAN,2.3.0\r\n",
              withScanShown(csv.out));

    arguments[1] = "json";
    const FleetRun json = runWith(arguments);
    EXPECT_EQ(2, json.status);
    EXPECT_EQ(3, std::count(json.out.begin(), json.out.end(), '\n'));
    EXPECT_EQ(0u, json.out.find("{\"format\":3,\"installation\":\"damaged\","));
    EXPECT_NE(std::string::npos, json.out.find("\n{\"format\":3,\"installation\":\"mixed\","));
    EXPECT_NE(std::string::npos, json.out.find("\n{\"format\":3,\"installation\":\"missing\","));

    arguments[1] = "totals";
    std::vector<std::string> all = arguments;
    all.erase(all.begin() + 2);
    EXPECT_EQ(runWith(all).out, runWith(arguments).out);
}

TEST_F(FleetCommandLine, OutputKeepsTheInputOrderWhateverTheJobs) {
    std::vector<std::string> arguments{"--format", "csv"};
    std::string expected;
    for (int i = 0; i < 60; ++i) {
        // A folder of its own each time: one folder however spelled is checked once.
        const std::string name = (i % 3 == 0 ? "ok" : i % 3 == 1 ? "empty" : "missing") + std::to_string(i / 3);
        if (i % 3 == 0) std::filesystem::copy("ok", name);
        if (i % 3 == 1) std::filesystem::create_directory(name);
        arguments.push_back(name);
    }
    const FleetRun one = runWith([&] {
        std::vector<std::string> serial = arguments;
        serial.insert(serial.begin(), {"--jobs", "1"});
        return serial;
    }());
    for (const char* jobs : {"3", "16", "64"}) {
        std::vector<std::string> parallel = arguments;
        parallel.insert(parallel.begin(), {"--jobs", jobs});
        const FleetRun many = runWith(parallel);
        EXPECT_EQ(withoutScanTimes(one.out), withoutScanTimes(many.out)) << jobs << " jobs";
        EXPECT_EQ(one.err, many.err) << jobs << " jobs";
    }
    EXPECT_EQ(1u + 20u * 41u + 20u * 41u + 20u, static_cast<std::size_t>(std::count(one.out.begin(), one.out.end(), '\n')));
}

}  // namespace
}  // namespace vud::fleet
