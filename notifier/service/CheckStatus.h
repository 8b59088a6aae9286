// Result of one check pass.
#pragma once

#include <cstdint>

enum class CheckStatus : std::int32_t {
    Ok = 0,             // the reply was parsed; the count is valid
    Failed = 1,         // transport failure, status other than 200, empty reply
    ServiceError = 2,   // the service answered "dberror"
    LoginRequired = 3,  // no session: "unknown", no EID from the login, or no credentials
};
