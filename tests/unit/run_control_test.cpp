#include "app/run_control.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "display/console_sink.h"
#include "settings/settings_table.h"
#include "support/fake_port.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"

namespace kestrin {
namespace {

TEST(RunControlTest, NewRunKeepsTheEarlierLogBesideItOrHasNoLog) {
    using Files = std::map<std::string, std::string>;
    const std::string kept = "Log1.2026-12-07_15-03-22.txt";  // in Central European Time
    // The unit's line "1": its field, then the decoder's four columns, empty for it.
    const std::string logged = "1\t\t\t\t\t\r\n";
    const std::tuple<Files, std::optional<Status>, Files> cases[] = {
        {{{"Log1.txt", "old"}}, {}, {{kept, "old"}, {"Log1.txt", logged}}},
        {{{"Log1.txt", "old"}, {kept, "older"}},
         {},
         {{kept, "older"}, {"Log1.2026-12-07_15-03-22-2.txt", "old"}, {"Log1.txt", logged}}},
        {{{"Log1.txt", "old"}}, Status::FromErrno(EACCES), {{"Log1.txt", "old"}}},
    };
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    for (const auto& [before, renameFailure, after] : cases) {
        OptionState options;
        test::MemoryFileSystem files;
        files.files = before;
        for (const auto& [name, content] : before)
            files.modified[name] = 1796652202;  // 14:03:22 UTC
        files.renameFailure = renameFailure;
        test::FakePort port;
        test::ScriptedPrompt prompt;
        MemoryConsole console;
        SettingsTable settings;
        LogWriter log(options);
        LineTokenizer tokenizer(console, log, settings, prompt);
        RunControl run(options, files, port, log, tokenizer, prompt);

        run.cmdNewRun_Click();
        run.cmdStart_Click();
        for (const char ch : std::string("1\n!")) tokenizer.MSComm1_OnComm(std::string(1, ch));
        run.flushLog();
        run.reportLogFailure();
        run.cmdEnd_Click();

        EXPECT_EQ(files.files, after);
        // Told once, as for a file that cannot be created.
        ASSERT_EQ(prompt.shown.size(), renameFailure ? 1u : 0u);
        if (renameFailure) {
            EXPECT_EQ(prompt.shown[0].text,
                      "Log file Log1.txt could not be created: Permission denied.\r\n\r\nReceived "
                      "lines are shown but not logged.");
        }
    }
    ::unsetenv("TZ");
    ::tzset();
}

}  // namespace
}  // namespace kestrin
