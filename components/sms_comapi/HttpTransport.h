// One HTTP(S) connection to the gateway over libcurl: form-encoded POST requests, bounded in time
// and in reply size, through the configured proxy. Not thread-safe; the component serialises calls.
#pragma once

#include <string>
#include <utility>
#include <vector>

typedef void CURL;

namespace quillon::comapi {

using FormParams = std::vector<std::pair<std::string, std::string>>;

struct HttpResult {
    enum class Outcome {
        Ok,                // a complete reply arrived (any HTTP status)
        Unreachable,       // no connection, refused, reset, DNS failure, TLS failure
        TimedOut,          // no complete reply in time
        ProxyUnreachable,  // the proxy could not be reached
        ProxyAuth,         // the proxy refused the credentials (407)
        TooLarge,          // the reply exceeded the cap
    };
    Outcome outcome = Outcome::Unreachable;
    long httpStatus = 0;
    std::string body;
    std::string error;  // what went wrong, for the reply text
};

enum class ProxyKind { Direct = 1, Environment = 2, EnvironmentNoScripts = 3, Explicit = 4 };

class HttpTransport {
public:
    static constexpr size_t kMaxReply = 1024 * 1024;
    static constexpr long kConnectTimeoutMs = 10000;
    static constexpr long kRequestTimeoutMs = 30000;

    HttpTransport();
    ~HttpTransport();
    HttpTransport(const HttpTransport&) = delete;
    HttpTransport& operator=(const HttpTransport&) = delete;

    bool IsValid() const { return curl_ != nullptr; }
    // http:// or https:// only; false leaves the old URL.
    bool SetBaseUrl(const std::string& url);
    const std::string& BaseUrl() const { return baseUrl_; }
    // Explicit needs a host and a port 1..65535; false leaves the old settings.
    bool SetProxy(ProxyKind kind, const std::string& host, const std::string& port, const std::string& user,
                  const std::string& password);

    // POST to base URL + endpoint.
    HttpResult Post(const std::string& endpoint, const FormParams& params) { return Request(endpoint, params, false); }
    // GET with the parameters in the query: a proxy that refuses a request answers a GET cleanly,
    // where it may reset a POST whose body it never reads.
    HttpResult Get(const std::string& endpoint, const FormParams& params) { return Request(endpoint, params, true); }

private:
    HttpResult Request(const std::string& endpoint, const FormParams& params, bool get);

    CURL* curl_ = nullptr;
    std::string baseUrl_;
    ProxyKind proxyKind_ = ProxyKind::Direct;
    std::string proxyHost_;
    long proxyPort_ = 0;
    std::string proxyUser_;
    std::string proxyPassword_;
};

}  // namespace quillon::comapi
