#include "online/UpdateVersion.h"

#include <curl/curl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "core/TextUtil.h"
#include "online/Downloader.h"
#include "online/Sha256.h"

extern char** environ;

namespace quillon {

namespace {

// One "%d" at bytes[pos]: blanks, an optional sign, decimal digits; false when none can be read
// or the number does not fit an int.
bool ReadNumber(const std::string& bytes, size_t& pos, uint32_t& out) {
    while (pos < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[pos])))
        ++pos;
    bool negative = false;
    if (pos < bytes.size() && (bytes[pos] == '-' || bytes[pos] == '+'))
        negative = bytes[pos++] == '-';
    size_t start = pos;
    long long value = 0;
    while (pos < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[pos]))) {
        value = value * 10 + (bytes[pos++] - '0');
        if (value > INT_MAX)
            return false;
    }
    if (pos == start)
        return false;
    out = static_cast<uint32_t>(negative ? -value : value);
    return true;
}

bool IsHexDigest(const std::string& text) {
    if (text.size() != 64)
        return false;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

bool IsHttps(const std::string& url) {
    return UrlOrigin(url).rfind("https://", 0) == 0;
}

}  // namespace

VersionValue ValueOf(const VersionNumbers& v) {
    return {v[0] * 65536u + (v[1] % 65536u), v[2] * 65536u + (v[3] % 65536u)};
}

bool IsNewer(const VersionNumbers& published, const VersionNumbers& running) {
    VersionValue p = ValueOf(published);
    VersionValue r = ValueOf(running);
    return p.high > r.high || (p.high == r.high && p.low > r.low);
}

VersionFile ParseVersionFile(const std::string& bytes) {
    VersionFile file;
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && (pos >= bytes.size() || bytes[pos++] != '.'))
            break;
        if (!ReadNumber(bytes, pos, file.version[i]))
            break;
    }
    std::istringstream lines(bytes);
    std::string line;
    std::getline(lines, line);  // the version's own line
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string key, digest, extra;
        if (!(words >> key) || key != "sha256")
            continue;
        if ((words >> digest) && !(words >> extra) && IsHexDigest(digest))
            file.sha256 = AsciiLower(digest);
        break;  // only the first digest line counts
    }
    return file;
}

VersionFile ReadVersionFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string bytes;
    char buffer[8192];
    in.read(buffer, sizeof buffer);  // the download cap keeps the file far smaller
    bytes.assign(buffer, static_cast<size_t>(in.gcount()));
    return ParseVersionFile(bytes);
}

VersionNumbers RunningVersion() {
    return ParseVersionFile(QUILLON_VERSION).version;
}

std::string VersionText(const VersionNumbers& v) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]);
}

bool UpdateConfigured(const AppSettings& s) {
    return s.UpdateVersionURL.size() >= 8 && s.UpdateFileURL.size() >= 8 && !s.UpdateURL.empty();
}

PackageKind PackageKindOf(const std::string& url) {
    std::string path = url.substr(0, url.find_first_of("?#"));
    auto endsWith = [&path](const std::string& suffix) {
        return path.size() > suffix.size() && EqualsIgnoreCase(path.substr(path.size() - suffix.size()), suffix);
    };
    if (endsWith(".deb"))
        return PackageKind::Debian;
    if (endsWith(".appimage"))
        return PackageKind::AppImage;
    return PackageKind::Unknown;
}

std::string VersionFilePath() {
    return DataFile("update.ver");
}

std::string UpdatePackagePath(PackageKind kind) {
    switch (kind) {
        case PackageKind::Debian:
            return DataFile("temp/Update.deb");
        case PackageKind::AppImage:
            return DataFile("temp/Update.AppImage");
        case PackageKind::Unknown:
            break;
    }
    return DataFile("temp/Update.bin");
}

bool UpdateVerified(const VersionFile& published, const std::string& versionUrl, const std::string& fileUrl,
                    const std::string& packagePath, bool requireHttps) {
    if (published.sha256.empty())
        return false;
    // The digest is only as trustworthy as the channel it came over.
    if (requireHttps && !(IsHttps(versionUrl) && IsHttps(fileUrl)))
        return false;
    return Sha256OfFile(packagePath) == published.sha256;
}

std::string SqliteVersionText() {
    return sqlite3_libversion();
}

std::string CurlVersionText() {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    return info && info->version ? info->version : "";
}

bool StartProgram(const std::string& path) {
    if (chmod(path.c_str(), 0700) != 0)
        return false;
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0)
        return false;
    // The program ends right after; the package's own process outlives it.
    return pid > 0;
}

}  // namespace quillon
