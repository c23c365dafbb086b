#include "compose/HexImport.h"

#include "core/AppSettings.h"
#include "core/SmsEncoding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "core/StringIds.h"
#include "core/StringTable.h"

namespace quillon {

namespace {

class FileCloser {
public:
    explicit FileCloser(int fd) : fd_(fd) {}
    ~FileCloser() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

private:
    int fd_;
};

// The text of a reason added after the classic four. A string table without it (an older language
// module, say) falls back to the nearest classic text rather than showing a placeholder.
std::string ReasonText(int id, int fallbackId, std::initializer_list<FormatArg> args) {
    std::string text = FormatResourceString(id, args);
    if (text == "String [" + std::to_string(id) + "]")
        return LoadResourceString(fallbackId);
    return text;
}

}  // namespace

std::string BytesToHex(const std::string& bytes) {
    static const char kAlphabet[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        hex.push_back(kAlphabet[b >> 4]);
        hex.push_back(kAlphabet[b & 15]);
    }
    return hex;
}

bool ImportFileAsHex(const std::string& path, std::string& hexText, HexImportFailure& failure) {
    if (path.empty()) {
        failure = HexImportFailure::FilenameTooShort;
        return false;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        failure = HexImportFailure::NoFileLength;
        return false;
    }
    // Only a regular file has a length worth reading: a fifo or device would block or never end.
    if (!S_ISREG(info.st_mode)) {
        failure = HexImportFailure::NotRegularFile;
        return false;
    }
    if (static_cast<uint64_t>(info.st_size) > kMaxHexImportBytes) {
        failure = HexImportFailure::TooLarge;
        return false;
    }
    // Non-blocking, in case the path was swapped for a fifo after the check; fstat confirms what we hold.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        failure = HexImportFailure::OpenFailed;
        return false;
    }
    FileCloser closer(fd);
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        failure = HexImportFailure::NotRegularFile;
        return false;
    }
    if (static_cast<uint64_t>(opened.st_size) > kMaxHexImportBytes) {
        failure = HexImportFailure::TooLarge;
        return false;
    }
    const auto size = static_cast<size_t>(opened.st_size);
    std::string bytes(size, '\0');
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, &bytes[got], size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got < size) {
        failure = HexImportFailure::ReadFailed;
        return false;
    }
    hexText = BytesToHex(bytes);
    return true;
}

std::string HexImportFailureCaption() {
    return LoadResourceString(kIdImportFailedCaption);
}

std::string HexImportFailureText(const std::string& path, HexImportFailure failure) {
    std::string text = FormatResourceString(kIdImportFailed, {path});
    const int reason = static_cast<int>(failure);
    switch (failure) {
        case HexImportFailure::FilenameTooShort:
        case HexImportFailure::NoFileLength:
        case HexImportFailure::OpenFailed:
        case HexImportFailure::ReadFailed:
            text += LoadResourceString(kIdFirstImportReason + reason);
            break;
        case HexImportFailure::NotRegularFile:
            text += ReasonText(kIdImportNotRegularFile, kIdFirstImportReason + 2, {});
            break;
        case HexImportFailure::TooLarge:
            text +=
                ReasonText(kIdImportTooLarge, kIdFirstImportReason + 3, {static_cast<long long>(kMaxHexImportBytes)});
            break;
        case HexImportFailure::TooLongForSms:
            text += ReasonText(
                kTextImportTooLongForSms, kIdFirstImportReason + 3,
                {static_cast<long long>(SmsUnitBudget(SmsAlphabet::kData, Settings().SpanSMS ? kMaxSmsParts : 1))});
            break;
        default:
            text += LoadResourceString(kIdUnknownImportReason);
            break;
    }
    return text;
}

}  // namespace quillon
