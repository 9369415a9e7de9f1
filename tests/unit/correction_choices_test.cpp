// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "analysis/correction_choices.h"

namespace kestrin {
namespace {

TEST(CorrectionChoicesTest, KeptEntriesGiveTheSameChoicesBack) {
    const CorrectionChoices choices{.steady = "3",
                                    .delay = "2",
                                    .afrRange = "10.5:17",
                                    .where = {"CLT >= 70", "RPM<5000"},
                                    .target = "13.8",
                                    .targetsFile = "/home/a/targets.txt",
                                    .targets = {{105, 1250}, {-3, 1471}},
                                    .minLines = "0",
                                    .maxChange = "7.5",
                                    .step = "-1.5"};
    EXPECT_EQ(ChoicesFromEntries(ChoiceEntries(choices)), choices);
    EXPECT_EQ(ChoicesFromEntries(ChoiceEntries(CorrectionChoices{})), CorrectionChoices{});

    CorrectionOptions options;
    ASSERT_FALSE(ApplyChoices(choices, options));
    EXPECT_EQ((std::vector<std::int64_t>{options.steady, options.delay, options.afrLow,
                                         options.afrHigh, options.target, options.minLines,
                                         options.maxChange, options.step.value_or(0)}),
              (std::vector<std::int64_t>{3, 2, 1050, 1700, 1380, 0, 750, -150}));
    ASSERT_EQ(options.where.size(), 2u);
    EXPECT_EQ(options.where[1].op, CompareOp::Less);
    EXPECT_EQ(options.targets, choices.targets);
}

// A damaged entry costs only its own option; the rest are read.
TEST(CorrectionChoicesTest, DamagedEntriesKeepTheirStartValues) {
    const std::map<std::string, std::string> entries = {
        {"steady", "51"},       {"delay", "4"},
        {"afr-range", "17:10"}, {"where", "CLT >= 70\nRPM\n"},
        {"target", "0"},        {"targets", "105 12.5\nx 1\n7 0\n"},
        {"min-lines", "-1"},    {"max-change", "1.234"},
        {"step", "0"},
    };
    CorrectionChoices expected;
    expected.delay = "4";
    expected.where = {"CLT >= 70"};
    expected.targets = {{105, 1250}};
    EXPECT_EQ(ChoicesFromEntries(entries), expected);
}

TEST(CorrectionChoicesTest, AMalformedChoiceIsNamedAndChangesNothing) {
    const struct {
        std::string CorrectionChoices::*member;
        std::string value;
        std::string problem;
    } cases[] = {
        {&CorrectionChoices::steady, "x", "--steady x: a whole number from 0 to 50 is wanted"},
        {&CorrectionChoices::afrRange, "12:",
         "--afr-range 12:: LO:HI is wanted, two ratios "
         "with at most two decimals, LO not above HI"},
        {&CorrectionChoices::step, "0",
         "--step 0: a percentage other than 0 with at most two decimals is wanted"},
    };
    for (const auto& c : cases) {
        CorrectionChoices choices;
        choices.*c.member = c.value;
        CorrectionOptions options;
        options.steady = 9;
        EXPECT_EQ(ApplyChoices(choices, options).value_or(""), c.problem);
        EXPECT_EQ(options.steady, 9);
    }
}

}  // namespace
}  // namespace kestrin
