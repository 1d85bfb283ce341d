// A named output of the run (the records' --output, the dashboard's --html) written
// whole or not at all: its bytes go to a temporary file in the same folder, which takes
// the name only once complete and on disk. A run killed or failed half way leaves the
// file of the run before it as it was.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>

namespace vud::fleet {

class WholeFile {
public:
    // Starts the file named `path` (UTF-8): null, and `problem` set, when its folder
    // takes no new file.
    static std::unique_ptr<WholeFile> start(const std::string& path, std::string& problem);
    // A file never finished: its temporary file goes, the file named as it was.
    ~WholeFile();
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    std::ostream& out() { return out_; }

    // Puts what was written in place of the file named; false when a byte could not be
    // written, kept on disk or put in place, the file named then as it was, and the
    // system's reason in `problem` where it gave one.
    bool finish(std::string& problem);

private:
    WholeFile(std::filesystem::path path, std::filesystem::path temporary);

    std::filesystem::path path_;
    std::filesystem::path temporary_;
    std::ofstream out_;
    bool finished_ = false;
};

}  // namespace vud::fleet
