#include "probe/installed_folder.h"

#include "text/path.h"

namespace vud {

InstalledFolder::InstalledFolder(std::string folder)
    : folder_(std::move(folder)), image_(std::make_unique<FileImage>()) {
    // A folder given with its separator ("C:\", "/") needs no second one. On Windows
    // the separator is "\": inside a "\\?\" folder, "/" would be part of the name.
    if (!folder_.empty() && !isPathSeparator(folder_.back())) folder_ += kPathSeparator;
}

std::optional<ApplicationBytes> InstalledFolder::load(int /*position*/, const char* fileName) {
    path_.assign(folder_).append(fileName);
    image_->reset();
    if (!image_->load(path_.c_str(), sink_)) return std::nullopt;
    return ApplicationBytes{image_->data(), image_->heldCount(), image_->getByteCount(), image_->tagPosition()};
}

}  // namespace vud
