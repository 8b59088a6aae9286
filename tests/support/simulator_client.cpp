#include "tests/support/simulator_client.h"

#include <winsock2.h>

#include <stdexcept>

#include "mewlark_config.h"

namespace sim {
namespace {

struct WinsockInit {
    WinsockInit() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};

std::string Control(const std::string& path, const std::string& form) {
    static WinsockInit init;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) throw std::runtime_error("simulator: no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(MEWLARK_SIM_HTTP_PORT);
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

void Field(std::string& form, const char* name, const std::string& value) {
    if (!form.empty()) form += '&';
    form += name;
    form += '=';
    form += Encode(value);
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
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
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

void Reset() { Control("/_sim/reset", ""); }

void AddAccount(const std::string& user, const std::string& password, int count, bool dbError) {
    std::string form;
    Field(form, "user", user);
    Field(form, "pass", password);
    Field(form, "count", std::to_string(count));
    if (dbError) Field(form, "dberror", "1");
    Control("/_sim/account", form);
}

void SetCount(const std::string& user, int count) {
    std::string form;
    Field(form, "user", user);
    Field(form, "count", std::to_string(count));
    Control("/_sim/count", form);
}

void AddSession(const std::string& eid, const std::string& user) {
    std::string form;
    Field(form, "eid", eid);
    Field(form, "user", user);
    Control("/_sim/session", form);
}

void ShowUntrustedCertificate(bool untrusted) {
    std::string form;
    Field(form, "cert", untrusted ? "untrusted" : "test");
    Control("/_sim/tls", form);
}

void Script(const std::string& target, const Reply& reply) {
    std::string form;
    Field(form, "target", target);
    Field(form, "status", std::to_string(reply.status));
    if (!reply.reason.empty()) Field(form, "reason", reply.reason);
    for (const auto& header : reply.headers) Field(form, "header", header);
    for (const auto& cookie : reply.cookies) Field(form, "cookie", cookie);
    Field(form, "body", reply.body);
    if (reply.bodySize) Field(form, "body_size", std::to_string(reply.bodySize));
    if (!reply.fill.empty()) Field(form, "fill", reply.fill);
    if (reply.delayMs) Field(form, "delay_ms", std::to_string(reply.delayMs));
    if (!reply.stall.empty()) Field(form, "stall", reply.stall);
    if (reply.stallMs) Field(form, "stall_ms", std::to_string(reply.stallMs));
    if (!reply.drop.empty()) Field(form, "drop", reply.drop);
    if (reply.dripMs) Field(form, "drip_ms", std::to_string(reply.dripMs));
    Field(form, "times", std::to_string(reply.times));
    Control("/_sim/script", form);
}

int RequestCount(const std::string& target) {
    std::string form;
    Field(form, "target", target);
    return std::stoi(Control("/_sim/requests", form));
}

std::string Request(const std::string& target, int index) {
    std::string form;
    Field(form, "target", target);
    Field(form, "index", std::to_string(index));
    return Control("/_sim/request", form);
}

}  // namespace sim
