// Fleet records made by hand for the dashboard's tests, as the scan or the report
// parser would make them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "catalogue/catalogue.h"
#include "fleet/record/records.h"

namespace vud::fleet::by_hand {

// An installation scanned from a folder in which no application was found; tests set
// the blocks and states they need.
inline InstallationRecord folderInstallation(const std::string& path, Status status) {
    InstallationRecord installation;
    installation.installation = path;
    installation.source = Source::Folder;
    installation.status = status;
    for (int position = 0; position < kApplicationCount; ++position)
        installation.applications.push_back(catalogueApplication(position, ApplicationState::NotFound));
    installation.notFound = kApplicationCount;
    return installation;
}

// The same read from a saved report, which has no block for any application yet.
inline InstallationRecord reportInstallation(const std::string& path, Status status) {
    InstallationRecord installation = folderInstallation(path, status);
    installation.source = Source::Report;
    for (ApplicationRecord& application : installation.applications) application.state = ApplicationState::Absent;
    installation.notFound = 0;
    return installation;
}

inline void setState(InstallationRecord& installation, int position, ApplicationState state) {
    ApplicationRecord& application = installation.applications[static_cast<std::size_t>(position)];
    if (application.state == ApplicationState::NotFound) --installation.notFound;
    application.state = state;
    if (state == ApplicationState::NotFound) ++installation.notFound;
}

inline void setBlock(InstallationRecord& installation, int position, const std::string& tag, std::int64_t size,
                     std::optional<int> generation, const std::string& host, VerdictKind verdict,
                     const std::string& text) {
    setState(installation, position, ApplicationState::Block);
    ApplicationRecord& application = installation.applications[static_cast<std::size_t>(position)];
    application.tag = tag;
    application.size = size;
    application.generation = generation;
    application.host = host;
    application.verdict = verdict;
    application.text = text;
    ++installation.counts[static_cast<std::size_t>(verdict)];
}

inline InstallationRecord errorInstallation(const std::string& path, const std::string& reason) {
    InstallationRecord installation;
    installation.installation = path;
    installation.status = Status::Error;
    installation.error = reason;
    return installation;
}

}  // namespace vud::fleet::by_hand
