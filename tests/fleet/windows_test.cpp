// vudfleet.exe as Windows users have it, under Wine: a folder named in several scripts,
// given on the command line; a path longer than MAX_PATH; a report saved by Windows
// PowerShell 5.1 (UTF-16LE).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fleet/generated_installation.h"
#include "support/run_checker.h"
#include "support/scratch_folder.h"

namespace vud::fleet {
namespace {

std::wstring wide(const std::string& utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text.data(), length);
    text.pop_back();
    return text;
}

std::filesystem::path pathOf(const std::string& utf8) { return std::filesystem::path(wide(utf8)); }

struct WideRun {
    int status;
    std::string out;
};

// Runs vudfleet.exe with arguments in any script, as a console user types them: the
// command goes to the system as UTF-16, whatever the code page.
WideRun runFleetWide(const std::vector<std::string>& arguments) {
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "vudfleet-wide-out.txt";
    std::wstring command = L"\"\"" + wide(VUDFLEET_EXECUTABLE) + L"\"";
    for (const std::string& argument : arguments) command += L" \"" + wide(argument) + L"\"";
    command += L" >\"" + out.wstring() + L"\" 2>NUL\"";
    WideRun run{_wsystem(command.c_str()), testing::readFile(out)};
    std::filesystem::remove(out);
    return run;
}

// vudcheck's report of an installation with the generation-11 builds of every application.
std::string reportOfACorrectInstallation() {
    testing::writeInto("report-source", testing::correctInstallation(11));
    std::filesystem::current_path("report-source");
    const testing::CheckerResult report = testing::runChecker({});
    std::filesystem::current_path("..");
    return report.out;
}

TEST(FleetOnWindows, FolderNamedInSeveralScriptsGivenOnTheCommandLine) {
    const testing::ScratchFolder scratch;
    const std::string name = "\xD0\xA1\xD1\x82\xD0\xB0\xD0\xBD\xD1\x86\xD0\xB8\xD1\x8F \xCE\xA9 \xC3\xBC \xE6\x9D\xB1\xE4\xBA\xAC";
    testing::writeInto(pathOf(name), testing::correctInstallation(11));
    const WideRun run = runFleetWide({name});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("ok        11         41 of 41 correct  " + name + "\n"
              "1 installation: 1 ok, 0 with findings, 0 errors\n",
              run.out);
}

TEST(FleetOnWindows, PathLongerThanMaxPath) {
    const testing::ScratchFolder scratch;
    std::string longPath = std::filesystem::current_path().string();
    for (int i = 0; i < 6; ++i) longPath += "\\folder-of-a-deep-tree-" + std::string(30, static_cast<char>('a' + i));
    ASSERT_GT(longPath.size(), 300u);
    // The test makes its files behind "\\?\", as the program must open them without it.
    const std::filesystem::path prefixed = pathOf("\\\\?\\" + longPath);
    testing::writeInto(prefixed / "ws", testing::correctInstallation(11));
    std::ofstream(prefixed / "ws.txt", std::ios::binary) << reportOfACorrectInstallation();
    const WideRun run = runFleetWide({"--format", "csv", longPath + "\\ws", longPath + "\\ws.txt"});
    EXPECT_EQ(0, run.status) << run.out;
    EXPECT_EQ(1u + 41u + 41u, static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')));
    EXPECT_EQ(std::string::npos, run.out.find(",not-found,"));
}

TEST(FleetOnWindows, ReportSavedByWindowsPowerShell) {
    const testing::ScratchFolder scratch;
    const std::string report = reportOfACorrectInstallation();
    // PowerShell 5.1's ">": a byte-order mark, UTF-16LE, CR LF.
    std::string saved = "\xFF\xFE";
    for (const char c : report) {
        if (c == '\n' && (saved.size() < 4 || saved[saved.size() - 2] != '\r')) saved += std::string("\r\0", 2);
        saved += std::string{c, '\0'};
    }
    std::ofstream("ws042.txt", std::ios::binary) << saved;
    const WideRun run = runFleetWide({"ws042.txt"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("ok        11         41 of 41 correct  ws042.txt\n"
              "1 installation: 1 ok, 0 with findings, 0 errors\n",
              run.out);
}

}  // namespace
}  // namespace vud::fleet
