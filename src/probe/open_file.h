// An application file opened for reading: the loader's one door to the operating
// system. open_file_posix.cpp and open_file_win32.cpp each hold one platform's door.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vud {

class OpenFile {
public:
    OpenFile() = default;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile();

    // Opens the file at `path` (UTF-8: a bare name in the working folder, or a folder
    // and a name) read-only, denying other programs no access, when it is a regular
    // file. Anything else (a folder, a FIFO, a device) is refused without being opened
    // where the system allows that, and refused once open where it does not.
    bool open(const char* path);

    // The size the open file reports; the file may deliver more or less.
    std::int64_t reportedSize() const { return reportedSize_; }

    // Whether the file's size and its times of last change are still those it had when
    // it was opened: false when it was written, grown, cut or replaced in place since,
    // or cannot be asked.
    bool unchangedSinceOpen() const;

    // Reads on from where the last read() stopped: the number of bytes read, 0 at the
    // end of the file, -1 on a read error.
    std::int64_t read(unsigned char* buffer, std::size_t count);

    // The same from `offset`, leaving the place where read() goes on as it was.
    std::int64_t readAt(std::int64_t offset, unsigned char* buffer, std::size_t count);

private:
#ifdef _WIN32
    void* handle_ = nullptr;    // a HANDLE; null when not open
    std::int64_t position_ = 0;  // where read() goes on
    // At open: the last modification and the last change of the file's data or
    // attributes (which setting the modification time back does not undo), as FILETIMEs.
    std::int64_t lastWrite_ = 0;
    std::int64_t changed_ = 0;
#else
    int descriptor_ = -1;
    // At open: the last modification and the last status change, in nanoseconds.
    std::int64_t modified_ = 0;
    std::int64_t statusChanged_ = 0;
#endif
    std::int64_t reportedSize_ = 0;
};

}  // namespace vud
