// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/status.h"

#include <cerrno>
#include <cstring>

namespace kestrin {

int Status::number() const {
    switch (kind) {
        case ErrorKind::None:
            return 0;
        case ErrorKind::FileNotFound:
            return 53;
        case ErrorKind::ReadPastEnd:
            return 62;
        case ErrorKind::LineTooLong:
            return 7;
        case ErrorKind::PortNotFound:
            return 8002;
        case ErrorKind::PortUnavailable:
            return 8005;
        case ErrorKind::System:
            return systemError;
    }
    return systemError;
}

Status Status::FromErrno(int err) {
    if (err == 0) return Ok();
    return {err == ENOENT ? ErrorKind::FileNotFound : ErrorKind::System, err, std::strerror(err)};
}

}  // namespace kestrin
