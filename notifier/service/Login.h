// The login exchange: user id and password in, session cookie EID out.
#pragma once

#include <string>

// Posts the login form to LoginUrl. True when a response arrived; eid then holds the
// value of the response's first EID cookie, or is empty. When false, *unreachable (if
// given) tells whether the service could not be reached at all.
bool Login(const std::string& userId, const std::string& password, std::string& eid, bool* unreachable = nullptr);

// The same exchange against another login URL (scheme decides the request flags).
bool LoginAt(const char* url, const std::string& userId, const std::string& password, std::string& eid,
             bool* unreachable = nullptr);
