// The digests of application files, made by the load that reads them for their tags:
// each file is opened once, and read whole only when its digest is wanted.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "fleet/compare/reference.h"
#include "fleet/input/sha256.h"
#include "probe/installation.h"

namespace vud::fleet {

class FileDigests : public ByteSink {
public:
    // Whether the file of an application with a tag (as the report prints it) and the
    // size it reports at open is to be read whole and digested.
    using Wanted = std::function<bool(std::string_view fileName, std::string_view tag, std::int64_t reportedSize)>;

    explicit FileDigests(Wanted wanted) : wanted_(std::move(wanted)) {}

    // The application whose file is loaded next.
    void expect(const char* fileName) {
        fileName_ = fileName;
        last_.reset();
    }

    // What was read of the file loaded last: nothing when it was not wanted.
    const std::optional<FileDigest>& last() const { return last_; }

    bool wantsWholeFile(const FileHead& head) override;
    void add(const unsigned char* bytes, std::size_t count) override { digest_.add(bytes, count); }
    void end(WholeRead how) override;

private:
    Wanted wanted_;
    const char* fileName_ = "";
    Sha256 digest_;
    std::optional<FileDigest> last_;
};

// An installation whose files are offered to `digests` as they are loaded.
class DigestedInstallation : public Installation {
public:
    DigestedInstallation(Installation& inner, FileDigests& digests) : inner_(inner), digests_(digests) {
        inner_.setByteSink(&digests_);
    }
    ~DigestedInstallation() override { inner_.setByteSink(nullptr); }
    DigestedInstallation(const DigestedInstallation&) = delete;
    DigestedInstallation& operator=(const DigestedInstallation&) = delete;

    std::optional<ApplicationBytes> load(int position, const char* fileName) override {
        digests_.expect(fileName);
        return inner_.load(position, fileName);
    }

private:
    Installation& inner_;
    FileDigests& digests_;
};

// Scans `installation` as scanInstallation does (named `path`), holding each block to
// `reference`: a file whose name, tag and size the reference holds is read whole, in
// the same open as its tag, and its digest compared; `required`: a block not verified
// is a finding.
InstallationRecord scanAgainstReference(Installation& installation, const std::string& path,
                                        const Reference& reference, bool required);

// Adds each build of a known-good installation (named `name` in messages) to `maker`.
// Refuses, with `problem` set, an installation with a file that changed while it was
// read, or with a build whose bytes differ from those another installation gave.
bool addToReference(Installation& installation, const std::string& name, ReferenceMaker& maker,
                    std::string& problem);

}  // namespace vud::fleet
