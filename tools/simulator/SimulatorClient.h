// Control of the local service simulator from tests running under Wine.
#pragma once

#include <string>
#include <vector>

namespace sim {

// One scripted reply of the simulator; unset parts take the simulator's defaults. Every member
// has an initialiser, so that a reply is written with designated initialisers:
// sim::Script("arrival", {.body = "3\r\n", .delayMs = 2000}).
struct Reply {
    int status = 200;
    std::string reason{};
    std::vector<std::string> headers{};  // "Name: value"
    std::vector<std::string> cookies{};  // Set-Cookie values
    std::string body{};
    std::size_t bodySize = 0;          // pads body with fill up to this size
    std::string fill{};
    int delayMs = 0;
    std::string stall{};               // "before-headers" or "after-headers"
    int stallMs = 0;
    std::string drop{};                // "before-headers" or "mid-body"
    int dripMs = 0;
    bool endless = false;              // no length: body, then fill for ever (dripped with dripMs)
    int times = 1;
};

// Targets: "login", "arrival", "top", "help", "other".
void Reset();
void AddAccount(const std::string& user, const std::string& password, int count, bool dbError = false);
void SetCount(const std::string& user, int count);
void AddSession(const std::string& eid, const std::string& user);
// The HTTPS port shows a certificate of a CA nobody trusts (until Reset) or the test CA's.
void ShowUntrustedCertificate(bool untrusted);
void Script(const std::string& target, const Reply& reply);
// While one lives, the service is out of reach: its ports refuse connections.
struct OutOfReach {
    OutOfReach();
    ~OutOfReach();
    OutOfReach(const OutOfReach&) = delete;
    OutOfReach& operator=(const OutOfReach&) = delete;
};
int RequestCount(const std::string& target);
// Raw bytes of a received request (index -1: the last one).
std::string Request(const std::string& target, int index = -1);
// The body of a raw request (after the blank line).
std::string BodyOf(const std::string& rawRequest);
// The header block of a raw request (request line excluded, up to the blank line).
std::string HeadersOf(const std::string& rawRequest);

// Percent-encodes every byte but letters and digits.
std::string Encode(const std::string& bytes);

}  // namespace sim
