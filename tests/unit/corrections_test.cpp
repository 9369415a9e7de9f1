// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/corrections.h"
#include "analysis/corrections_command.h"
#include "support/command_run.h"
#include "support/log_lines.h"
#include "support/pty_pair.h"

namespace kestrin {
namespace {

const std::string kTableHeader = "ZONE\tLINES\tAFR_MEAN\tTARGET\tCHANGE\tSTNG\tNEW\tFLAG\n";
const std::string kUsage =
    "usage: kestrin --corrections [--steady N] [--delay N] [--afr-range LO:HI] "
    "[--where 'TITLE OP NUMBER']... [--targets FILE] [--target AFR] [--min-lines N] "
    "[--max-change PCT] [--step PCT] [--settings IN --write-settings OUT] LOG...\n";

// A log from a short description, item by item: "H" the unit's header, "M" a
// marker, "X" two lines run together, and "ZONE:AFR" a data line, with
// "/STNG" its setting and "@RPM" its first field.
std::string Log(const std::string& items) {
    static const std::vector<std::string> kHeader = {
        "RPM", "TPS", "MAP", "CLT", "IAT", "O2", "ADV", "PW", "ZON", "ZONE", "STNG", "AFR", "PSI"};
    std::string log;
    std::istringstream in(items);
    for (std::string item; in >> item;) {
        if (item == "H") {
            log += test::LogText(kHeader);
        } else if (item == "M") {
            log += "\r\n";
        } else if (item == "X") {
            log += "1104\t0\t38\t88\t22100\t20\t67\t88\t19\t122\t17\t3.6\t33\t\r\n";
        } else {
            const std::size_t colon = item.find(':'), at = item.find('@');
            const std::size_t slash = std::min(item.find('/'), at);
            const std::string rpm = at == std::string::npos ? "3000" : item.substr(at + 1);
            const std::string setting =
                slash == at ? "" : item.substr(slash + 1, at - std::min(at, slash + 1));
            log += test::LogText(test::DataFields(std::stoll(item.substr(0, colon)),
                                                  item.substr(colon + 1, slash - colon - 1),
                                                  setting, rpm));
        }
    }
    return log;
}

// Arguments separated by blanks.
std::vector<std::string> Args(const std::string& text) {
    std::vector<std::string> args;
    std::istringstream in(text);
    for (std::string arg; in >> arg;) args.push_back(arg);
    return args;
}

class CorrectionsTest : public ::testing::Test {
  protected:
    // The command on logs L1.txt, L2.txt, ... holding `logs`, options first.
    test::CommandRun run(const std::vector<std::string>& logs, std::vector<std::string> args) {
        args.insert(args.begin(), kCorrectionsOption);
        for (std::size_t i = 0; i < logs.size(); ++i) {
            const std::string path = dir.file("L" + std::to_string(i + 1) + ".txt");
            test::WriteWholeFile(path, Log(logs[i]));
            args.push_back(path);
        }
        return test::RunCommand(RunCorrectionsCommand, args);
    }
    // The table's row of zone 215 without its zone, or "" for none.
    std::string rowOf(const std::vector<std::string>& logs, const std::string& options) {
        const test::CommandRun result = run(logs, Args(options));
        EXPECT_EQ(result.status, 0) << result.err;
        if (result.out == kTableHeader) return "";
        if (!result.out.starts_with(kTableHeader + "215\t")) return result.out;
        std::string row = result.out.substr(kTableHeader.size() + 4);
        row.pop_back();
        return row;
    }
    test::TempDir dir;
};

TEST_F(CorrectionsTest, UsesTheLinesTheRulesLetThrough) {
    const struct {
        std::vector<std::string> logs;
        std::string options, row;
    } cases[] = {
        // A run of one zone: the first line has no line before it.
        {{"215:14 215:14.2 215:14.4"}, "", "2\t14.3\t14.7\t-2.7\t\t\tOK"},
        // Markers, headers and other lines end a run.
        {{"215:14 215:14 M 215:14 215:14 H 215:14 215:14 X 215:14 215:14"},
         "--min-lines=1",
         "4\t14\t14.7\t-4.8\t\t\tOK"},
        {{"215:14 215:14 215:14 220:14 215:14 215:14 215:14"},
         "--steady 2",
         "2\t14\t14.7\t-4.8\t\t\tOK"},
        // Delay: paired with a later line of the same file, all data between.
        {{"215:14 215:15 215:16 M 215:17"}, "--steady 0 --delay 1", "2\t15.5\t14.7\t+5.4\t\t\tOK"},
        {{"215:14 220:16"}, "--steady 0 --delay 1", "1\t16\t14.7\t+8.8\t\t\tOK"},
        // The sensor's end readings are left out; 14.905 is a tie.
        {{"215:10 215:19.81 215:10.01 215:19.8"}, "--steady 0", "2\t14.9\t14.7\t+1.4\t\t\tMIXED"},
        // Conditions: by the latest header, never before one.
        {{"215:14@2600 H 215:14.1@2000 215:14.2@4000 215:14.3@2500"},
         "--steady 0 --where RPM<3000 --where RPM>=2500",
         "1\t14.3\t14.7\t-2.7\t\t\tOK"},
        {{"H 215:14 215:14"}, "--steady 0 --where BOOST>0", ""},
        // A field that is no number fails even "!=".
        {{"H 215:14/+3 215:14"}, "--steady 0 --where STNG!=5", "1\t14\t14.7\t-4.8\t+3\t\tOK"},
        // On the zone's own line, not on the delayed one.
        {{"H 215:14@2000 215:15@4000"},
         "--steady 0 --delay 1 --where RPM<3000",
         "1\t15\t14.7\t+2.0\t\t\tOK"},
        // Each log on its own; STNG the last over the logs in order, used or not.
        {{"215:14/+1 215:14", "215:14/+2 215:14 220:15/-1"}, "", "2\t14\t14.7\t-4.8\t+2\t\tOK"},
        {{"215:14/+2 215:14 220:15/-1", "215:14/+1 215:14"}, "", "2\t14\t14.7\t-4.8\t+1\t\tOK"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rowOf(c.logs, "--min-lines 1 " + c.options), c.row) << c.logs[0] << c.options;
}

TEST_F(CorrectionsTest, FlagsChangesAndNewSettingsAreExact) {
    const struct {
        std::string log, options, row;
    } cases[] = {
        // FEW comes first, then MIXED (under two thirds on the mean's side), then CLAMP.
        {"215:14 215:14.5 215:16 215:16.5", "--min-lines 10", "4\t15.25\t14.7\t+3.7\t\t\tFEW"},
        {"215:14 215:14.5 215:16 215:16.5", "", "4\t15.25\t14.7\t+3.7\t\t\tMIXED"},
        {"215:10.5 215:10.5 215:19.8 215:19.8 215:19.8", "--max-change 5",
         "5\t16.08\t14.7\t+9.4\t\t\tMIXED"},
        // A change of exactly the limit is no clamp; just beyond it is.
        {"215:15.4/+1 215:15.4", "--target 14 --step 1", "2\t15.4\t14\t+10.0\t+1\t+11\tOK"},
        {"215:15.4/+1 215:15.42", "--target 14.00 --step 1", "2\t15.41\t14\t+10.1\t+1\t+11\tCLAMP"},
        {"215:12/+5 215:12", "--step 2", "2\t12\t14.7\t-18.4\t+5\t0\tCLAMP"},
        // The mean on the target: no change, and none swings.
        {"215:14.6/-2 215:14.8", "--step 1", "2\t14.7\t14.7\t0.0\t-2\t-2\tOK"},
        // NEW: the setting plus 5.0 / 2 rounded as a whole, ties to the even one.
        {"215:14.7/+3 215:14.7", "--target 14 --step 2", "2\t14.7\t14\t+5.0\t+3\t+6\tOK"},
        {"215:14.7/+2 215:14.7", "--target 14 --step 2", "2\t14.7\t14\t+5.0\t+2\t+4\tOK"},
        {"215:14.7/-3 215:14.7", "--target 14 --step 2", "2\t14.7\t14\t+5.0\t-3\t0\tOK"},
        {"215:14.7/3 215:14.7", "--target 14 --step -2", "2\t14.7\t14\t+5.0\t3\t0\tOK"},
        {"215:14.7/3.5 215:14.7", "--target 14 --step 2", "2\t14.7\t14\t+5.0\t3.5\t\tOK"},
        {"215:14.7/+3 215:14.7", "--target 14 --step 2 --min-lines 3",
         "2\t14.7\t14\t+5.0\t+3\t\tFEW"},
        // The change comes from the exact mean (16.205), not the rounded one.
        {"215:16.2 215:16.21", "--target 16", "2\t16.2\t16\t+1.3\t\t\tOK"},
        {"215:16.2 215:16.2", "--target 16", "2\t16.2\t16\t+1.2\t\t\tOK"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rowOf({c.log}, "--steady 0 --min-lines 1 " + c.options), c.row) << c.log;
}

TEST_F(CorrectionsTest, TargetsComeFromTheFileOrElseTheOption) {
    const std::string file = dir.file("targets.txt");
    const auto runWith = [&](const std::string& targets) {
        test::WriteWholeFile(file, targets);
        return run({"215:14.7 220:13.5 225:14.7"},
                   {"--steady", "0", "--min-lines", "1", "--targets", file, "--target", "14.7"});
    };
    EXPECT_EQ(runWith("# targets\n215 14\n\n  220 , 13.5 # under boost\r\n225,14.7\n").out,
              kTableHeader + "215\t1\t14.7\t14\t+5.0\t\t\tOK\n220\t1\t13.5\t13.5\t0.0\t\t\tOK\n" +
                  "225\t1\t14.7\t14.7\t0.0\t\t\tOK\n");
    const std::pair<std::string, std::string> wrong[] = {
        // the error after the file's name
        {"215 14\n215 13\n", ":2: zone 215 has a target already\n"},
        {"215 14\n\n220 x\n", ":3: ZONE AFR is wanted"},
        {"215 14.005\n", ":1: ZONE AFR is wanted"},
        {"215 0\n", ":1: ZONE AFR is wanted"},
        {"215 14 15\n", ":1: ZONE AFR is wanted"}};
    for (const auto& [targets, err] : wrong) {
        const test::CommandRun result = runWith(targets);
        EXPECT_EQ(result.status, 2) << targets;
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.starts_with("kestrin: " + file + err)) << result.err;
    }
}

TEST_F(CorrectionsTest, WrongCommandLinesAndUnreadableLogsAreTold) {
    std::istringstream wrong(
        "--steady 51;--delay -1;--steady;--afr-range 12:10;--afr-range 10.005:12;--afr-range 12;"
        "--where RPM=>3;--where RPM>;--where <3;--where RPM=3;--step 0;--target 0;"
        "--max-change -1;--min-lines x;--speed 3;--settings S;--write-settings W --settings S");
    for (std::string text; std::getline(wrong, text, ';');) {
        const std::vector<std::string> args = Args(text);
        const test::CommandRun result = run({"215:14"}, args);
        EXPECT_EQ(result.status, 2) << args[0];
        EXPECT_TRUE(result.err.find(args[0]) != std::string::npos && result.err.ends_with(kUsage))
            << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(run({}, {"--steady", "1"}).err, "kestrin: no log given\n" + kUsage);

    const std::string missing = dir.file("none.txt");
    const test::CommandRun result =
        test::RunCommand(RunCorrectionsCommand, {kCorrectionsOption, missing, "--", "--x"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "kestrin: cannot read " + missing +
                              ": No such file or directory\nkestrin: cannot read --x: No such "
                              "file or directory\n");
}

TEST_F(CorrectionsTest, SaysWhatEachRuleLeftOut) {
    const test::CommandRun result =
        run({"H 215:14 215:14 M 215:14 X 215:14 215:19.81 215:14 215:14@0"},
            {"--where", "RPM>0", "--min-lines", "1"});
    EXPECT_EQ(result.out, kTableHeader + "215\t2\t14\t14.7\t-4.8\t\t\tOK\n");
    EXPECT_EQ(result.err, dir.file("L1.txt") +
                              ": 7 data lines, 1 line left out as not the unit's; 2 used, left "
                              "out 3 by --steady, 0 by --delay, 1 by --afr-range, 1 by --where\n");
}

// Read once, the logs answer any options, down to the lines each zone used.
TEST_F(CorrectionsTest, DataReadOnceAnswersAnyOptions) {
    test::WriteWholeFile(dir.file("A.txt"), Log("H 215:14 215:14 220:15 215:14"));
    test::WriteWholeFile(dir.file("B.txt"), Log("215:14 215:14"));
    CorrectionData data({"RPM"});
    ASSERT_TRUE(data.ReadLog(dir.file("A.txt")).ok());
    EXPECT_EQ(data.ReadLog(dir.path()).reason, "Is a directory");
    ASSERT_TRUE(data.ReadLog(dir.file("B.txt")).ok());
    EXPECT_EQ(data.dataLines(), 6u);

    CorrectionOptions options;
    const CorrectionResult steady = ComputeCorrections(data, options);
    EXPECT_EQ(UsedLines(data, steady, 215), (std::vector<LineRef>{{0, 3}, {1, 2}}));
    options.steady = 0;
    const CorrectionResult all = ComputeCorrections(data, options);
    EXPECT_EQ(UsedLines(data, all, 215),
              (std::vector<LineRef>{{0, 2}, {0, 3}, {0, 5}, {1, 1}, {1, 2}}));
    EXPECT_EQ(UsedLines(data, all, 220), (std::vector<LineRef>{{0, 4}}));
}

// A complete settings file whose zone 215 (row 2, column 3) holds `zone215`,
// every other value "0".
std::string SettingsLineWith(const std::string& zone215) {
    std::string line = "BOT" + std::string(45, '9');
    for (int value = 0; value < 193; ++value) line += (value == 19 ? zone215 : "0") + ",";
    return line + "EOT,";
}

TEST_F(CorrectionsTest, WritesCorrectedSettingsToANewFileOnly) {
    const std::string in = dir.file("Settings.txt"), out = dir.file("New.txt");
    const std::string kept = "never replaced";
    const struct {
        std::string log, settings;
        bool outExists;
        int status;
        std::string written, err;  // err: a line standard error must hold
    } cases[] = {
        {"215:15.4/+1 215:15.4", SettingsLineWith("+1"), false, 0, SettingsLineWith("+11"),
         "New.txt: zones set: 1"},
        // NEW is a step from the logs' STNG: on another value it is left alone.
        {"215:15.4/+2 215:15.4", SettingsLineWith("+1"), false, 0, SettingsLineWith("+1"),
         "zone 215 left alone: " + in + " holds \"+1\" there, the logs +2"},
        // Row 0 is no value of the file.
        {"15:15.4/+1 15:15.4", SettingsLineWith("+1"), false, 0, SettingsLineWith("+1"),
         "zone 15 left alone: no value of " + in + " is stored there"},
        {"215:15.4/+1 215:15.4", SettingsLineWith("+1"), true, 1, kept,
         "kestrin: " + out + " exists: it is not replaced"},
        {"215:15.4/+1 215:15.4", SettingsLineWith("+1") + ",", false, 1, "",
         "not a complete settings file"},
        {"215:15.4/+1 215:15.4", "", false, 1, "", "not a complete settings file"},  // empty
    };
    for (const auto& c : cases) {
        std::remove(out.c_str());
        test::WriteWholeFile(in, c.settings);
        if (c.outExists) test::WriteWholeFile(out, kept);
        std::vector<std::string> args = Args("--steady 0 --min-lines 1 --target 14 --step 1");
        args.insert(args.end(), {"--settings", in, "--write-settings", out});
        const test::CommandRun result = run({c.log}, args);
        EXPECT_EQ(result.status, c.status) << c.log << result.err;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        EXPECT_EQ(test::ReadWholeFile(out), c.written) << c.log;
        EXPECT_EQ(test::ReadWholeFile(in), c.settings);
        // Refused settings files are refused before the logs are read.
        if (c.status != 0) {
            EXPECT_EQ(result.out, "");
        }
    }
}

TEST_F(CorrectionsTest, ComparesEachZoneBeforeAndAfter) {
    const std::string header =
        "ZONE\tLINES_BEFORE\tAFR_BEFORE\tLINES_AFTER\tAFR_AFTER\tTARGET\tOFF_BEFORE\tOFF_AFTER\n";
    const struct {
        std::string before, after, rows;
    } cases[] = {
        {"215:15.4 215:15.4 300:13 300:13", "215:14.2 215:14.2 300:12.9 300:12.9",
         "215\t2\t15.4\t2\t14.2\t14\t10.0\t1.4\n300\t2\t13\t2\t12.9\t14\t7.1\t7.9\n"
         "closer to target in 1 of 2 zones\n"},
        // Only zones with the minimum of lines in both logs.
        {"215:15.4 215:15.4 220:14", "215:15.4 215:15.4 220:14 220:14 305:14 305:14",
         "215\t2\t15.4\t2\t15.4\t14\t10.0\t10.0\ncloser to target in 0 of 1 zones\n"},
        // The same size either side of the target is not closer; the exact
        // sizes count, not the rounded ones (0.107 and 0.071 both show 0.1).
        {"215:15.4 215:15.4", "215:12.6 215:12.6",
         "215\t2\t15.4\t2\t12.6\t14\t10.0\t10.0\ncloser to target in 0 of 1 zones\n"},
        {"215:14.01 215:14.02", "215:14.01 215:14.01",
         "215\t2\t14.02\t2\t14.01\t14\t0.1\t0.1\ncloser to target in 1 of 1 zones\n"},
    };
    for (const auto& c : cases) {
        test::WriteWholeFile(dir.file("B.txt"), Log(c.before));
        test::WriteWholeFile(dir.file("A.txt"), Log(c.after));
        const test::CommandRun result = test::RunCommand(
            RunCompareCommand, {kCompareOption, "--steady", "0", "--min-lines", "2", "--target",
                                "14", dir.file("B.txt"), dir.file("A.txt")});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, header + c.rows) << c.before;
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{kCompareOption, dir.file("B.txt")},
          {kCompareOption, "--settings", "S.txt", dir.file("B.txt"), dir.file("A.txt")}}) {
        const test::CommandRun result = test::RunCommand(RunCompareCommand, args);
        EXPECT_EQ(result.status, 2);
        EXPECT_TRUE(result.err.ends_with("BEFORE AFTER\n")) << result.err;
    }
}

}  // namespace
}  // namespace kestrin
