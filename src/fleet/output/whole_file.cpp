#include "fleet/output/whole_file.h"

#include <cstdio>
#include <random>
#include <system_error>
#include <utility>

#include "fleet/input/inputs.h"
#include "fleet/output/whole_file_platform.h"

namespace vud::fleet {
namespace {

// A new empty file beside `path`, in its folder, hidden and under a name no other run
// takes; false, and `problem` set, when none can be made.
bool createBeside(const std::filesystem::path& path, std::filesystem::path& temporary, std::string& problem) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        char tail[16];
        std::snprintf(tail, sizeof tail, ".%08x", static_cast<unsigned>(random()));
        temporary = folder / (std::filesystem::path(".") += path.filename() += tail);
        const Created created = createNew(temporary, problem);
        if (created != Created::Exists) return created == Created::Yes;
    }
    problem = "no new file name found beside it";
    return false;
}

}  // namespace

std::unique_ptr<WholeFile> WholeFile::start(const std::string& path, std::string& problem) {
    const std::filesystem::path named = pathFromUtf8(path);
    std::filesystem::path temporary;
    if (!createBeside(named, temporary, problem)) return nullptr;
    std::unique_ptr<WholeFile> file(new WholeFile(named, temporary));
    if (!file->out_) {
        problem = "cannot be written";
        return nullptr;
    }
    return file;
}

WholeFile::WholeFile(std::filesystem::path path, std::filesystem::path temporary)
    : path_(std::move(path)), temporary_(std::move(temporary)), out_(temporary_, std::ios::binary | std::ios::trunc) {}

WholeFile::~WholeFile() {
    if (finished_) return;
    out_.close();
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
}

bool WholeFile::finish(std::string& problem) {
    out_.close();
    if (!out_) {
        problem.clear();  // the stream keeps no reason
        return false;
    }
    if (!keepOnDisk(temporary_, problem) || !replaceWith(temporary_, path_, problem)) return false;
    finished_ = true;
    return true;
}

}  // namespace vud::fleet
