// Installations of every kind the checker can meet, made from a seed: correct builds of
// each host generation, wrong sizes, betas, test releases, pre-releases, older, newer
// and unrecognised releases, tags with control and high bytes or cut short by a NUL,
// files without a tag, and missing files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "probe/memory_installation.h"

namespace vud::testing {

struct GeneratedFile {
    int position;
    std::string bytes;        // the file's bytes as held; its tag, if any, inside
    std::int64_t byteCount;   // the size the file reports
};

// The application files of one installation; a position without a file is not found.
// `seed` % 10 == 0 gives a complete correct installation of one generation, == 1 one
// where no application has a tag or a file.
std::vector<GeneratedFile> generateInstallation(unsigned seed);

// Every application a correct production build for the host generation `generation`
// (2, 6 and 8 to 12; 7 the later FWP 7.0 range).
std::vector<GeneratedFile> correctInstallation(int generation);

void putInto(MemoryInstallation& installation, const std::vector<GeneratedFile>& files);

// Writes the files into `folder` (created), each with exactly its byte count.
void writeInto(const std::filesystem::path& folder, const std::vector<GeneratedFile>& files);

// The lines of vudfleet's text totals by application, from catalogue position `from`
// on, each with the same `counts`: the file name in a column of 12, then the counts.
std::string applicationTotalLines(int from, const std::string& counts);

}  // namespace vud::testing
