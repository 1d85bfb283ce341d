// An installation on disk: the application files in one folder.
#pragma once

#include <memory>
#include <string>

#include "probe/file_image.h"
#include "probe/installation.h"

namespace vud {

class InstalledFolder : public Installation {
public:
    // `folder` empty: the working folder, whose files are opened by their bare names.
    // Otherwise each file is opened as folder/name, so threads that check several
    // folders at once never change the working folder.
    explicit InstalledFolder(std::string folder = {});

    std::optional<ApplicationBytes> load(int position, const char* fileName) override;

private:
    std::string folder_;
    std::string path_;
    // One image serves every application of the folder; it is too large for the stack.
    std::unique_ptr<FileImage> image_;
};

}  // namespace vud
