// A reference build: for each application file of known-good installations, its
// version tag, size and SHA-256 digest, against which a scan tells whether a file holds
// the release's very bytes. The file format is in doc/vudfleet-reference.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "fleet/input/sha256.h"
#include "fleet/record/records.h"
#include "probe/byte_sink.h"

namespace vud::fleet {

// The first line of a reference names its format; what follows it on that line (the
// program that made it) is free.
inline constexpr std::string_view kReferenceFormat = "vudfleet-reference 1";
// Some 40 builds of each of 41 applications for every host generation take well under
// 1 MiB; a reference file far larger is no reference, and is not held in memory.
inline constexpr std::size_t kLargestReference = std::size_t{16} << 20;
// An entry's line is under 120 bytes; a comment may take the rest.
inline constexpr std::size_t kLargestReferenceLine = 512;

// What a scan reads to judge an application file: the digest of its bytes and whether
// they were read as one steady file. Nothing was read when the reference holds no build
// of its file name, tag and reported size.
struct FileDigest {
    Sha256Digest digest{};
    WholeRead read = WholeRead::Failed;
};

class Reference {
public:
    // Reads the reference named by `path` (UTF-8). Nothing, and `problem` set to the
    // reason ("line 3: ..."), when it cannot be read or is not a reference.
    static std::optional<Reference> read(const std::string& path, std::string& problem);
    // The same from the file's bytes (ASCII, or UTF-8 with or without a byte-order
    // mark; lines end in LF or CR LF). Read line by line, once.
    static std::optional<Reference> parse(std::string_view bytes, std::string& problem);

    // The digest of the build of `fileName` with `tag` (as the report prints it) and
    // `size`, or none when the reference holds no such build.
    const Sha256Digest* find(std::string_view fileName, std::string_view tag, std::int64_t size) const;

    // The judgement of a file of that name, tag and size, given what was read of it.
    ReferenceState judge(std::string_view fileName, std::string_view tag, std::int64_t size,
                         const std::optional<FileDigest>& read) const;

    // The reference file's own digest, which a scan's records carry, so that one can
    // tell which reference a scan was held to.
    const Sha256Digest& fileDigest() const { return fileDigest_; }

    std::size_t buildCount() const { return builds_.size(); }

    // Hands each build to `visit(fileName, tag, size, digest)`, in no set order.
    template <typename Visit>
    void forEachBuild(Visit visit) const {
        for (const auto& [key, build] : builds_) visit(build.fileName, build.tag, build.size, build.digest);
    }

private:
    struct Build {
        std::string fileName;
        std::string tag;
        std::int64_t size;
        Sha256Digest digest;
        int line;
    };
    // By "file TAB tag TAB size", which neither a file name nor a tag can hold.
    std::unordered_map<std::string, Build> builds_;
    Sha256Digest fileDigest_{};
};

// A reference made from known-good installations: each build of each application file
// as found there, whatever its host generation.
class ReferenceMaker {
public:
    // Adds the build of `fileName` found in `installation` (its folder, for messages).
    // Refuses, with `problem` naming both installations, a build whose file name, tag
    // and size an earlier installation gave with other bytes.
    bool add(const std::string& installation, std::string_view fileName, std::string_view tag, std::int64_t size,
             const Sha256Digest& digest, std::string& problem);

    // The reference: the format line naming `producer` (the program and its version),
    // then a line for each build, ordered by file name, tag and size.
    void write(std::ostream& out, std::string_view producer) const;

    std::size_t buildCount() const { return builds_.size(); }

private:
    struct Found {
        Sha256Digest digest;
        std::string installation;
    };
    std::map<std::tuple<std::string, std::string, std::int64_t>, Found> builds_;
};

}  // namespace vud::fleet
