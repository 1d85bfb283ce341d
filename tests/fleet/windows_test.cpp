// vudfleet.exe as Windows users have it, under Wine: a folder named in several scripts,
// given on the command line; a path longer than MAX_PATH, typed in full, behind "\\?\",
// or short and relative in a deep working folder; a report saved by Windows PowerShell
// 5.1 (UTF-16LE); the line ends of what it writes; a reference build made and held to.
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
#include "text/path.h"

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
    std::string err;
};

// Runs vudfleet.exe with arguments in any script, as a console user types them: the
// command goes to the system as UTF-16, whatever the code page. The output goes to a file
// in the test's own scratch folder (the working folder), so that tests run side by side
// never write the same file.
WideRun runFleetWide(const std::vector<std::string>& arguments) {
    const std::filesystem::path out = std::filesystem::current_path() / "vudfleet-wide-out.txt";
    const std::filesystem::path err = std::filesystem::current_path() / "vudfleet-wide-err.txt";
    std::wstring command = L"\"\"" + wide(VUDFLEET_EXECUTABLE) + L"\"";
    for (const std::string& argument : arguments) command += L" \"" + wide(argument) + L"\"";
    command += L" >\"" + out.wstring() + L"\" 2>\"" + err.wstring() + L"\"\"";
    WideRun run{_wsystem(command.c_str()), testing::readFile(out), testing::readFile(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
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

// A tree deeper than MAX_PATH below the working folder, made behind "\\?\" as the
// program must open it without; `ws` in its deepest folder holds the generation-11
// builds of every application. Returns the deepest folder's full path, without "\\?\".
std::string makeDeepTree() {
    std::string longPath = std::filesystem::current_path().string();
    for (int i = 0; i < 6; ++i) {
        longPath += "\\folder-of-a-deep-tree-" + std::string(30, static_cast<char>('a' + i));
        makeFolder(L"\\\\?\\" + wide(longPath));
    }
    const std::wstring folder = L"\\\\?\\" + wide(longPath);
    makeFolder(folder + L"\\ws");
    for (const testing::GeneratedFile& file : testing::correctInstallation(11)) {
        std::string bytes = file.bytes;
        bytes.resize(static_cast<std::size_t>(file.byteCount), ' ');
        writeWide(folder + L"\\ws\\" + wide(kApplicationCatalogue[file.position].fileName), bytes);
    }
    return longPath;
}

std::string oneCorrectInstallation(const std::string& name) {
    return "ok        11         41 of 41 correct  " + name + "\n" + "\nBy application, of 1 installation read:\n" +
           testing::applicationTotalLines(0, "1 correct") + "\n1 installation: 1 ok, 0 with findings, 0 errors\n";
}

TEST(FleetOnWindows, PathLongerThanMaxPath) {
    const testing::ScratchFolder scratch;
    const std::string report = reportOfACorrectInstallation();
    const std::string longPath = makeDeepTree();
    ASSERT_GT(longPath.size(), 300u);
    writeWide(L"\\\\?\\" + wide(longPath) + L"\\ws.txt", report);

    const WideRun run = runFleetWide({"--format", "csv", longPath + "\\ws", longPath + "\\ws.txt"});
    EXPECT_EQ(0, run.status) << run.out;
    EXPECT_EQ(1u + 41u + 41u, static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')));
    // Past the header, whose column of that name counts them.
    EXPECT_EQ(std::string::npos, run.out.find(",not_found,", run.out.find('\n')));
    removeTree(L"\\\\?\\" + wide(std::filesystem::current_path().string()) + L"\\folder-of-a-deep-tree-" +
               std::wstring(30, L'a'));
}

// Inside "\\?\" paths "/" is part of a name: the applications of such a folder are
// found only when joined to it with "\".
TEST(FleetOnWindows, FolderInTheLongPathForm) {
    const testing::ScratchFolder scratch;
    testing::writeInto("ws042", testing::correctInstallation(11));
    const std::string folder = "\\\\?\\" + (std::filesystem::current_path() / "ws042").string();
    const WideRun run = runFleetWide({folder});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(oneCorrectInstallation(folder), run.out);
}

// A short relative name in a deep working folder is as long as the full path it stands
// for: whether it goes behind "\\?\" is judged on that. The working folder itself
// stays below MAX_PATH, as Windows wants it; an application's file in "ws" inside it is
// not. Wine opens such a path either way, so the conversion is asked directly as well
// as the program run.
TEST(FleetOnWindows, ShortRelativePathInADeepWorkingFolder) {
    const testing::ScratchFolder scratch;
    std::string deep = std::filesystem::current_path().string();
    ASSERT_LT(deep.size(), 200u);
    deep += "\\deep-" + std::string(240 - deep.size() - 6, 'd');  // 240 characters in all
    makeFolder(wide(deep));
    ASSERT_TRUE(SetCurrentDirectoryW(wide(deep).c_str()) != 0) << GetLastError();
    testing::writeInto("ws", testing::correctInstallation(11));
    const std::wstring folder = widePath("ws");
    const std::wstring file = widePath("ws\\vud_mcp.ma");
    const WideRun run = runFleetWide({"ws"});
    std::filesystem::current_path(scratch.path());

    EXPECT_EQ(L"ws", folder);  // 243 characters in full
    EXPECT_EQ(L"\\\\?\\" + wide(deep) + L"\\ws\\vud_mcp.ma", file);
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(oneCorrectInstallation("ws"), run.out);
}

TEST(WidePath, ShortPathsGoAsTypedAndLongOnesInTheirFullLongForm) {
    const testing::ScratchFolder scratch;
    const std::string deep(300, 'd');
    const struct {
        std::string path;
        std::wstring wide;
    } cases[] = {
        {"ws042", L"ws042"},
        {"C:\\fleet/ws042", L"C:\\fleet/ws042"},
        {"\\\\?\\C:\\fleet\\ws042", L"\\\\?\\C:\\fleet\\ws042"},
        {"C:\\fleet/" + deep + "/./x/..", L"\\\\?\\C:\\fleet\\" + wide(deep)},
        {"\\\\ws042\\c$\\" + deep, L"\\\\?\\UNC\\ws042\\c$\\" + wide(deep)},
        {"\\\\?\\C:\\" + deep + "/x", L"\\\\?\\C:\\" + wide(deep) + L"/x"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.wide, widePath(c.path)) << c.path;
}

// Redirected, everything vudfleet.exe writes ends its lines in LF as on every system,
// CSV rows in CR LF as RFC 4180 has them: the same bytes wherever a fleet is checked.
TEST(FleetOnWindows, LineEndsAreThoseOfEverySystem) {
    const testing::ScratchFolder scratch;
    testing::writeInto("ws042", testing::correctInstallation(11));
    const struct {
        const char* format;
        bool crLf;
    } formats[] = {{"text", false}, {"json", false}, {"metrics", false}, {"csv", true}, {"totals", true}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.format);
        const WideRun run = runFleetWide({"--format", f.format, "ws042", "missing"});
        EXPECT_EQ(2, run.status);
        EXPECT_EQ("vudfleet: missing: no such file or folder\n", run.err);
        std::size_t lineEnds = 0;
        std::size_t crLfs = 0;
        for (std::size_t i = 0; i < run.out.size(); ++i) {
            if (run.out[i] != '\n') continue;
            ++lineEnds;
            if (i > 0 && run.out[i - 1] == '\r') ++crLfs;
        }
        EXPECT_GT(lineEnds, 0u);
        EXPECT_EQ(f.crLf ? lineEnds : 0u, crLfs) << run.out;
        EXPECT_EQ(crLfs, static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\r')));
    }
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
    EXPECT_EQ(oneCorrectInstallation("ws042.txt"), run.out);
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
        at = run.out.find(std::string("\"installation\":\"") + installation.installation + "\",\"machine\":\"" +
                              installation.machine + "\",",
                          at);
        ASSERT_NE(std::string::npos, at) << run.out;
    }
}

// The reference made from the media with vudfleet.exe, and a workstation whose
// vud_mcp.ma has one byte changed behind its tag: modified in every format, its digest
// made by the library linked into the one executable.
TEST(FleetOnWindows, AFileWithOneByteChangedIsModifiedAgainstTheReference) {
    const testing::ScratchFolder scratch;
    std::vector<testing::GeneratedFile> files = testing::correctInstallation(11);
    for (testing::GeneratedFile& file : files) file.bytes.resize(static_cast<std::size_t>(file.byteCount), ' ');
    testing::writeInto("media", files);
    const WideRun made = runFleetWide({"--write-reference", "reference.txt", "media"});
    ASSERT_EQ(0, made.status) << made.err;
    EXPECT_EQ("reference.txt: 41 builds of 1 installation\n", made.out);
    files[0].bytes.back() ^= 0x01;
    testing::writeInto("ws042", files);
    const struct {
        const char* format;
        std::string modified;  // what the format says of vud_mcp.ma or of the installation
    } formats[] = {
        {"text", "findings  11         41 of 41 correct  ws042  1 modified\n"},
        {"csv", ",40,1,0,0,0,modified\r\n"},
        {"json", "\"reference\":\"modified\"}"},
        {"totals", "\r\n0,vud_mcp.ma,Member Copy Along Path,1,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0\r\n"},
        {"metrics", "\nvudfleet_reference_installations{state=\"modified\"} 1\n"},
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.format);
        const WideRun run = runFleetWide({"--format", f.format, "--reference", "reference.txt", "ws042"});
        EXPECT_EQ(1, run.status) << run.err;
        EXPECT_NE(std::string::npos, run.out.find(f.modified)) << run.out;
    }
    const WideRun media = runFleetWide({"--reference", "reference.txt", "--require-reference", "media"});
    EXPECT_EQ(0, media.status) << media.out;
    EXPECT_NE(std::string::npos, media.out.find("): 41 verified, 0 modified, 0 unreferenced"));
}

}  // namespace
}  // namespace vud::fleet
