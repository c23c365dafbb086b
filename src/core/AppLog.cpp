#include "core/AppLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/AppSettings.h"
#include "core/LogEscape.h"
#include "core/PrivateFiles.h"

namespace quillon {

namespace {

constexpr size_t kMaxMessage = 1024;
constexpr const char* kSeparator = "\r\n------\r\n";

std::atomic<AppLog*> g_log{nullptr};

bool StderrChannel() {
    const char* value = std::getenv("QUILLON_LOG_STDERR");
    return value != nullptr && *value != '\0';
}

long KernelThreadId() {
    return static_cast<long>(::syscall(SYS_gettid));
}

struct tm Local(time_t now) {
    struct tm local {};
    localtime_r(&now, &local);
    return local;
}

void WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

// "Started @ Sun Dec  6 17:15:43 2026" and the separator. asctime keeps English names whatever the locale.
std::string Banner(time_t now) {
    struct tm local = Local(now);
    char text[64] = {};
    if (!asctime_r(&local, text))
        text[0] = '\0';
    std::string stamp(text);
    while (!stamp.empty() && (stamp.back() == '\n' || stamp.back() == '\r'))
        stamp.pop_back();
    return "Started @ " + stamp + kSeparator;
}

// Cuts a formatted message back to a whole UTF-8 character when the 1024-byte limit split one.
void TrimPartialCharacter(std::string& text) {
    size_t end = text.size();
    size_t lead = end;
    while (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80 && end - lead < 3)
        --lead;
    if (lead == 0)
        return;
    unsigned char c = static_cast<unsigned char>(text[lead - 1]);
    size_t need = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    if (need > 1 && end - (lead - 1) < need)
        text.resize(lead - 1);
}

// Rename that never replaces an existing archive: a second rotation in the same minute fails
// and leaves the log where it is, as the archive of that minute already holds the earlier lines.
bool RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace

AppLog::AppLog(std::string path, uint64_t maxSize, Clock clock)
    : clock_(std::move(clock)), maxSize_(maxSize), path_(std::move(path)) {
    stderrChannel_ = StderrChannel();
    int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, kPrivateFileMode);
    if (fd >= 0) {
        // Message texts and numbers go in here: an older log left readable by others is narrowed too.
        RestrictToOwner(fd);
        WriteAll(fd, Banner(Now()));
        ::close(fd);
    }
}

AppLog::~AppLog() {
    AppLog* self = this;
    g_log.compare_exchange_strong(self, nullptr);
}

void AppLog::Write(const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteV(format, args);
    va_end(args);
}

void AppLog::WriteV(const char* format, va_list args) {
    std::lock_guard<std::recursive_mutex> lock(logLock_);

    char buffer[kMaxMessage + 1];
    int n = std::vsnprintf(buffer, sizeof buffer, format ? format : "", args);
    std::string message = n < 0 ? std::string() : std::string(buffer);
    if (n > static_cast<int>(kMaxMessage))
        TrimPartialCharacter(message);
    // Logged values may hold line breaks and escapes (message texts, gateway replies): escaped, one event
    // stays one line. A line break that ends the format itself is the caller's and is kept.
    const bool formatEndsLine = format && *format && format[std::strlen(format) - 1] == '\n';
    const bool keepNewline = formatEndsLine && !message.empty() && message.back() == '\n';
    if (keepNewline)
        message.pop_back();
    message = EscapeLogText(message);
    if (keepNewline)
        message += '\n';

    const time_t now = Now();
    struct tm local = Local(now);
    char prefix[96];
    std::snprintf(prefix, sizeof prefix, "%02d/%02d/%02d %02d:%02d:%02d (%lx)   ", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<unsigned long>(KernelThreadId()));
    std::string line = prefix + message + "\r\n";

    int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        // The log was rotated away (or removed): start a fresh one the way a new run would.
        fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, kPrivateFileMode);
        if (fd >= 0) {
            line = Banner(now) + line;
        } else if (errno == EEXIST) {
            fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        }
    }
    if (fd >= 0) {
        WriteAll(fd, line);
        ::close(fd);
    }

    if (stderrChannel_)
        WriteAll(STDERR_FILENO, message + "\r\n");

    struct stat status {};
    if (::stat(path_.c_str(), &status) == 0 && static_cast<uint64_t>(status.st_size) > maxSize_) {
        char archive[80];
        const struct tm at = Local(Now());
        std::snprintf(archive, sizeof archive, ".%04d%02d%02d.%02d%02d.log", at.tm_year + 1900, at.tm_mon + 1,
                      at.tm_mday, at.tm_hour, at.tm_min);
        RenameNoReplace(path_, path_ + archive);
    }
}

AppLog* TheLog() {
    return g_log.load();
}

void SetTheLog(AppLog* log) {
    g_log.store(log);
}

void LogLine(const char* format, ...) {
    AppLog* log = TheLog();
    if (!log || !Settings().WriteLog)
        return;
    va_list args;
    va_start(args, format);
    log->WriteV(format, args);
    va_end(args);
}

}  // namespace quillon
