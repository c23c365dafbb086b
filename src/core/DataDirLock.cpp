#include "core/DataDirLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "core/AppLog.h"
#include "core/StringIds.h"
#include "core/StringTable.h"

namespace quillon {

namespace {

// The holder writes its lines right after taking the lock; a reader that comes in between sees an
// empty file and waits a little for them.
bool ReadHolder(int fd, DataDirLock::Holder& holder) {
    char buffer[4096];
    ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    if (n <= 0)
        return false;
    std::istringstream in(std::string(buffer, static_cast<size_t>(n)));
    std::string pid;
    if (!std::getline(in, pid) || !std::getline(in, holder.program))
        return false;
    std::getline(in, holder.probe);
    holder.pid = std::strtol(pid.c_str(), nullptr, 10);
    return holder.pid > 0;
}

}  // namespace

DataDirLock::~DataDirLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool DataDirLock::Acquire(const std::string& dataDir, const std::string& program, const std::string& probe) {
    owner_ = Holder{};
    const std::string path = dataDir + "/" + kFileName;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        LogLine("Data directory: cannot open %s (%d); not guarded against a second sender", path.c_str(), errno);
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            ::close(fd);
            return true;
        }
        for (int i = 0; i < 20 && !ReadHolder(fd, owner_); ++i)
            ::usleep(50000);
        ::close(fd);
        return false;
    }
    const std::string lines = std::to_string(::getpid()) + "\n" + program + "\n" + probe + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, lines.data(), lines.size(), 0) != static_cast<ssize_t>(lines.size()))
        LogLine("Data directory: cannot write %s", path.c_str());
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
    owner_ = Holder{static_cast<long>(::getpid()), program, probe};
    return true;
}

std::string DataDirLock::InUseText(const std::string& dataDir) const {
    if (owner_.pid <= 0)
        return FormatResourceString(kTextDataDirInUseUnknown, {dataDir});
    return FormatResourceString(kTextDataDirInUse, {dataDir, owner_.program, static_cast<long long>(owner_.pid)});
}

}  // namespace quillon
