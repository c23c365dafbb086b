// One HTTP(S) download into a file: written to "<target>.tmp" (mode 0600) and renamed over the
// target when complete, so a reader never sees half a file. Runs synchronously on the caller's
// thread; the ui runs it on a thread of its own and cancels through the flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace quillon {

struct AppSettings;

// What is being fetched decides how large it may be.
enum class DownloadKind { VersionFile, Branding, Update };
uint64_t DownloadCap(DownloadKind kind);

// The proxy as the gateway component applies it: ProxyType 1 direct, 2 and 3 the environment's
// proxy variables, 4 the entered server (with optional credentials).
struct DownloadProxy {
    int type = 1;
    std::string host;
    std::string port;
    std::string user;
    std::string password;
    static DownloadProxy FromSettings(const AppSettings& settings);
};

class Downloader {
public:
    static constexpr int kOk = 0;
    static constexpr int kFailed = -1;
    static constexpr int kCancelled = -2;

    explicit Downloader(DownloadKind kind, DownloadProxy proxy = {});

    // 0 on success, -1 on failure (ErrorText() says why), -2 when `cancel` was set before the file
    // was complete. `progress` (may be empty) gets the running byte count after every block.
    // Only http and https URLs; a redirect is followed only to the same scheme, host and port.
    int Download(const std::string& url, const std::string& target, const std::atomic<bool>* cancel,
                 const std::function<void(uint64_t)>& progress = {});

    const std::string& ErrorText() const { return error_; }
    bool Failed() const { return failed_; }
    uint64_t Cap() const { return cap_; }
    // For tests: a smaller cap than the kind's.
    void SetCap(uint64_t cap) { cap_ = cap; }

    // "Quillon/<version>"
    static std::string UserAgent();

private:
    // Closes the temporary file and, on success, renames it over the target; removes it otherwise.
    int Finish(int result, int fd, const std::string& temp, const std::string& target, const std::atomic<bool>* cancel);
    int Fail(int textId, const std::string& a, const std::string& b = {}, const std::string& c = {});

    uint64_t cap_;
    DownloadProxy proxy_;
    std::string error_;
    bool failed_ = false;
};

// "scheme://host:port" of an http(s) URL, lower-cased, with the default port filled in; "" when
// the URL is not http or https or has no host.
std::string UrlOrigin(const std::string& url);

}  // namespace quillon
