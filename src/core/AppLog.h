// The log file SMS.log: a start banner per run, then one time-stamped line per event.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>

namespace quillon {

class AppLog {
public:
    static constexpr uint64_t kDefaultMaxSize = 1048576;

    // The clock gives the time of the banner, the line prefixes and the archive names; empty means the
    // system clock (tests pass a fixed one, so rotation names do not depend on the wall-clock minute).
    using Clock = std::function<time_t()>;

    // A log that is archived once it grows past `maxSize` bytes.
    explicit AppLog(std::string path, uint64_t maxSize = kDefaultMaxSize, Clock clock = {});
    virtual ~AppLog();

    AppLog(const AppLog&) = delete;
    AppLog& operator=(const AppLog&) = delete;

    // printf-style: "%d", "%s", "%x" and the like. The message is cut at 1024 characters.
    void Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void WriteV(const char* format, va_list args);

    const std::string& Path() const { return path_; }
    uint64_t MaxSize() const { return maxSize_; }

private:
    time_t Now() const { return clock_ ? clock_() : std::time(nullptr); }

    std::recursive_mutex logLock_;
    Clock clock_;
    uint64_t maxSize_;
    std::string path_;
    bool stderrChannel_ = false;  // QUILLON_LOG_STDERR was set when the log was created
};

// The process-wide log; null until start-up creates it.
AppLog* TheLog();
void SetTheLog(AppLog* log);

// Writes a line when the WriteLog setting is on and a log exists (every line but the crash report).
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quillon
