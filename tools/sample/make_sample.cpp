// vudsample: writes a sample installation of the Vudmark suite, so the checker can be
// tried out, demonstrated and timed on a machine that has no real application files.
//
//   vudsample FOLDER [HOST] [--correct-only] [--deep-tags]
//
// FOLDER is created when missing. HOST names the host generation the builds are for,
// as the listing titles its sections (default 11.0). Every application file is
// written with exactly the size of its build and the version tag that build carries.
// Without --correct-only a few fixed applications show the checker's main findings
// instead; with it every application is a correct production build. A build carries
// its tag near the start; with --deep-tags each tag lies a quarter to nine tenths of
// the way into its file instead, tens to hundreds of KB in, as in builds whose
// resources come first.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "catalogue/catalogue.h"
#include "listing/listing.h"

namespace {

constexpr int kBadArguments = 2;
constexpr int kWriteFailed = 1;

// A sample can be made for every host generation the listing lists, named as the
// catalogue names its host release ("7.0-early"). The two FWP 7.0 ranges share
// generation number 7 and differ only in their sizes.
constexpr char kDefaultHost[] = "11.0";

std::string usage() {
    std::string text = "usage: vudsample FOLDER [HOST] [--correct-only] [--deep-tags]\n  HOST is one of";
    for (const vud::ListedGeneration& listed : vud::kListedGenerations)
        text += std::string(" ") + vud::kHostGenerations[listed.generation].hostName;
    return text + " (default " + kDefaultHost + ")\n";
}

enum class Finding { None, OneByteTooLong, Beta, OlderRelease, NewerRelease, Missing };

// Fixed applications, so the report on a sample is the same on every run. The older
// and newer releases step the minor digit, which is neither 0 nor 9 for these two.
struct PlantedFinding {
    int position;
    Finding finding;
};

constexpr PlantedFinding kPlantedFindings[] = {
    {2, Finding::OneByteTooLong},  // vud_cbp.ma
    {9, Finding::Beta},            // vud_spb.ma
    {15, Finding::OlderRelease},   // vud_bge.ma, F.1.6 installed as 1.5
    {24, Finding::NewerRelease},   // vud_prg.ma, F.1.4 installed as 1.5
    {33, Finding::Missing},        // vud_pac.ma
};

Finding findingAt(int position, bool correctOnly) {
    if (correctOnly) return Finding::None;
    for (const PlantedFinding& planted : kPlantedFindings)
        if (planted.position == position) return planted.finding;
    return Finding::None;
}

// The text after "ver ": what a correct build carries, or the planted finding's
// variant of it. The major digit follows the generation number and its point, the
// minor digit two places further.
std::string versionText(int position, const vud::ListedGeneration& generation, Finding finding) {
    std::string text =
        vud::listedVersionCode(vud::kApplicationCatalogue[position].releaseCode,
                               generation.generationNumber)
            .text;
    const std::size_t major = std::strlen(generation.generationNumber) + 1;
    const std::size_t minor = major + 2;
    switch (finding) {
        case Finding::Beta: text[major] = 'b'; break;
        case Finding::OlderRelease: --text[minor]; break;
        case Finding::NewerRelease: ++text[minor]; break;
        default: break;
    }
    return text;
}

// Stands in for the compiled application code: binary bytes with the line ends,
// end-of-file marks and NULs that real application files hold. It never holds a "v",
// so the only "ver " in a file is its version tag. Deterministic, so every sample of
// one host has the same bytes and timings can be compared.
class Filler {
public:
    explicit Filler(std::uint32_t seed) : state_(seed * 2654435761u + 1u) {}

    void fill(std::vector<unsigned char>& bytes) {
        static constexpr unsigned char kRecordEnd[] = {'\r', '\n', 0x1A, 0x00};
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (i % 256 >= 252) {
                bytes[i] = kRecordEnd[i % 256 - 252];
                continue;
            }
            const unsigned char byte = next();
            bytes[i] = byte == 'v' ? 'w' : byte;
        }
    }

private:
    unsigned char next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<unsigned char>(state_ >> 24);
    }

    std::uint32_t state_;
};

// Where the tag goes: near the start, as in most builds, a little further on in each
// file; or deep in, at a share of the file that differs from one application to the
// next, so that the offsets spread over the whole range.
std::size_t tagOffset(int position, std::size_t size, const std::string& tag, bool deepTags) {
    const auto place = static_cast<std::size_t>(position);
    if (!deepTags) return 64 + 3 * place;
    const std::size_t percent = 25 + place * 29 % 66;
    return std::min(size * percent / 100, size - tag.size() - 1);
}

bool writeApplication(const std::filesystem::path& file, int position, std::int64_t size,
                      const std::string& tag, bool deepTags) {
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    Filler(static_cast<std::uint32_t>(position)).fill(bytes);
    const std::size_t offset = tagOffset(position, bytes.size(), tag, deepTags);
    std::memcpy(bytes.data() + offset, tag.c_str(), tag.size() + 1);  // with its NUL

    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

int badArguments(const std::string& problem) {
    std::fprintf(stderr, "vudsample: %s\n%s", problem.c_str(), usage().c_str());
    return kBadArguments;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string_view> words;
    bool correctOnly = false;
    bool deepTags = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--correct-only")
            correctOnly = true;
        else if (argument == "--deep-tags")
            deepTags = true;
        else if (argument.substr(0, 2) == "--")
            return badArguments("unknown option " + std::string(argument));
        else
            words.push_back(argument);
    }
    if (words.empty()) return badArguments("no folder given");
    if (words.size() > 2) return badArguments("too many arguments");
    if (words[0].empty()) return badArguments("the folder name is empty");

    const std::string_view hostName = words.size() == 2 ? words[1] : kDefaultHost;
    const vud::ListedGeneration* host = nullptr;
    for (const vud::ListedGeneration& listed : vud::kListedGenerations)
        if (hostName == vud::kHostGenerations[listed.generation].hostName) host = &listed;
    if (host == nullptr) return badArguments("unknown host " + std::string(hostName));
    const vud::ListedGeneration& generation = *host;

    const std::filesystem::path folder(words[0]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder)) {
        std::fprintf(stderr, "vudsample: cannot make the folder %s: %s\n", folder.string().c_str(),
                     error ? error.message().c_str() : "a file of that name is in the way");
        return kWriteFailed;
    }

    for (int position = 0; position < vud::kApplicationCount; ++position) {
        const std::filesystem::path file = folder / vud::kApplicationCatalogue[position].fileName;
        const Finding finding = findingAt(position, correctOnly);
        if (finding == Finding::Missing) {
            // A file left by an earlier sample would hide the finding.
            std::filesystem::remove(file, error);
            if (error) {
                std::fprintf(stderr, "vudsample: cannot remove %s: %s\n", file.string().c_str(),
                             error.message().c_str());
                return kWriteFailed;
            }
            continue;
        }
        std::int64_t size = vud::kExpectedSizeTable[generation.sizeRow][position];
        if (finding == Finding::OneByteTooLong) ++size;
        const std::string tag = "ver " + versionText(position, generation, finding);
        if (!writeApplication(file, position, size, tag, deepTags)) {
            std::fprintf(stderr, "vudsample: cannot write %s\n", file.string().c_str());
            return kWriteFailed;
        }
    }
    return 0;
}
