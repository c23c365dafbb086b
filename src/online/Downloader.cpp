#include "online/Downloader.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "core/StringIds.h"
#include "core/StringTable.h"
#include "core/TextUtil.h"

namespace quillon {

namespace {

constexpr int kMaxRedirects = 5;

enum class Stop { None, Cancelled, BadStatus, TooLarge, WriteFailed, ShortWrite };

struct Transfer {
    CURL* curl = nullptr;
    int fd = -1;
    uint64_t cap = 0;
    uint64_t total = 0;
    const std::atomic<bool>* cancel = nullptr;
    const std::function<void(uint64_t)>* progress = nullptr;
    Stop stop = Stop::None;

    bool Cancelled() const { return cancel && cancel->load(); }
};

bool IsRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

size_t OnData(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t length = size * count;
    if (t->Cancelled()) {
        t->stop = Stop::Cancelled;
        return 0;
    }
    long status = 0;
    curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &status);
    if (IsRedirect(status))
        return length;  // the body of a redirect is not the file
    if (status < 200 || status > 299) {
        t->stop = Stop::BadStatus;
        return 0;
    }
    if (t->total + length > t->cap) {
        t->stop = Stop::TooLarge;
        return 0;
    }
    size_t written = 0;
    while (written < length) {
        ssize_t n = write(t->fd, data + written, length - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            t->stop = Stop::WriteFailed;
            return 0;
        }
        if (n == 0) {
            t->stop = Stop::ShortWrite;
            return 0;
        }
        written += static_cast<size_t>(n);
    }
    t->total += length;
    if (t->progress && *t->progress)
        (*t->progress)(t->total);
    return length;
}

// Also runs while no data flows, so Cancel works against a stalled server.
int OnProgress(void* user, curl_off_t expected, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    if (t->Cancelled()) {
        t->stop = Stop::Cancelled;
        return 1;
    }
    long status = 0;
    curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 200 && status <= 299 && expected > 0 && static_cast<uint64_t>(expected) > t->cap) {
        t->stop = Stop::TooLarge;
        return 1;
    }
    return 0;
}

void MakeFolders(const std::string& folder) {
    if (folder.empty() || folder == "." || folder == "/")
        return;
    std::string path;
    for (size_t i = 0; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '/') {
            if (!path.empty())
                mkdir(path.c_str(), 0700);  // an existing folder is no error
        }
        if (i < folder.size())
            path += folder[i];
    }
}

void ApplyProxy(CURL* curl, const DownloadProxy& proxy) {
    if (proxy.type == 1) {
        curl_easy_setopt(curl, CURLOPT_PROXY, "");  // direct, whatever the environment says
        return;
    }
    if (proxy.type == 4 && !proxy.host.empty()) {
        curl_easy_setopt(curl, CURLOPT_PROXY, proxy.host.c_str());
        curl_easy_setopt(curl, CURLOPT_PROXYPORT, std::strtol(proxy.port.c_str(), nullptr, 10));
        curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    }
    // Types 2 and 3: libcurl reads http_proxy, https_proxy, all_proxy and no_proxy itself; the
    // entered credentials serve those proxies too.
    if (!proxy.user.empty()) {
        curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
        curl_easy_setopt(curl, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    }
}

bool CouldNotConnect(CURLcode code) {
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
            return true;
        default:
            return false;
    }
}

// Everything but the URL; the returned header list lives until the transfer ends.
curl_slist* SetTransferOptions(CURL* curl, Transfer& t, const DownloadProxy& proxy) {
    static const std::string agent = Downloader::UserAgent();
    curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);  // redirects are checked by the caller
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 1024L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    ApplyProxy(curl, proxy);
    return headers;
}

}  // namespace

uint64_t DownloadCap(DownloadKind kind) {
    switch (kind) {
        case DownloadKind::VersionFile:
            return 4 * 1024;
        case DownloadKind::Branding:
            return 2 * 1024 * 1024;
        case DownloadKind::Update:
            return 200ull * 1024 * 1024;
    }
    return 0;
}

DownloadProxy DownloadProxy::FromSettings(const AppSettings& s) {
    return {s.ProxyType, s.ProxyHost, s.ProxyPort, s.ProxyUsername, s.ProxyPassword};
}

std::string Downloader::UserAgent() {
    return std::string("Quillon/") + QUILLON_VERSION;
}

std::string UrlOrigin(const std::string& url) {
    CURLU* u = curl_url();
    std::string origin;
    if (u && curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
        char* scheme = nullptr;
        char* host = nullptr;
        char* port = nullptr;
        if (curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
            curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
            curl_url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
            std::string s = AsciiLower(scheme);
            if ((s == "http" || s == "https") && *host)
                origin = s + "://" + AsciiLower(host) + ":" + port;
        }
        curl_free(scheme);
        curl_free(host);
        curl_free(port);
    }
    curl_url_cleanup(u);
    return origin;
}

Downloader::Downloader(DownloadKind kind, DownloadProxy proxy) : cap_(DownloadCap(kind)), proxy_(std::move(proxy)) {}

int Downloader::Fail(int textId, const std::string& a, const std::string& b, const std::string& c) {
    failed_ = true;
    error_ = FormatResourceString(textId, {a, b, c});
    return kFailed;
}

int Downloader::Download(const std::string& url, const std::string& target, const std::atomic<bool>* cancel,
                         const std::function<void(uint64_t)>& progress) {
    failed_ = false;
    error_.clear();
    const std::string origin = UrlOrigin(url);
    if (origin.empty())
        return Fail(kIdDownloadCannotOpenUrl, url);
    CURL* curl = curl_easy_init();
    if (!curl)
        return Fail(kIdDownloadNoSession, "");
    MakeFolders(FolderOf(target));

    const std::string temp = target + ".tmp";
    unlink(temp.c_str());  // a fresh file of our own, never one planted in its place
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        curl_easy_cleanup(curl);
        return Fail(kIdDownloadCannotCreate, temp);
    }

    Transfer t;
    t.curl = curl;
    t.fd = fd;
    t.cap = cap_;
    t.cancel = cancel;
    t.progress = &progress;
    curl_slist* headers = SetTransferOptions(curl, t, proxy_);

    int result = kOk;
    std::string current = url;
    for (int hop = 0;; ++hop) {
        curl_easy_setopt(curl, CURLOPT_URL, current.c_str());
        CURLcode code = curl_easy_perform(curl);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (t.stop == Stop::Cancelled || (cancel && cancel->load())) {
            result = kCancelled;
        } else if (t.stop == Stop::WriteFailed) {
            result = Fail(kIdDownloadCannotWrite, target);
        } else if (t.stop == Stop::ShortWrite) {
            result = Fail(kIdDownloadShortWrite, url, target);
        } else if (code != CURLE_OK && CouldNotConnect(code) && t.stop == Stop::None) {
            result = Fail(kIdDownloadCannotOpenUrl, url);
        } else if (code == CURLE_OK && IsRedirect(status)) {
            // Only to the same scheme, host and port: a version file or package from elsewhere
            // is not what the distributor configured.
            char* next = nullptr;
            curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &next);
            std::string nextUrl = next ? next : "";
            if (hop < kMaxRedirects && !nextUrl.empty() && UrlOrigin(nextUrl) == origin && ftruncate(fd, 0) == 0 &&
                lseek(fd, 0, SEEK_SET) == 0) {
                current = nextUrl;
                t.total = 0;
                continue;
            }
            result = Fail(kIdDownloadCannotRead, url);
        } else if (code != CURLE_OK || status < 200 || status > 299) {
            result = Fail(kIdDownloadCannotRead, url);
        }
        break;
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return Finish(result, fd, temp, target, cancel);
}

int Downloader::Finish(int result, int fd, const std::string& temp, const std::string& target,
                       const std::atomic<bool>* cancel) {
    if (result == kOk && fsync(fd) != 0)
        result = Fail(kIdDownloadCannotWrite, target);
    close(fd);
    if (result == kOk && cancel && cancel->load())
        result = kCancelled;
    if (result != kOk) {
        unlink(temp.c_str());  // nothing half-written stays behind
        return result;
    }
    // rename() replaces the target in one step, so there is never a moment without a whole file.
    if (rename(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        unlink(temp.c_str());
        return Fail(kIdDownloadCannotMove, temp, target, std::strerror(err));
    }
    return kOk;
}

}  // namespace quillon
