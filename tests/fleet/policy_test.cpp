// A rollout's rules held against records made by hand: which applications break which
// rule, how the installation's status follows, and what is left alone.
#include "fleet/compare/policy.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "fleet/fleet_builder.h"

namespace vud::fleet {
namespace {

using namespace by_hand;

struct RuleCase {
    const char* what;
    RolloutPolicy policy;
    ApplicationState state;
    std::optional<int> generation;  // of a block
    VerdictKind verdict;
    std::optional<PolicyRule> rule;
};

TEST(RolloutPolicy, EachApplicationBreaksTheRuleItsStateAndGenerationCallFor) {
    const RolloutPolicy eleven{{11}, false};
    const RolloutPolicy all{{}, true};
    const RolloutPolicy both{{8, 11}, true};
    const RuleCase cases[] = {
        {"a correct build of the generation expected", eleven, ApplicationState::Block, 11, VerdictKind::Correct,
         std::nullopt},
        {"a correct build of another generation", eleven, ApplicationState::Block, 8, VerdictKind::Correct,
         PolicyRule::WrongGeneration},
        {"a generation not recognised is never expected", eleven, ApplicationState::Block, std::nullopt,
         VerdictKind::Correct, PolicyRule::WrongGeneration},
        {"an older build of the generation expected: the verdict's finding alone", eleven,
         ApplicationState::Block, 11, VerdictKind::Older, std::nullopt},
        {"one of two generations expected", both, ApplicationState::Block, 8, VerdictKind::Correct, std::nullopt},
        {"any generation, where only completeness is asked", all, ApplicationState::Block, 2, VerdictKind::Correct,
         std::nullopt},
        {"not found, where not required", eleven, ApplicationState::NotFound, std::nullopt, VerdictKind::Correct,
         std::nullopt},
        {"not found, where every application is required", all, ApplicationState::NotFound, std::nullopt,
         VerdictKind::Correct, PolicyRule::Required},
        {"no block in a report, where every application is required", both, ApplicationState::Absent,
         std::nullopt, VerdictKind::Correct, PolicyRule::Required},
        {"a damaged file is a finding of its own", both, ApplicationState::NoTag, std::nullopt,
         VerdictKind::Correct, std::nullopt},
    };
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(c.what);
        InstallationRecord installation = folderInstallation("ws", Status::Ok);
        for (int position = 1; position < kApplicationCount; ++position)
            setBlock(installation, position, "ver 11.1.3", 10, 11, "FWP 11.0.x.x", VerdictKind::Correct, "");
        if (c.state == ApplicationState::Block) setBlock(installation, 0, "t", 10, c.generation, "h", c.verdict, "");
        else setState(installation, 0, c.state);
        installation.status = statusOf(installation);
        const Status before = installation.status;

        applyPolicy(c.policy, installation);
        EXPECT_EQ(c.rule, installation.applications[0].policy);
        for (int position = 1; position < kApplicationCount; ++position)
            EXPECT_FALSE(installation.applications[static_cast<std::size_t>(position)].policy) << position;
        const int broken = c.rule ? 1 : 0;
        EXPECT_EQ(c.rule == PolicyRule::WrongGeneration ? 1 : 0, installation.policyFindings[0]);
        EXPECT_EQ(c.rule == PolicyRule::Required ? 1 : 0, installation.policyFindings[1]);
        EXPECT_EQ(broken ? Status::Findings : before, installation.status);
    }
}

TEST(RolloutPolicy, AnErrorRecordIsLeftAsItIs) {
    InstallationRecord error = errorInstallation("ws", "timed out after 120 s");
    applyPolicy({{11}, true}, error);
    EXPECT_EQ(Status::Error, error.status);
    EXPECT_EQ((std::array<int, kPolicyRuleCount>{}), error.policyFindings);
}

TEST(RolloutPolicy, HostGenerationsAreTheCataloguesNumbersInDecimal) {
    const struct {
        const char* text;
        std::optional<int> generation;
        const char* problem;
    } cases[] = {
        {"11", 11, ""},
        {"7", 7, ""},
        {"011", 11, ""},
        {"5", std::nullopt, "no host generation is numbered 5 (2, 6, 7, 8, 9, 10, 11 or 12)"},
        {"13", std::nullopt, "no host generation is numbered 13 (2, 6, 7, 8, 9, 10, 11 or 12)"},
        {"11.0", std::nullopt, "not a whole number in decimal digits: 11.0"},
        {"-8", std::nullopt, "not a whole number in decimal digits: -8"},
        {"99999999999", std::nullopt, "not a whole number in decimal digits: 99999999999"},
        {"", std::nullopt, "a host generation left empty in the list"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string problem;
        EXPECT_EQ(c.generation, hostGenerationOf(c.text, problem));
        EXPECT_EQ(c.problem, problem);
    }
}

}  // namespace
}  // namespace vud::fleet
