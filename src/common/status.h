// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace kestrin {

// The failures the program tells apart. Every failure the operating system
// reports that is not one of these is System, with its errno kept beside it,
// so that no system error number can pass for one of the program's kinds.
enum class ErrorKind {
    None,
    FileNotFound,     // the file or folder does not exist (ENOENT)
    ReadPastEnd,      // a file of zero length was read
    LineTooLong,      // a line longer than the reader takes
    PortNotFound,     // the serial device of a port number does not exist
    PortUnavailable,  // the port exists but cannot be opened or went away
    System,           // any other failure the operating system reported
};

struct [[nodiscard]] Status {
    ErrorKind kind = ErrorKind::None;
    // The errno when the operating system reported the failure, else 0.
    int systemError = 0;
    std::string reason;

    bool ok() const { return kind == ErrorKind::None; }
    // The number a message shows: the errno for a system failure, otherwise
    // the program's own number of the kind (53 file not found, 62 read past
    // the end, 7 line too long, 8002 no such port, 8005 port unavailable).
    int number() const;

    static Status Ok() { return {}; }
    static Status Failure(ErrorKind kind, std::string reason) {
        return {kind, 0, std::move(reason)};
    }
    // ENOENT is FileNotFound; every other errno is System. The errno and its
    // text are kept either way.
    static Status FromErrno(int err);
};

}  // namespace kestrin
