#include "core/PrivateFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "core/AppLog.h"
#include "core/DataPath.h"

namespace quillon {

namespace {

bool OwnedByUs(const struct stat& st) {
    return st.st_uid == ::geteuid();
}

bool TrustedOwner(const struct stat& st) {
    return st.st_uid == ::geteuid() || st.st_uid == 0;
}

// Group write counts as others' write unless the group is our own primary group (a private user group).
bool OthersMayWrite(const struct stat& st) {
    if (st.st_mode & S_IWOTH)
        return !(S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX));
    if (st.st_mode & S_IWGRP)
        return st.st_gid != ::getegid() && !(S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX));
    return false;
}

}  // namespace

bool RestrictToOwner(int fd) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !OwnedByUs(st))
        return false;
    if ((st.st_mode & 07777) == kPrivateFileMode)
        return true;
    return ::fchmod(fd, kPrivateFileMode) == 0;
}

bool RestrictToOwner(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && RestrictToOwner(fd);
    ::close(fd);
    return ok;
}

bool CreatePrivateFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0)
        return errno == EACCES && ::access(path.c_str(), F_OK) == 0;
    RestrictToOwner(fd);
    ::close(fd);
    return true;
}

bool MakePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), kPrivateFolderMode) == 0) {
        // mkdir's mode passes through the umask; a folder we just made gets exactly 0700.
        ::chmod(path.c_str(), kPrivateFolderMode);
        return true;
    }
    struct stat st {};
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

PlaceSafety CheckPlace(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return PlaceSafety::kMissing;
    if (!TrustedOwner(st) || OthersMayWrite(st))
        return PlaceSafety::kWritableByOthers;
    if (st.st_mode & (S_IRWXG | S_IRWXO))
        return PlaceSafety::kReadableByOthers;
    return PlaceSafety::kPrivate;
}

bool WritableByOthers(const std::string& path) {
    return CheckPlace(path) == PlaceSafety::kWritableByOthers ||
           CheckPlace(FolderOf(path)) == PlaceSafety::kWritableByOthers;
}

bool IsOwnFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && OwnedByUs(st) &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool ReportExposedDataDirectory(const std::string& dir) {
    PlaceSafety safety = CheckPlace(dir);
    bool exposed = safety == PlaceSafety::kReadableByOthers || safety == PlaceSafety::kWritableByOthers;
    static std::atomic<bool> reported{false};
    if (exposed && !reported.exchange(true))
        LogLine(
            "Security: the data directory %s can be read by other users of this computer (chmod 700 keeps them out)",
            dir.c_str());
    return exposed;
}

}  // namespace quillon
