// A run whose port is lost stays open, marks the gap once and goes on in the
// same state when the port opens again.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "app/run_control.h"
#include "support/fake_port.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"

namespace kestrin {
namespace {

#define L(field) field "\t\t\t\t\t\r\n"  // a one-field line and the decoder's four columns

// Characters go to the tokenizer one event each. #b Begin/Resume, #p Pause,
// #l the port is lost, #r a retry, #u the unit is back, #e End Run, #n New Run,
// #c Save Options picks Com 3, #F the disk is full.
struct Case {
    const char* script;
    const char* logs;  // Log1.txt then Log2.txt
    const char* console;
    std::size_t prompts = 0;
} const kCases[] = {
    {"#b1\n2\n#l#u#r3\n4\nX", L("1") L("2") "\r\n" L("3") L("4"),
     L("1") L("2") "\r\n" L("3") L("4")},
    {"#b1\n2 3#l#r#r#u#r4\nX", L("1") "2\t\r\n\r\n" L("4"), L("1") "2\t\r\n\r\n" L("4")},
    {"#b1 2#p 3\n4 5#l#b#u#r6\nX", "1\t\r\n" L("6"),
     "1\t2\t3\t\t\t\t-14.21\t\r\n4\t\r\n\r\n" L("6")},
    {"#b1\n2#p#l#u#r3\nX", L("1"), L("1") "\r\n" L("3")},
    {"1\n#l#b#u#r2\nX", L("2"), L("1") "\r\n" L("2")},
    {"#b1\n#l#u#r#l#u#r2\nX", L("1") "\r\n" L("2"), L("1") "\r\n" L("2")},
    {"#b1\n#l#u#r2#l#u#r3\nX", L("1") "\r\n\r\n" L("3"), L("1") "\r\n\r\n" L("3")},
    {"#b1\n#l#c#u#r2\nX", L("1") "\r\n" L("2"), L("1") "\r\n" L("2")},
    {"#b1\n#l#r#e#u#r", L("1") "\r\n", L("1") "\r\n"},
    {"#b1\n#l#r", L("1") "\r\n", L("1") "\r\n"},
    {"#b1\n#l#r#e#u#n#b2\nX", L("1") "\r\n" L("2"), L("1") "\r\n" L("2")},
    {"#b1\nX#F#l#u#r2\nX", L("1"), L("1") "\r\n" L("2"), 1},
};

TEST(RunReconnect, GapIsMarkedOnceAndTheRunGoesOnAsItWas) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.script);
        OptionState options;
        test::MemoryFileSystem files;
        test::FakePort port;
        LogWriter log(options);
        MemoryConsole console;
        SettingsTable settings;
        test::ScriptedPrompt prompt;
        LineTokenizer tokenizer(console, log, settings, prompt);
        RunControl run(options, files, port, log, tokenizer, prompt);
        const Status gone = Status::Failure(ErrorKind::PortUnavailable, "gone");
        const std::map<char, std::function<void()>> commands = {
            {'b', [&] { run.cmdStart_Click(); }},
            {'p', [&] { run.cmdPause_Click(); }},
            {'l', [&] { port.close(), port.openResult = gone, run.portLost(gone); }},
            {'r', [&] { run.retryPort(); }},
            {'u', [&] { port.openResult = Status::Ok(); }},
            {'e', [&] { run.cmdEnd_Click(); }},
            {'n', [&] { run.cmdNewRun_Click(); }},
            {'c', [&] { options.ComPort = 3; }},
            {'F', [&] { files.writeLimit = files.files["Log1.txt"].size(); }}};
        run.cmdNewRun_Click();
        for (const char* s = c.script; *s; ++s) {
            if (*s == '#') {
                commands.at (*++s)();
            } else {
                tokenizer.MSComm1_OnComm(std::string_view(s, 1));
            }
        }
        run.reportLogFailure();
        EXPECT_EQ(files.files["Log1.txt"] + files.files["Log2.txt"], c.logs);
        EXPECT_EQ(console.text(), c.console);
        EXPECT_EQ(prompt.shown.size(), c.prompts);
        EXPECT_EQ(run.portNotice(),
                  run.waitingForPort() ? "Com 1 was lost (gone). Reconnecting..." : "");
        EXPECT_EQ(port.isOpen(), run.runOpen() && !run.waitingForPort());
        EXPECT_EQ(port.number, 1);
    }
}

}  // namespace
}  // namespace kestrin
