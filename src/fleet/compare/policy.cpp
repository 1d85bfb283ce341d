#include "fleet/compare/policy.h"

#include <algorithm>
#include <iterator>

namespace vud::fleet {

std::optional<int> hostGenerationOf(std::string_view text, std::string& problem) {
    if (text.empty()) {
        problem = "a host generation left empty in the list";
        return std::nullopt;
    }
    const bool digits = !text.empty() && text.size() <= 9 &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) {
        problem = "not a whole number in decimal digits: " + std::string(text);
        return std::nullopt;
    }
    const int number = std::stoi(std::string(text));
    if (std::find(std::begin(kHostGenerations), std::end(kHostGenerations), number) == std::end(kHostGenerations)) {
        problem = "no host generation is numbered " + std::string(text) + " (2, 6, 7, 8, 9, 10, 11 or 12)";
        return std::nullopt;
    }
    return number;
}

void applyPolicy(const RolloutPolicy& policy, InstallationRecord& record) {
    if (record.status == Status::Error) return;
    const auto expected = [&policy](const std::optional<int>& generation) {
        return policy.expectedGenerations.empty() ||
               (generation && std::find(policy.expectedGenerations.begin(), policy.expectedGenerations.end(),
                                        *generation) != policy.expectedGenerations.end());
    };
    // A report's applications without a block are all not found unless it counts some
    // damaged; then which are not found cannot be told, and only their count is kept.
    const bool absentNotFound = record.damaged == 0;
    record.policyFindings = {};
    bool absentUnmarked = false;
    for (ApplicationRecord& application : record.applications) {
        application.policy.reset();
        if (application.state == ApplicationState::Block && !expected(application.generation))
            application.policy = PolicyRule::WrongGeneration;
        else if (policy.requireAll && (application.state == ApplicationState::NotFound ||
                                       (application.state == ApplicationState::Absent && absentNotFound)))
            application.policy = PolicyRule::Required;
        absentUnmarked = absentUnmarked || (application.state == ApplicationState::Absent && !absentNotFound);
        if (application.policy) ++record.policyFindings[static_cast<std::size_t>(*application.policy)];
    }
    if (policy.requireAll && absentUnmarked)
        record.policyFindings[static_cast<std::size_t>(PolicyRule::Required)] = record.notFound;
    record.status = statusOf(record);
}

}  // namespace vud::fleet
