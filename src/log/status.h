#pragma once

#include <string>

namespace kestrin {

// Error numbers the program tells apart. Every other failure of the operating
// system carries its errno as the code, with its text as the reason.
enum ErrorCode : int {
    kOk = 0,
    kInvalidProcedureCall = 5,
    kOverflow = 6,
    kLineTooLong = 7,
    kFileNotFound = 53,
    kReadPastEnd = 62,
    kPortNotFound = 8002,
    kPortOpenFailed = 8005,
};

struct Status {
    int code = kOk;
    std::string reason;

    bool ok() const { return code == kOk; }
    static Status Ok() { return {}; }
    static Status Failure(int code, std::string reason) { return {code, std::move(reason)}; }
    // ENOENT becomes kFileNotFound; every other errno keeps its number.
    static Status FromErrno(int err);
};

}  // namespace kestrin
