#include "HttpTransport.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdlib>
#include <mutex>

#include "gateway/FormCodec.h"

namespace quillon::comapi {

namespace {

struct ReplyBuffer {
    std::string* body;
    bool overflow = false;
};

size_t CollectReply(char* data, size_t size, size_t count, void* user) {
    auto* buffer = static_cast<ReplyBuffer*>(user);
    size_t bytes = size * count;
    if (buffer->body->size() + bytes > HttpTransport::kMaxReply) {
        buffer->overflow = true;
        return 0;  // makes libcurl abort the transfer
    }
    buffer->body->append(data, bytes);
    return bytes;
}

long RequestTimeoutMs() {
    const char* text = getenv("QUILLON_GATEWAY_TIMEOUT_MS");
    if (text && *text) {
        char* end = nullptr;
        long value = strtol(text, &end, 10);
        if (*end == '\0' && value > 0 && value <= 3600000)
            return value;
    }
    return HttpTransport::kRequestTimeoutMs;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size() || tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

// Whether the environment names a proxy for this scheme (libcurl reads the same variables).
bool EnvironmentHasProxy(bool https) {
    const char* names[] = {https ? "https_proxy" : "http_proxy", https ? "HTTPS_PROXY" : "", "all_proxy", "ALL_PROXY"};
    for (const char* name : names) {
        const char* value = *name ? getenv(name) : nullptr;
        if (value && *value)
            return true;
    }
    return false;
}

}  // namespace

HttpTransport::HttpTransport() {
    static std::once_flag globalInit;
    std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    curl_ = curl_easy_init();
    if (!curl_)
        return;
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl_, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(curl_, CURLOPT_USERAGENT, "sms_comapi/" SMS_COMAPI_VERSION);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, CollectReply);
    SetProxy(ProxyKind::Direct, "", "", "", "");
}

HttpTransport::~HttpTransport() {
    if (curl_)
        curl_easy_cleanup(curl_);
}

bool HttpTransport::SetBaseUrl(const std::string& url) {
    if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://"))
        return false;
    for (unsigned char c : url) {
        if (c <= ' ' || c == 0x7F)
            return false;
    }
    baseUrl_ = url;
    if (baseUrl_.back() != '/')
        baseUrl_ += '/';
    return true;
}

bool HttpTransport::SetProxy(ProxyKind kind, const std::string& host, const std::string& port, const std::string& user,
                             const std::string& password) {
    if (!curl_)
        return false;
    long portNumber = 0;
    if (kind == ProxyKind::Explicit) {
        char* end = nullptr;
        portNumber = strtol(port.c_str(), &end, 10);
        if (host.empty() || port.empty() || *end != '\0' || portNumber < 1 || portNumber > 65535)
            return false;
        for (unsigned char c : host) {
            if (c <= ' ' || c == 0x7F)
                return false;
        }
    }
    proxyKind_ = kind;
    proxyHost_ = host;
    proxyPort_ = portNumber;
    proxyUser_ = user;
    proxyPassword_ = password;
    switch (kind) {
        case ProxyKind::Direct:
            // An empty proxy also overrides http_proxy and friends from the environment.
            curl_easy_setopt(curl_, CURLOPT_PROXY, "");
            curl_easy_setopt(curl_, CURLOPT_NOPROXY, nullptr);
            curl_easy_setopt(curl_, CURLOPT_PROXYPORT, 0L);
            break;
        case ProxyKind::Environment:
        case ProxyKind::EnvironmentNoScripts:
            // Unset: libcurl reads http_proxy, https_proxy, all_proxy and no_proxy itself.
            curl_easy_setopt(curl_, CURLOPT_PROXY, nullptr);
            curl_easy_setopt(curl_, CURLOPT_NOPROXY, nullptr);
            curl_easy_setopt(curl_, CURLOPT_PROXYPORT, 0L);
            break;
        case ProxyKind::Explicit:
            curl_easy_setopt(curl_, CURLOPT_PROXY, proxyHost_.c_str());
            curl_easy_setopt(curl_, CURLOPT_PROXYPORT, proxyPort_);
            // The entered proxy takes every request, whatever no_proxy in the environment says.
            curl_easy_setopt(curl_, CURLOPT_NOPROXY, "");
            break;
    }
    bool withCredentials = kind != ProxyKind::Direct && !proxyUser_.empty();
    curl_easy_setopt(curl_, CURLOPT_PROXYUSERNAME, withCredentials ? proxyUser_.c_str() : nullptr);
    curl_easy_setopt(curl_, CURLOPT_PROXYPASSWORD, withCredentials ? proxyPassword_.c_str() : nullptr);
    curl_easy_setopt(curl_, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    return true;
}

HttpResult HttpTransport::Request(const std::string& endpoint, const FormParams& params, bool get) {
    HttpResult result;
    if (!curl_) {
        result.error = "HTTP client not available";
        return result;
    }
    if (baseUrl_.empty()) {
        result.error = "No gateway address configured";
        return result;
    }
    // Encoded here rather than with curl_easy_escape, which builds its result a byte at a time and
    // cost a sixth of a loopback request.
    std::string form;
    for (const auto& [key, value] : params) {
        if (!form.empty())
            form += '&';
        AppendFormEscaped(form, key);
        form += '=';
        AppendFormEscaped(form, value);
    }
    std::string url = baseUrl_ + endpoint;
    ReplyBuffer buffer{&result.body};
    char errorText[CURL_ERROR_SIZE] = {0};
    if (get) {
        if (!form.empty())
            url += "?" + form;
        curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(curl_, CURLOPT_POST, 1L);
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE, static_cast<long>(form.size()));
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, form.c_str());
    }
    curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &buffer);
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorText);
    long timeout = RequestTimeoutMs();
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, timeout < kConnectTimeoutMs ? timeout : kConnectTimeoutMs);
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, timeout);

    CURLcode code = curl_easy_perform(curl_);
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, nullptr);
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    long connectCode = 0;
    curl_easy_getinfo(curl_, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    bool viaProxy = proxyKind_ == ProxyKind::Explicit ||
                    (proxyKind_ != ProxyKind::Direct && EnvironmentHasProxy(StartsWithNoCase(url, "https:")));
    result.error = errorText[0] ? errorText : curl_easy_strerror(code);

    if (code == CURLE_OK) {
        // Some proxies answer a plain HTTP request with 401 instead of 407; the gateway never sends 401.
        bool refused = viaProxy && (result.httpStatus == 407 || result.httpStatus == 401);
        result.outcome = refused ? HttpResult::Outcome::ProxyAuth : HttpResult::Outcome::Ok;
        if (result.outcome == HttpResult::Outcome::ProxyAuth)
            result.error = "Proxy authentication required";
        return result;
    }
    result.body.clear();
    if (buffer.overflow) {
        result.outcome = HttpResult::Outcome::TooLarge;
        result.error = "Reply too large";
    } else if (viaProxy && connectCode == 407) {
        result.outcome = HttpResult::Outcome::ProxyAuth;
    } else if (code == CURLE_COULDNT_RESOLVE_PROXY) {
        result.outcome = HttpResult::Outcome::ProxyUnreachable;
    } else if (viaProxy && code == CURLE_COULDNT_CONNECT) {
        // Through a proxy, the only connection libcurl opens itself is the one to the proxy.
        result.outcome = HttpResult::Outcome::ProxyUnreachable;
    } else if (code == CURLE_OPERATION_TIMEDOUT) {
        double connectTime = 0;
        curl_easy_getinfo(curl_, CURLINFO_CONNECT_TIME, &connectTime);
        result.outcome =
            viaProxy && connectTime == 0 ? HttpResult::Outcome::ProxyUnreachable : HttpResult::Outcome::TimedOut;
    } else {
        result.outcome = HttpResult::Outcome::Unreachable;
    }
    return result;
}

}  // namespace quillon::comapi
