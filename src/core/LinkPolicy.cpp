#include "core/LinkPolicy.h"

#include <arpa/inet.h>

namespace quillon {

namespace {

bool IsSchemeChar(char c, bool first) {
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    return first ? letter : letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The host of "scheme://[user@]host[:port]/...", lower case, without brackets.
std::string UrlHost(const std::string& url) {
    size_t start = url.find("://");
    if (start == std::string::npos)
        return {};
    start += 3;
    size_t end = url.find_first_of("/?#", start);
    std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    size_t at = authority.rfind('@');
    if (at != std::string::npos)
        authority.erase(0, at + 1);
    std::string host;
    if (!authority.empty() && authority[0] == '[') {
        size_t close = authority.find(']');
        host = authority.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
        host = authority.substr(0, authority.find(':'));
    }
    for (char& c : host)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return host;
}

}  // namespace

std::string UrlScheme(const std::string& url) {
    size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0)
        return {};
    for (size_t i = 0; i < colon; ++i)
        if (!IsSchemeChar(url[i], i == 0))
            return {};
    std::string scheme = url.substr(0, colon);
    for (char& c : scheme)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return scheme;
}

bool IsOpenableLink(const std::string& url, LinkUse use) {
    for (char c : url)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return false;
    const std::string scheme = UrlScheme(url);
    if (scheme == "https" || scheme == "http")
        return url.compare(scheme.size(), 3, "://") == 0 && !UrlHost(url).empty();
    if (scheme == "mailto")
        return url.size() > scheme.size() + 1;
    if (scheme == "file")
        return use == LinkUse::kInstaller && url.compare(scheme.size(), 3, "://") == 0;
    return false;
}

std::string VoucherPageUrl(const std::string& voucherUrl, const std::string& sessionId) {
    if (sessionId.empty() || UrlScheme(voucherUrl) != "https")
        return voucherUrl;
    return voucherUrl + "?session_id=" + sessionId;
}

bool SendsPasswordInClear(const std::string& gatewayUrl) {
    if (UrlScheme(gatewayUrl) != "http")
        return false;
    const std::string host = UrlHost(gatewayUrl);
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) != 127;
    return !(host == "localhost" || host == "::1");
}

}  // namespace quillon
