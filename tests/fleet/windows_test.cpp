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

#include "catalogue/catalogue.h"
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

// The C++ library's own file calls do not all take "\\?\" paths; the system's do.
void makeFolder(const std::wstring& path) { ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr) != 0) << GetLastError(); }

void writeWide(const std::wstring& path, const std::string& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << GetLastError();
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(bytes.size(), written);
}

// The scratch folder's own clean-up does not reach this deep.
void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                removeTree(folder + L"\\" + name);
            else
                DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

struct WideRun {
    int status;
    std::string out;
};

// Runs vudfleet.exe with arguments in any script, as a console user types them: the
// command goes to the system as UTF-16, whatever the code page. The output goes to a file
// in the test's own scratch folder (the working folder), so that tests run side by side
// never write the same file.
WideRun runFleetWide(const std::vector<std::string>& arguments) {
    const std::filesystem::path out = std::filesystem::current_path() / "vudfleet-wide-out.txt";
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
              "\nBy application, of 1 installation read:\n" +
                  testing::applicationTotalLines(0, "1 correct") +
                  "\n1 installation: 1 ok, 0 with findings, 0 errors\n",
              run.out);
}

TEST(FleetOnWindows, PathLongerThanMaxPath) {
    const testing::ScratchFolder scratch;
    const std::string report = reportOfACorrectInstallation();
    // The test makes its files behind "\\?\", as the program must open them without it.
    std::string longPath = std::filesystem::current_path().string();
    for (int i = 0; i < 6; ++i) {
        longPath += "\\folder-of-a-deep-tree-" + std::string(30, static_cast<char>('a' + i));
        makeFolder(L"\\\\?\\" + wide(longPath));
    }
    ASSERT_GT(longPath.size(), 300u);
    const std::wstring folder = L"\\\\?\\" + wide(longPath);
    makeFolder(folder + L"\\ws");
    for (const testing::GeneratedFile& file : testing::correctInstallation(11)) {
        std::string bytes = file.bytes;
        bytes.resize(static_cast<std::size_t>(file.byteCount), ' ');
        writeWide(folder + L"\\ws\\" + wide(kApplicationCatalogue[file.position].fileName), bytes);
    }
    writeWide(folder + L"\\ws.txt", report);

    const WideRun run = runFleetWide({"--format", "csv", longPath + "\\ws", longPath + "\\ws.txt"});
    EXPECT_EQ(0, run.status) << run.out;
    EXPECT_EQ(1u + 41u + 41u, static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')));
    EXPECT_EQ(std::string::npos, run.out.find(",not-found,"));
    removeTree(L"\\\\?\\" + wide(std::filesystem::current_path().string()) + L"\\folder-of-a-deep-tree-" +
               std::wstring(30, L'a'));
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
              "\nBy application, of 1 installation read:\n" +
                  testing::applicationTotalLines(0, "1 correct") +
                  "\n1 installation: 1 ok, 0 with findings, 0 errors\n",
              run.out);
}

// Machines named by a list saved by Windows PowerShell (UTF-16LE, a tab between machine
// and path) and by shares' paths in both spellings, on the command line and in the list.
TEST(FleetOnWindows, MachinesFromATabbedListAndFromShares) {
    const testing::ScratchFolder scratch;
    testing::writeInto("local-copy", testing::correctInstallation(11));
    const std::string list = "pc1\tlocal-copy\r\n\\\\ws9\\c$\\Vudmark\r\n//ws8/c$/Vudmark\r\n";
    std::string saved = "\xFF\xFE";
    for (const char c : list) saved += std::string{c, '\0'};
    std::ofstream("fleet.txt", std::ios::binary) << saved;
    const WideRun run = runFleetWide({"--format", "json", "//ws7/c$/Vudmark", "--from", "fleet.txt"});
    EXPECT_EQ(2, run.status);  // no such shares here
    const struct {
        const char* installation;
        const char* machine;
    } expected[] = {
        {"//ws7/c$/Vudmark", "ws7"},
        {"local-copy", "pc1"},
        {"\\\\\\\\ws9\\\\c$\\\\Vudmark", "ws9"},
        {"//ws8/c$/Vudmark", "ws8"},
    };
    std::size_t at = 0;
    for (const auto& installation : expected) {
        SCOPED_TRACE(installation.installation);
        at = run.out.find(std::string("{\"installation\":\"") + installation.installation + "\",\"machine\":\"" +
                              installation.machine + "\",",
                          at);
        ASSERT_NE(std::string::npos, at) << run.out;
    }
}

}  // namespace
}  // namespace vud::fleet
