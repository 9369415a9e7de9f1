// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kestrin::test {

struct CommandRun {
    int status = 0;
    std::string out, err;
};

// Runs a command of the program (argv as main has it: "kestrin" and `args`)
// with its standard output and error captured; with `output` set, standard
// output goes to that file instead (say /dev/full); with `input` set,
// standard input reads that file.
inline CommandRun RunCommand(int (*command)(int, char**), std::vector<std::string> args,
                             const char* output = nullptr, const char* input = nullptr) {
    args.insert(args.begin(), "kestrin");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int saved = ::dup(1);
    if (output) {
        const int fd = ::open(output, O_WRONLY | O_CLOEXEC);
        ::dup2(fd, 1);
        ::close(fd);
    }
    const int savedIn = ::dup(0);
    if (input) {
        const int fd = ::open(input, O_RDONLY | O_CLOEXEC);
        ::dup2(fd, 0);
        ::close(fd);
    }
    CommandRun run;
    run.status = command(static_cast<int>(argv.size()), argv.data());
    ::dup2(savedIn, 0);
    ::close(savedIn);
    std::fflush(stdout);
    std::clearerr(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    run.out = testing::internal::GetCapturedStdout();
    run.err = testing::internal::GetCapturedStderr();
    return run;
}

}  // namespace kestrin::test
