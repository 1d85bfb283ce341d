#include "fleet/input/file_digests.h"

#include "catalogue/catalogue.h"
#include "fleet/input/scan.h"
#include "verify/verification.h"

namespace vud::fleet {

bool FileDigests::wantsWholeFile(const FileHead& head) {
    // A file without a tag is no build: there is nothing to hold it to.
    if (head.tagPosition == VersionTagSearch::kNone) return false;
    const std::string tag = printableTag(versionTagAt(head.data, head.heldCount, head.tagPosition));
    return wanted_(fileName_, tag, head.reportedSize);
}

void FileDigests::end(WholeRead how) { last_ = FileDigest{digest_.finish(), how}; }

InstallationRecord scanAgainstReference(Installation& installation, const std::string& path,
                                        const Reference& reference, bool required) {
    FileDigests digests([&reference](std::string_view fileName, std::string_view tag, std::int64_t size) {
        return reference.find(fileName, tag, size) != nullptr;
    });
    DigestedInstallation digested(installation, digests);
    return scanInstallation(digested, path, [&](InstallationRecord& record, ApplicationRecord& application) {
        if (application.state != ApplicationState::Block) return;
        setReferenceState(record, application,
                          reference.judge(application.file, application.tag, application.size, digests.last()),
                          required);
    });
}

bool addToReference(Installation& installation, const std::string& name, ReferenceMaker& maker,
                    std::string& problem) {
    FileDigests digests([](std::string_view, std::string_view, std::int64_t) { return true; });
    DigestedInstallation digested(installation, digests);
    bool accepted = true;
    verifyInstallation(digested, [&](const ApplicationOutcome& outcome) {
        if (!accepted || outcome.state != ApplicationOutcome::State::Judged) return;
        const char* fileName = kApplicationCatalogue[outcome.position].fileName;
        const std::optional<FileDigest>& read = digests.last();
        if (!read || read->read != WholeRead::Steady) {
            problem = name + ": " + fileName + " changed while it was read; make the reference again";
            accepted = false;
            return;
        }
        accepted = maker.add(name, fileName, printableTag(outcome.tag), outcome.byteCount, read->digest, problem);
    });
    return accepted;
}

}  // namespace vud::fleet
