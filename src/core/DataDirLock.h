// One sender per data directory. A program that sends from the outbox (the desktop program,
// quillon-cli worker and send) holds an exclusive lock on the file SMS.lock in the data directory
// for its whole life; the file names the holder, so that a second one can say who it is and, when
// the holder listens for probes, reach it. The lock goes with the process, however it ends.
#pragma once

#include <string>

namespace quillon {

class DataDirLock {
public:
    static constexpr const char* kFileName = "SMS.lock";

    // Who holds a data directory, as its lock file says.
    struct Holder {
        long pid = 0;         // 0 when the file could not be read
        std::string program;  // "Quillon", "quillon-cli worker", ...
        std::string probe;    // where the holder answers probes; "" when it does not
    };

    DataDirLock() = default;
    ~DataDirLock();  // lets go of the lock
    DataDirLock(const DataDirLock&) = delete;
    DataDirLock& operator=(const DataDirLock&) = delete;

    // Takes the lock of `dataDir` for this process and writes this process into the file. False
    // only when another process holds it (Owner() then says which); a file system that cannot lock
    // or a file that cannot be made leaves nothing to guard against and counts as taken.
    bool Acquire(const std::string& dataDir, const std::string& program, const std::string& probe = "");
    bool Held() const { return fd_ >= 0; }
    const Holder& Owner() const { return owner_; }

    // The user's message after a failed Acquire: which program and process holds the directory.
    std::string InUseText(const std::string& dataDir) const;

private:
    int fd_ = -1;
    Holder owner_;
};

}  // namespace quillon
