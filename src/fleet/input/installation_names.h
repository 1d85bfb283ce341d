// The names an installation goes by: the machine it is on, as a list of paths or a
// share's path tells it, and the key under which two spellings of its path are one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vud::fleet {

// A line of a list of paths: "PATH", or "MACHINE<TAB>PATH" for a path that does not
// name its machine itself.
struct ListedInstallation {
    std::string path;
    std::string machine;  // empty when the line names none
};

// The installation a line of a list names: trailing spaces, tabs and CR trimmed, the
// machine before the first tab and the blanks around it; none for a blank line or a
// comment (# first).
std::optional<ListedInstallation> listedInstallation(std::string_view line);

// The machine a share's path names: "ws042" for \\ws042\c$\Vudmark, //ws042/c$/Vudmark
// and \\?\UNC\ws042\c$\Vudmark; empty for any other path.
std::string machineOfPath(std::string_view path);

// The installation a path names, as far as its spelling tells: "ws042" and "ws042/"
// are one.
std::string installationKey(const std::string& path);

}  // namespace vud::fleet
