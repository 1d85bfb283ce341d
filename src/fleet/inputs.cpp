#include "fleet/inputs.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>

#include "fleet/report_parser.h"
#include "fleet/scan.h"
#include "fleet/utf8.h"
#include "probe/installed_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vud::fleet {
namespace {

// A report of all 41 applications is a few KiB; anything far larger is some other
// file, and is not held in memory whole.
constexpr std::size_t kLargestReport = std::size_t{1} << 20;

InstallationRecord errorRecord(const std::string& path, Source source, std::string reason) {
    InstallationRecord record;
    record.installation = asUtf8(path);
    record.source = source;
    record.status = Status::Error;
    record.error = std::move(reason);
    return record;
}

// Special: a FIFO, a device or a socket, which may never end or never answer.
enum class Kind { Missing, Folder, Other, Special, Unreadable };

#ifdef _WIN32
// The path as the wide functions take it. A path of MAX_PATH characters or more works
// only as a full path behind "\\?\", which turns off the system's own path rules: so it
// is made full first (its "/" made "\", "." and ".." resolved), and a share's
// "\\server\share" becomes "\\?\UNC\server\share". The C runtime's own calls are not
// used for these: they do not all take such paths.
std::wstring widePath(const std::string& path) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), size);
    wide.pop_back();
    // Folders stop at MAX_PATH less the 12 characters of an 8.3 name inside them.
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return wide;
    full.resize(length);
    if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string reasonOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return "no such file or folder";
        case ERROR_ACCESS_DENIED: return "access denied";
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return "network path not found";
        case ERROR_LOGON_FAILURE: return "logon failure";
        case ERROR_SHARING_VIOLATION: return "in use by another program";
        default: return "Windows error " + std::to_string(error);
    }
}

Kind kindOf(const std::string& path, std::string& reason) {
    const DWORD attributes = GetFileAttributesW(widePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        reason = reasonOf(error);
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Kind::Missing : Kind::Unreadable;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::Folder : Kind::Other;
}

bool listable(const std::string& path, std::string& reason) {
    std::wstring pattern = widePath(path);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        reason = reasonOf(GetLastError());
        return false;
    }
    FindClose(search);
    return true;
}
#else
std::string reasonOf(const std::error_code& error) {
    if (error == std::errc::no_such_file_or_directory) return "no such file or folder";
    return error.message();
}

Kind kindOf(const std::string& path, std::string& reason) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        reason = "no such file or folder";
        return Kind::Missing;
    }
    if (error) {
        reason = reasonOf(error);
        return Kind::Unreadable;
    }
    if (std::filesystem::is_directory(status)) return Kind::Folder;
    if (std::filesystem::is_regular_file(status)) return Kind::Other;
    reason = "neither a file nor a folder";
    return Kind::Special;
}

// A folder's files are opened by name, as the checker opens them: one that may be
// entered but not listed (mode 111) is checked; one that cannot be entered is not.
bool listable(const std::string& path, std::string& reason) {
    std::error_code error;
    const std::filesystem::file_status entered = std::filesystem::status(std::filesystem::path(path) / ".", error);
    if (!error && !std::filesystem::is_directory(entered)) error = std::make_error_code(std::errc::not_a_directory);
    if (error) reason = reasonOf(error);
    return !error;
}
#endif

}  // namespace

std::filesystem::path pathFromUtf8(const std::string& text) {
#ifdef _WIN32
    return std::filesystem::path(widePath(text));
#else
    return std::filesystem::path(text);
#endif
}

namespace {
constexpr std::size_t kReadChunk = std::size_t{1} << 20;
}  // namespace

bool readWholeFile(const std::string& path, std::size_t largest, std::string& bytes, std::string& reason) {
#ifdef _WIN32
    // Shared for reading, writing and deleting: a report being written still reads.
    const HANDLE file = CreateFileW(widePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = reasonOf(GetLastError());
        return false;
    }
    // The buffer grows with what arrives: the limit is a bound, not an allocation, so a
    // list of ten paths costs no more than its bytes.
    bytes.clear();
    std::size_t held = 0;
    bool failed = false;
    while (held <= largest) {
        const std::size_t wanted = std::min<std::size_t>(largest + 1 - held, kReadChunk);
        bytes.resize(held + wanted);
        DWORD count = 0;
        if (!ReadFile(file, bytes.data() + held, static_cast<DWORD>(wanted), &count, nullptr)) {
            failed = true;
            break;
        }
        if (count == 0) break;
        held += count;
    }
    CloseHandle(file);
    if (failed) {
        reason = "read error";
        return false;
    }
    bytes.resize(held);
#else
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        reason = errno != 0 ? reasonOf(std::error_code(errno, std::generic_category())) : "cannot be opened";
        return false;
    }
    if (!readBounded(file, largest, bytes, reason)) {
        if (file.bad()) reason = "read error";
        return false;
    }
#endif
    if (bytes.size() > largest) {
        reason = "larger than " + std::to_string(largest >> 20) + " MiB";
        return false;
    }
    return true;
}

bool readBounded(std::istream& in, std::size_t largest, std::string& bytes, std::string& reason) {
    // The buffer grows with what arrives: the limit is a bound, not an allocation.
    bytes.clear();
    std::size_t held = 0;
    while (held <= largest && in) {
        const std::size_t wanted = std::min<std::size_t>(largest + 1 - held, kReadChunk);
        bytes.resize(held + wanted);
        in.read(bytes.data() + held, static_cast<std::streamsize>(wanted));
        held += static_cast<std::size_t>(in.gcount());
    }
    bytes.resize(held);
    if (in.bad()) {
        reason = "standard input cannot be read";
        return false;
    }
    if (held > largest) {
        reason = "larger than " + std::to_string(largest >> 20) + " MiB";
        return false;
    }
    return true;
}

InstallationRecord checkInput(const std::string& path, std::istream& standardInput) {
    std::string reason;
    if (path == "-") {
        std::string bytes;
        if (!readBounded(standardInput, kLargestReport, bytes, reason)) return errorRecord(path, Source::Report, reason);
        return parseReport(bytes, path);
    }
    switch (kindOf(path, reason)) {
        case Kind::Special:
        case Kind::Missing:
        case Kind::Unreadable: return errorRecord(path, Source::Folder, reason);
        case Kind::Folder: {
            // A folder that cannot be entered cannot be checked either: without this every
            // application would just be not found.
            if (!listable(path, reason)) return errorRecord(path, Source::Folder, reason);
            InstalledFolder folder(path);
            InstallationRecord record = scanInstallation(folder, path);
            record.installation = asUtf8(path);
            return record;
        }
        case Kind::Other: break;
    }
    std::string bytes;
    if (!readWholeFile(path, kLargestReport, bytes, reason)) return errorRecord(path, Source::Report, reason);
    return parseReport(bytes, asUtf8(path));
}

}  // namespace vud::fleet
