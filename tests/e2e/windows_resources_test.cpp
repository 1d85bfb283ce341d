// What Windows, Explorer's Properties > Details and the administrators' inventory
// tools read of the built vudcheck.exe, read here the same way, through the Windows
// API: its version information and its application manifest. The expected values are
// the project's own, handed in by the build.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace vud {
namespace {

// The values are plain ASCII.
std::wstring widened(const std::string& text) { return {text.begin(), text.end()}; }

const std::wstring& programPath() {
    static const std::wstring path = std::filesystem::path(VUDCHECK_EXECUTABLE).wstring();
    return path;
}

// Windows keeps a version as four numbers; the project names three, and the fourth is 0.
std::vector<std::uint16_t> versionNumbers() {
    std::vector<std::uint16_t> numbers;
    std::istringstream text(VUD_PROJECT_VERSION);
    for (std::string number; std::getline(text, number, '.');)
        numbers.push_back(static_cast<std::uint16_t>(std::stoul(number)));
    numbers.resize(4, 0);
    return numbers;
}

std::string fourPartVersion() {
    const std::vector<std::uint16_t> n = versionNumbers();
    return std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." +
           std::to_string(n[3]);
}

class WindowsResources : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(programPath().c_str(), &ignored);
        ASSERT_NE(0u, size) << "no version information in " << VUDCHECK_EXECUTABLE
                            << " (error " << GetLastError() << ")";
        versionInfo_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(programPath().c_str(), 0, size, versionInfo_.data()));
    }

    // The value at `path` in the version information, and its length as VerQueryValue
    // counts it; null when there is none.
    const void* query(const std::wstring& path, UINT& length) {
        void* value = nullptr;
        length = 0;
        if (!VerQueryValueW(versionInfo_.data(), path.c_str(), &value, &length)) return nullptr;
        return value;
    }

    std::vector<unsigned char> versionInfo_;
};

TEST_F(WindowsResources, FixedVersionIsTheProjectVersionOfAReleasedProgram) {
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\", length));
    ASSERT_NE(nullptr, fixed);
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    const std::vector<std::uint16_t> n = versionNumbers();
    const DWORD high = DWORD{n[0]} << 16 | n[1];
    const DWORD low = DWORD{n[2]} << 16 | n[3];
    EXPECT_EQ(high, fixed->dwFileVersionMS);
    EXPECT_EQ(low, fixed->dwFileVersionLS);
    EXPECT_EQ(high, fixed->dwProductVersionMS);
    EXPECT_EQ(low, fixed->dwProductVersionLS);
    // No debug, pre-release, patched or private build.
    EXPECT_EQ(0u, fixed->dwFileFlags & fixed->dwFileFlagsMask);
    EXPECT_EQ(DWORD{VOS_NT_WINDOWS32}, fixed->dwFileOS);
    EXPECT_EQ(DWORD{VFT_APP}, fixed->dwFileType);
}

TEST_F(WindowsResources, TextsNameTheProgramItsMakerAndItsVersion) {
    // Tools look the texts up under the language and code page that Translation names.
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation", length));
    ASSERT_NE(nullptr, translation);
    ASSERT_EQ(2 * sizeof(WORD), length);
    EXPECT_EQ(0x0409, translation[0]) << "US English";
    EXPECT_EQ(1200, translation[1]) << "Unicode";

    const struct {
        const wchar_t* field;
        std::string expected;
    } fields[] = {
        {L"CompanyName", VUD_COMPANY_NAME},
        {L"FileDescription", VUD_FILE_DESCRIPTION},
        {L"FileVersion", fourPartVersion()},
        {L"InternalName", VUD_INTERNAL_NAME},
        {L"OriginalFilename", std::filesystem::path(VUDCHECK_EXECUTABLE).filename().string()},
        {L"ProductName", VUD_PRODUCT_NAME},
        {L"ProductVersion", fourPartVersion()},
    };
    for (const auto& f : fields) {
        SCOPED_TRACE(std::filesystem::path(f.field).string());
        const auto* text = static_cast<const wchar_t*>(
            query(std::wstring(L"\\StringFileInfo\\040904B0\\") + f.field, length));
        ASSERT_NE(nullptr, text);
        EXPECT_EQ(widened(f.expected), std::wstring(text));
    }
}

TEST(WindowsManifest, AsksForNoElevationAndNamesEveryWindowsFrom7To11) {
    HMODULE program = LoadLibraryExW(programPath().c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, program) << "error " << GetLastError();
    // Resource 1 of type RT_MANIFEST: the manifest Windows reads when a program starts.
    HRSRC resource = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(nullptr, resource) << "no manifest in " << VUDCHECK_EXECUTABLE;
    HGLOBAL loaded = LoadResource(program, resource);
    ASSERT_NE(nullptr, loaded);
    const std::string manifest(static_cast<const char*>(LockResource(loaded)),
                               SizeofResource(program, resource));
    FreeLibrary(program);

    const struct {
        const char* what;
        std::string text;
    } entries[] = {
        {"runs with its user's rights", R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)"},
        {"Windows 7", R"(<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>)"},
        {"Windows 8", R"(<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>)"},
        {"Windows 8.1", R"(<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>)"},
        {"Windows 10 and 11", R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)"},
        {"the program's version", "version=\"" + fourPartVersion() + "\""},
    };
    for (const auto& e : entries) {
        SCOPED_TRACE(e.what);
        EXPECT_NE(std::string::npos, manifest.find(e.text)) << manifest;
    }
}

}  // namespace
}  // namespace vud
