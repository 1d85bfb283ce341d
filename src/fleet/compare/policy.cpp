#include "fleet/compare/policy.h"

#include <algorithm>
#include <string>

#include "catalogue/catalogue.h"
#include "text/decimal.h"

namespace vud::fleet {
namespace {

// "2, 6, 7, 8, 9, 10, 11 or 12"
std::string generationNumbersInWords() {
    std::string words;
    for (std::size_t i = 0; i < kGenerationNumbers.size(); ++i) {
        words += i == 0 ? "" : i + 1 == kGenerationNumbers.size() ? " or " : ", ";
        words += std::to_string(kGenerationNumbers[i]);
    }
    return words;
}

}  // namespace

std::optional<int> hostGenerationOf(std::string_view text, std::string& problem) {
    if (text.empty()) {
        problem = "a host generation left empty in the list";
        return std::nullopt;
    }
    const std::optional<int> number = decimalCount(text);
    if (!number) {
        problem = "not a whole number in decimal digits: " + std::string(text);
        return std::nullopt;
    }
    if (std::find(kGenerationNumbers.begin(), kGenerationNumbers.end(), *number) == kGenerationNumbers.end()) {
        problem = "no host generation is numbered " + std::string(text) + " (" + generationNumbersInWords() + ")";
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
