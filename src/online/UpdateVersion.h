// The pieces of the update check that need no window: the published version file, the version
// comparison, where the files go, whether a downloaded package may be started, and starting it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quillon {

struct AppSettings;

// Four version numbers a.b.c.d.
using VersionNumbers = std::array<uint32_t, 4>;

// The two 32-bit words a version is compared by: high = a * 65536 + b, low = c * 65536 + d, in
// unsigned 32-bit arithmetic (so every part counts modulo 65536).
struct VersionValue {
    uint32_t high = 0;
    uint32_t low = 0;
};
VersionValue ValueOf(const VersionNumbers& version);
// Whether `published` is newer than `running`: a greater high word, or equal high words and a
// greater low word.
bool IsNewer(const VersionNumbers& published, const VersionNumbers& running);

struct VersionFile {
    VersionNumbers version{};  // numbers that cannot be read stay 0
    std::string sha256;        // the package's published digest (64 lower-case hex), or "" when absent or malformed
};
// Reads "a.b.c.d" from the start of the bytes; a later line "sha256 <64 hex digits>" publishes the
// package's digest.
VersionFile ParseVersionFile(const std::string& bytes);
// A missing or unreadable file gives 0.0.0.0 and no digest.
VersionFile ReadVersionFile(const std::string& path);

// The running program's version, as the build names it.
VersionNumbers RunningVersion();
// "3.1.0.12"
std::string VersionText(const VersionNumbers& version);

// Whether the automatic update is configured: both download URLs of 8 characters or more and a
// page for the manual download.
bool UpdateConfigured(const AppSettings& settings);

// What the distributor publishes: a Debian package, an AppImage, or something we do not start.
enum class PackageKind { Debian, AppImage, Unknown };
// By the URL's path: "*.deb", "*.AppImage" (either case); query and fragment ignored.
PackageKind PackageKindOf(const std::string& url);

std::string VersionFilePath();                    // <data>/update.ver
std::string UpdatePackagePath(PackageKind kind);  // <data>/temp/Update.deb, .AppImage or .bin

// A downloaded package may be started only when both URLs were https, the version file published
// a digest and the file's digest matches it.
bool UpdateVerified(const VersionFile& published, const std::string& versionUrl, const std::string& fileUrl,
                    const std::string& packagePath, bool requireHttps = true);

// The libraries' own version texts, for the version dialog.
std::string SqliteVersionText();
std::string CurlVersionText();

// Makes the file executable by its owner only and starts it without waiting; false when it could
// not be started.
bool StartProgram(const std::string& path);

}  // namespace quillon
