#include "tools/simulator/SimulatorClient.h"

#include <winsock2.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "mewlark_config.h"

namespace sim {
namespace {

std::string Control(const std::string& path, const std::string& form) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) throw std::runtime_error("simulator: no Winsock");
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) throw std::runtime_error("simulator: no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(MEWLARK_SIM_CONTROL_PORT);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        closesocket(s);
        throw std::runtime_error("simulator: not reachable");
    }
    const std::string request = "POST " + path + " HTTP/1.0\r\nHost: localhost\r\nContent-Length: " +
                                std::to_string(form.size()) + "\r\n\r\n" + form;
    send(s, request.data(), static_cast<int>(request.size()), 0);
    std::string reply;
    char buffer[65536];
    int got;
    while ((got = recv(s, buffer, sizeof(buffer), 0)) > 0) reply.append(buffer, got);
    closesocket(s);
    if (reply.compare(0, 12, "HTTP/1.1 200") != 0) throw std::runtime_error("simulator: refused " + path);
    return BodyOf(reply);
}

using Fields = std::vector<std::pair<const char*, std::string>>;

// Posts the fields, each percent-encoded, to a control path; the reply's body.
std::string Post(const std::string& path, const Fields& fields) {
    std::string form;
    for (const auto& [name, value] : fields) form += (form.empty() ? "" : "&") + std::string(name) + "=" + Encode(value);
    return Control(path, form);
}

}  // namespace

std::string Encode(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            out += ch;
        } else {
            out += {'%', kHex[c >> 4], kHex[c & 15]};
        }
    }
    return out;
}

std::string BodyOf(const std::string& raw) {
    const std::size_t end = raw.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : raw.substr(end + 4);
}

std::string HeadersOf(const std::string& raw) {
    const std::size_t start = raw.find("\r\n");
    const std::size_t end = raw.find("\r\n\r\n");
    if (start == std::string::npos || end == std::string::npos) return {};
    return raw.substr(start + 2, end - start);
}

void Reset() { Post("/_sim/reset", {}); }

void AddAccount(const std::string& user, const std::string& password, int count, bool dbError) {
    Fields fields{{"user", user}, {"pass", password}, {"count", std::to_string(count)}};
    if (dbError) fields.emplace_back("dberror", "1");
    Post("/_sim/account", fields);
}

void SetCount(const std::string& user, int count) {
    Post("/_sim/count", {{"user", user}, {"count", std::to_string(count)}});
}

void AddSession(const std::string& eid, const std::string& user) { Post("/_sim/session", {{"eid", eid}, {"user", user}}); }

OutOfReach::OutOfReach() { Post("/_sim/reach", {{"open", "0"}}); }

OutOfReach::~OutOfReach() { Post("/_sim/reach", {{"open", "1"}}); }

void ShowUntrustedCertificate(bool untrusted) { Post("/_sim/tls", {{"cert", untrusted ? "untrusted" : "test"}}); }

void Script(const std::string& target, const Reply& reply) {
    Fields fields{{"target", target}, {"status", std::to_string(reply.status)}, {"body", reply.body},
                  {"times", std::to_string(reply.times)}};
    for (const auto& header : reply.headers) fields.emplace_back("header", header);
    for (const auto& cookie : reply.cookies) fields.emplace_back("cookie", cookie);
    // Parts left unset are not sent: the simulator's defaults apply.
    const auto number = [](std::size_t n) { return n != 0 ? std::to_string(n) : std::string(); };
    const Fields optional{{"reason", reply.reason},   {"body_size", number(reply.bodySize)},
                          {"fill", reply.fill},       {"delay_ms", number(reply.delayMs)},
                          {"stall", reply.stall},     {"stall_ms", number(reply.stallMs)},
                          {"drop", reply.drop},       {"drip_ms", number(reply.dripMs)},
                          {"endless", reply.endless ? "1" : ""}};
    for (const auto& field : optional) {
        if (!field.second.empty()) fields.push_back(field);
    }
    Post("/_sim/script", fields);
}

int RequestCount(const std::string& target) { return std::stoi(Post("/_sim/requests", {{"target", target}})); }

std::string Request(const std::string& target, int index) {
    return Post("/_sim/request", {{"target", target}, {"index", std::to_string(index)}});
}

}  // namespace sim
