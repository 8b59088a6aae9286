#include "notifier/service/Login.h"

#include "notifier/service/Endpoints.h"
#include "notifier/service/FormEncode.h"
#include "notifier/service/PostExchange.h"
#include "notifier/service/UrlParts.h"

namespace {

constexpr DWORD kLoginFlags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES;
constexpr char kLoginHeaders[] = "Content-Type: application/x-www-form-urlencoded";

}  // namespace

bool Login(const std::string& userId, const std::string& password, std::string& eid, bool* unreachable) {
    return LoginAt(LoginUrl, userId, password, eid, unreachable);
}

bool LoginAt(const char* url, const std::string& userId, const std::string& password, std::string& eid,
             bool* unreachable) {
    eid.clear();
    if (unreachable != nullptr) *unreachable = false;
    UrlParts parts;
    const DWORD flags = (SplitUrl(url, parts) && parts.IsHttps()) ? (kLoginFlags | INTERNET_FLAG_SECURE) : kLoginFlags;

    PostExchange exchange;
    if (!exchange.Open(url, flags, nullptr)) return false;

    std::string body = BuildLoginBody(MailTopUrl, MailSiteHost, userId, password);
    const BOOL sent = HttpSendRequestA(exchange.request.Get(), kLoginHeaders, sizeof(kLoginHeaders) - 1,
                                       body.data(), static_cast<DWORD>(body.size()));
    const DWORD sendError = GetLastError();
    // The body holds the password: do not leave it in freed memory.
    SecureZeroMemory(body.data(), body.size());
    if (!sent) {
        if (unreachable != nullptr) *unreachable = IsUnreachableError(sendError);
        return false;
    }

    // Any status counts as a response, since a redirect or an error page may carry the
    // session; 0 means no status line arrived at all (a connection closed before it).
    if (GetStatusCode(exchange.request.Get()) == 0) return false;
    std::string name;
    std::string value;
    for (DWORD index = 0; ReadSetCookie(exchange.request.Get(), index, name, value); ++index) {
        if (name == "EID") {
            eid = value;
            break;
        }
    }
    return true;
}
