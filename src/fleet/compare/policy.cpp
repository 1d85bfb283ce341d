#include "fleet/compare/policy.h"

#include <algorithm>
#include <iterator>

namespace vud::fleet {

std::optional<int> hostGenerationOf(std::string_view text, std::string& problem) {
    if (text.empty()) {
        problem = "a host generation left empty in the list";
        return std::nullopt;
    }
    const bool digits = text.size() <= 9 &&
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
    record.policyFindings = {};
    for (ApplicationRecord& application : record.applications) {
        application.policy.reset();
        if (application.state == ApplicationState::Block && !expected(application.generation))
            application.policy = PolicyRule::WrongGeneration;
        else if (policy.requireAll && (application.state == ApplicationState::NotFound ||
                                       application.state == ApplicationState::Absent))
            application.policy = PolicyRule::Required;
        if (application.policy) ++record.policyFindings[static_cast<std::size_t>(*application.policy)];
    }
    record.status = statusOf(record);
}

}  // namespace vud::fleet
