#include "log/status.h"

#include <cerrno>
#include <cstring>

namespace kestrin {

Status Status::FromErrno(int err) {
    if (err == 0) return Ok();
    return {err == ENOENT ? kFileNotFound : err, std::strerror(err)};
}

}  // namespace kestrin
