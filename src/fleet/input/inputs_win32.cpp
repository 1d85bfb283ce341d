#include <algorithm>

#include "fleet/input/inputs.h"  // pathFromUtf8
#include "fleet/input/inputs_platform.h"
#include "text/path.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// The system's wide calls take every path widePath gives, "\\?\" ones included; the C
// runtime's own calls do not all take those, so they are not used here.
namespace vud::fleet {
namespace {

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

constexpr std::size_t kReadChunk = std::size_t{1} << 20;

}  // namespace

std::filesystem::path pathFromUtf8(const std::string& text) { return std::filesystem::path(widePath(text)); }

InputKind inputKind(const std::string& path, std::string& reason) {
    const DWORD attributes = GetFileAttributesW(widePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        reason = reasonOf(error);
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? InputKind::Missing
                                                                              : InputKind::Unreadable;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? InputKind::Folder : InputKind::Other;
}

bool enterable(const std::string& path, std::string& reason) {
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

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    // Opened for its attributes only, a folder too (backup semantics), shared with anyone.
    const HANDLE file = CreateFileW(widePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(file, &information) != 0;
    CloseHandle(file);
    if (!known) return std::nullopt;
    return FileIdentity{information.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
}

std::optional<std::int64_t> modifiedAt(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(widePath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    // Ticks of 100 ns since 1601-01-01 UTC, never negative: whole seconds rounded down,
    // as POSIX gives them.
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
    return static_cast<std::int64_t>(ticks / 10'000'000) - kSecondsFrom1601To1970;
}

bool readFileInPieces(const std::string& path, const PieceTaker& take, std::string& reason) {
    // Shared for reading, writing and deleting: a report being written still reads.
    const HANDLE file = CreateFileW(widePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = reasonOf(GetLastError());
        return false;
    }
    std::string piece(kReadChunk, '\0');
    DWORD failure = ERROR_SUCCESS;
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &count, nullptr)) {
            failure = GetLastError();
            break;
        }
        if (count == 0 || !take(std::string_view(piece.data(), count))) break;
    }
    CloseHandle(file);
    if (failure != ERROR_SUCCESS) reason = reasonOf(failure);
    return failure == ERROR_SUCCESS;
}

}  // namespace vud::fleet
