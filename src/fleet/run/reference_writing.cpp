#include "fleet/run/reference_writing.h"

#include <fstream>
#include <sstream>

#include "fleet/compare/reference.h"
#include "fleet/input/file_digests.h"
#include "fleet/input/inputs.h"
#include "fleet/input/inputs_platform.h"
#include "fleet/run/options.h"
#include "probe/installed_folder.h"
#include "text/utf8.h"

namespace vud::fleet {
namespace {

// Whether `path` names a folder whose files can be read; `problem` says why not. A
// saved report holds no bytes to take a digest of.
bool isInstallationFolder(const std::string& path, std::string& problem) {
    if (path == "-") {
        problem = "a reference is made from installation folders, not from a saved report";
        return false;
    }
    switch (inputKind(path, problem)) {
        case InputKind::Folder: return enterable(path, problem);
        case InputKind::Other:
            problem = "a reference is made from installation folders, not from a saved report";
            return false;
        case InputKind::Missing:
        case InputKind::Special:
        case InputKind::Unreadable: break;
    }
    return false;
}

}  // namespace

bool writeReference(const std::vector<std::string>& paths, const std::string& reference, std::ostream& out,
                    std::ostream& err) {
    ReferenceMaker maker;
    for (const std::string& path : paths) {
        const std::string name = asUtf8(path);
        std::string problem;
        if (!isInstallationFolder(path, problem)) {
            err << kProgram << ": " << shownSafely(name) << ": " << shownSafely(problem) << '\n';
            return false;
        }
        InstalledFolder folder(path);
        if (!addToReference(folder, name, maker, problem)) {
            err << kProgram << ": " << shownSafely(problem) << '\n';
            return false;
        }
    }
    // A reference of nothing would hold no scan to anything; its reader refuses it too.
    if (maker.buildCount() == 0) {
        err << kProgram << ": no application file with a version tag in "
            << (paths.size() == 1 ? shownSafely(asUtf8(paths.front())) : "any of the folders given")
            << ": no reference written\n";
        return false;
    }
    // Made whole first: a reference cut short by a failing write would read as a smaller one.
    std::ostringstream text;
    maker.write(text, std::string(kProgram) + " " + scanStartingNow().vudfleetVersion);
    std::ofstream file(pathFromUtf8(reference), std::ios::binary | std::ios::trunc);
    file << text.str();
    file.close();
    if (!file) {
        err << kProgram << ": " << shownSafely(asUtf8(reference)) << ": cannot be written\n";
        return false;
    }
    out << shownSafely(asUtf8(reference)) << ": " << maker.buildCount() << (maker.buildCount() == 1 ? " build" : " builds")
        << " of " << paths.size() << (paths.size() == 1 ? " installation" : " installations") << '\n';
    return true;
}

}  // namespace vud::fleet
