// The fleet checker's command line, run in process over installations on disk: exit
// statuses, inputs that cannot be read, lists of paths and the order of the output.
#include "fleet/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "fleet/generated_installation.h"
#include "support/scratch_folder.h"

namespace vud::fleet {
namespace {

using testing::writeFile;

struct FleetRun {
    int status;
    std::string out;
    std::string err;
};

FleetRun runWith(const std::vector<std::string>& arguments, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const int status = runFleet(arguments, {in, out, err, false});
    return {status, out.str(), err.str()};
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
    const FleetRun result = runWith({"missing", "ok", "listing.txt", "ok"});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("vudfleet: missing: no such file or folder\n"
              "vudfleet: listing.txt: line 1: expected an application block (\"Application: ...\") or the run "
              "summary (\"Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\"), found a listing of the "
              "applications (\"vudcheck ?\"), not a report\n",
              result.err);
    EXPECT_EQ("error     -                            missing  no such file or folder\n"
              "ok        11         41 of 41 correct  ok\n"
              "error     -                            listing.txt  line 1: expected an application block "
              "(\"Application: ...\") or the run summary (\"Verification ver 2.3.0  dated Mar 15, 2013  "
              "SUMMARY:\"), found a listing of the applications (\"vudcheck ?\"), not a report\n"
              "ok        11         41 of 41 correct  ok\n"
              "\nBy application, of 2 installations read:\n" +
                  testing::applicationTotalLines(0, "2 correct") +
                  "\n4 installations: 2 ok, 0 with findings, 2 errors\n",
              result.out);
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
              "1 installation: 0 ok, 1 with findings, 0 errors\n",
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
                                               "vud_mcp.ma,no-tag,,,,,,\r\n"));
}

#ifndef _WIN32
TEST_F(FleetCommandLine, AFolderThatCannotBeListedIsAnError) {
    if (geteuid() == 0) GTEST_SKIP() << "root lists every folder";
    std::filesystem::create_directory("locked");
    std::filesystem::permissions("locked", std::filesystem::perms::owner_exec);
    const FleetRun result = runWith({"locked"});
    std::filesystem::permissions("locked", std::filesystem::perms::owner_all);
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("vudfleet: locked: Permission denied\n", result.err);
}
#endif

TEST_F(FleetCommandLine, PathsFromAListAndAReportFromStandardInput) {
    // A list as Windows tools write it: CR LF and blank lines.
    writeFile("fleet.txt", "ok\r\n\r\nempty\r\n  \r\nok");
    const FleetRun result = runWith({"--from", "fleet.txt", "-"},
                                    "Verification ver 2.3.0  dated Mar 15, 2013  SUMMARY:\n"
                                    "0 of (41) Applications were Located as CORRECT PRODUCTION VERSIONS\n"
                                    "41 Applications NOT FOUND\n");
    EXPECT_EQ(1, result.status);
    // The paths on the command line come first, then those of the list.
    EXPECT_EQ("findings  -           0 of  0 correct  -  no application found\n"
              "ok        11         41 of 41 correct  ok\n"
              "findings  -           0 of  0 correct  empty  no application found\n"
              "ok        11         41 of 41 correct  ok\n"
              "\nBy application, of 4 installations read:\n" +
                  testing::applicationTotalLines(0, "2 correct, 1 not-found, 1 absent") +
                  "\n4 installations: 2 ok, 2 with findings, 0 errors\n",
              result.out);
    EXPECT_EQ("", result.err);
}

TEST_F(FleetCommandLine, OutputKeepsTheInputOrderWhateverTheJobs) {
    std::vector<std::string> arguments{"--format", "csv"};
    std::string expected;
    for (int i = 0; i < 60; ++i) {
        const std::string name = i % 3 == 0 ? "ok" : i % 3 == 1 ? "empty" : "missing";
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
        EXPECT_EQ(one.out, many.out) << jobs << " jobs";
        EXPECT_EQ(one.err, many.err) << jobs << " jobs";
    }
    EXPECT_EQ(1u + 20u * 41u + 20u * 41u + 20u, static_cast<std::size_t>(std::count(one.out.begin(), one.out.end(), '\n')));
}

}  // namespace
}  // namespace vud::fleet
