#include "fleet/inputs.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>

#include "fleet/report_parser.h"
#include "fleet/scan.h"
#include "fleet/utf8.h"
#include "probe/installed_folder.h"

namespace vud::fleet {
namespace {

InstallationRecord errorRecord(const std::string& path, Source source, std::string reason) {
    InstallationRecord record;
    record.installation = asUtf8(path);
    record.source = source;
    record.status = Status::Error;
    record.error = std::move(reason);
    return record;
}

constexpr std::size_t kLargestReport = std::size_t{1} << 20;

std::string reasonOf(const std::error_code& error) {
    if (error == std::errc::no_such_file_or_directory) return "no such file or folder";
    return error.message();
}

}  // namespace

std::filesystem::path pathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

InstallationRecord checkInput(const std::string& path, std::istream& standardInput) {
    if (path == "-") {
        const std::string bytes{std::istreambuf_iterator<char>(standardInput), std::istreambuf_iterator<char>()};
        if (standardInput.bad()) return errorRecord(path, Source::Report, "standard input cannot be read");
        return parseReport(bytes, path);
    }
    const std::filesystem::path where = pathFromUtf8(path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(where, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return errorRecord(path, Source::Folder, "no such file or folder");
    if (error) return errorRecord(path, Source::Folder, reasonOf(error));

    if (std::filesystem::is_directory(status)) {
        // A folder that cannot be listed cannot be checked either: without this every
        // application would just be not found.
        const std::filesystem::directory_iterator listing(where, error);
        if (error) return errorRecord(path, Source::Folder, reasonOf(error));
        InstalledFolder folder(path);
        InstallationRecord record = scanInstallation(folder, path);
        record.installation = asUtf8(path);
        return record;
    }

    errno = 0;
    std::ifstream file(where, std::ios::binary);
    if (!file)
        return errorRecord(path, Source::Report,
                           errno != 0 ? reasonOf(std::error_code(errno, std::generic_category())) : "cannot be opened");
    // A report of all 41 applications is a few KiB; anything far larger is some other
    // file, and is not held in memory whole.
    std::string bytes(kLargestReport + 1, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) return errorRecord(path, Source::Report, "read error");
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    if (bytes.size() > kLargestReport)
        return errorRecord(path, Source::Report, "line 1: expected a report, not a file of more than 1 MiB");
    return parseReport(bytes, asUtf8(path));
}

}  // namespace vud::fleet
