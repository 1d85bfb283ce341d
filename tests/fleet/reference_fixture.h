// What the tests of the reference build start from: installations whose files are held
// whole, and the reference made of one as --write-reference makes it.
#pragma once

#include <cstddef>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "fleet/compare/reference.h"
#include "fleet/generated_installation.h"
#include "fleet/input/file_digests.h"

namespace vud::testing {

// The first `count` applications of host generation `generation`, each file's bytes held
// whole, so that its last byte lies well behind its tag.
inline std::vector<GeneratedFile> wholeBuilds(int generation,
                                                            std::size_t count = kApplicationCount) {
    std::vector<GeneratedFile> files = correctInstallation(generation);
    files.resize(count);
    for (GeneratedFile& file : files) file.bytes.resize(static_cast<std::size_t>(file.byteCount), ' ');
    return files;
}

// The reference of the builds of `installation`, written and read back; none, with
// `problem` set, when it is refused.
inline std::optional<fleet::Reference> referenceOf(Installation& installation, std::string& problem) {
    fleet::ReferenceMaker maker;
    if (!fleet::addToReference(installation, "media", maker, problem)) return std::nullopt;
    std::ostringstream out;
    maker.write(out, "test");
    return fleet::Reference::parse(out.str(), problem);
}

}  // namespace vud::testing
