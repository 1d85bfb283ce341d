#include "fleet/input/inputs.h"

#include <algorithm>

#include "fleet/input/file_digests.h"
#include "fleet/input/inputs_platform.h"
#include "fleet/input/report_parser.h"
#include "fleet/input/scan.h"
#include "probe/installed_folder.h"
#include "text/utf8.h"

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

// Whether `bytes` keep to `largest`; `reason` says they do not.
bool withinLimit(const std::string& bytes, std::size_t largest, std::string& reason) {
    if (bytes.size() <= largest) return true;
    reason = "larger than " + std::to_string(largest >> 20) + " MiB";
    return false;
}

constexpr std::size_t kReadChunk = std::size_t{1} << 20;

}  // namespace

bool readStreamUpTo(std::istream& in, std::size_t most, std::string& bytes) {
    bytes.clear();
    std::size_t held = 0;
    while (held < most && in) {
        const std::size_t wanted = std::min<std::size_t>(most - held, kReadChunk);
        bytes.resize(held + wanted);
        in.read(bytes.data() + held, static_cast<std::streamsize>(wanted));
        held += static_cast<std::size_t>(in.gcount());
    }
    bytes.resize(held);
    return !in.bad();
}

bool readStreamInPieces(std::istream& in, const PieceTaker& take) {
    std::string piece(kReadChunk, '\0');
    while (in) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        const auto count = static_cast<std::size_t>(in.gcount());
        if (count > 0 && !take(std::string_view(piece.data(), count))) break;
    }
    return !in.bad();
}

bool readUpTo(const std::string& path, std::size_t most, std::string& bytes, std::string& reason) {
    bytes.clear();
    if (most == 0) return true;
    return readFileInPieces(
        path,
        [&bytes, most](std::string_view piece) {
            bytes.append(piece.substr(0, most - bytes.size()));
            return bytes.size() < most;
        },
        reason);
}

bool readWholeFile(const std::string& path, std::size_t largest, std::string& bytes, std::string& reason) {
    return readUpTo(path, largest + 1, bytes, reason) && withinLimit(bytes, largest, reason);
}

// Stops at `largest` + 1 bytes, so no input fills the memory.
bool readBounded(std::istream& in, std::size_t largest, std::string& bytes, std::string& reason) {
    if (!readStreamUpTo(in, largest + 1, bytes)) {
        reason = "standard input cannot be read";
        return false;
    }
    return withinLimit(bytes, largest, reason);
}

namespace {

// A saved report read, held to the reference if there is one.
InstallationRecord reportRecord(std::string_view bytes, const std::string& name, const ReferenceCheck& check) {
    InstallationRecord record = parseReport(bytes, name);
    if (check.reference != nullptr) holdReportToReference(record, check.required);
    return record;
}

}  // namespace

InstallationRecord checkInput(const std::string& path, std::istream& standardInput, const ReferenceCheck& check) {
    std::string reason;
    if (path == "-") {
        std::string bytes;
        if (!readBounded(standardInput, kLargestReport, bytes, reason)) return errorRecord(path, Source::Report, reason);
        return reportRecord(bytes, path, check);
    }
    switch (inputKind(path, reason)) {
        case InputKind::Special:
        case InputKind::Missing:
        case InputKind::Unreadable: return errorRecord(path, Source::Folder, reason);
        case InputKind::Folder: {
            // A folder that cannot be entered cannot be checked either: without this every
            // application would just be not found.
            if (!enterable(path, reason)) return errorRecord(path, Source::Folder, reason);
            InstalledFolder folder(path);
            InstallationRecord record = check.reference != nullptr
                                            ? scanAgainstReference(folder, path, *check.reference, check.required)
                                            : scanInstallation(folder, path);
            record.installation = asUtf8(path);
            return record;
        }
        case InputKind::Other: break;
    }
    std::string bytes;
    InstallationRecord record = readWholeFile(path, kLargestReport, bytes, reason)
                                    ? reportRecord(bytes, asUtf8(path), check)
                                    : errorRecord(path, Source::Report, reason);
    record.reportTime = modifiedAt(path);
    return record;
}

}  // namespace vud::fleet
