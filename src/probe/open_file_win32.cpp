#include "probe/open_file.h"

#include <string>

#include "text/path.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace vud {

namespace {

std::int64_t sizeOf(const BY_HANDLE_FILE_INFORMATION& information) {
    return static_cast<std::int64_t>((std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow);
}

// The file's last write and last change: a rewrite whose modification time was set
// back still moves the change time. False when the system tells neither.
bool timesOf(HANDLE handle, std::int64_t& lastWrite, std::int64_t& changed) {
    FILE_BASIC_INFO information{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &information, sizeof information)) return false;
    lastWrite = information.LastWriteTime.QuadPart;
    changed = information.ChangeTime.QuadPart;
    return true;
}

}  // namespace

OpenFile::~OpenFile() {
    if (handle_ != nullptr) CloseHandle(handle_);
}

// The handle is opened once and asked everything: what it is, how large it is.
bool OpenFile::open(const char* path) {
    const std::wstring wide = widePath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    // Shared for reading, writing and deleting: the host product or an editor may hold
    // a build open, and an installer may replace or remove it while the checker reads;
    // the checker denies no one anything.
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    handle_ = handle;
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    reportedSize_ = sizeOf(information);
    // Asked only of a file read whole; a system that tells no times makes it changed
    // while read, never unreadable.
    timesOf(handle, lastWrite_, changed_);
    return true;
}

bool OpenFile::unchangedSinceOpen() const {
    BY_HANDLE_FILE_INFORMATION information;
    std::int64_t lastWrite = 0;
    std::int64_t changed = 0;
    if (!GetFileInformationByHandle(handle_, &information) || !timesOf(handle_, lastWrite, changed)) return false;
    return sizeOf(information) == reportedSize_ && lastWrite == lastWrite_ && changed == changed_;
}

std::int64_t OpenFile::read(unsigned char* buffer, std::size_t count) {
    const std::int64_t got = readAt(position_, buffer, count);
    if (got > 0) position_ += got;
    return got;
}

// Every read names its offset: a read at an offset moves the handle's own file
// pointer, so read() keeps its place itself rather than trust that pointer.
std::int64_t OpenFile::readAt(std::int64_t offset, unsigned char* buffer, std::size_t count) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return got;
}

}  // namespace vud
