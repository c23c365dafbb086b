// SMS.dat: the magic number, then one scrambled stream of 52-byte headers and value texts.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "core/PrivateFiles.h"

namespace quillon {

namespace {

constexpr size_t kMaxKeyLength = 47;

// The scrambling stream; the same pass scrambles and unscrambles.
class Scrambler {
public:
    void Apply(uint8_t* bytes, size_t count) {
        static constexpr uint8_t kKey[8] = {0x5C, 0xA7, 0x13, 0xE9, 0x70, 0x2D, 0xB4, 0x00};
        for (size_t n = 0; n < count; ++n) {
            bytes[n] = static_cast<uint8_t>(bytes[n] ^ kKey[index_] ^ static_cast<uint8_t>(rolling_ % 256));
            if (++index_ == 8)
                index_ = 0;
            rolling_ += 5;
            if (rolling_ > 255)
                rolling_ -= 255;
        }
    }

private:
    size_t index_ = 0;
    unsigned rolling_ = 0;
};

// Keys are case-insensitive and at most 47 characters, as the file can hold them.
std::string NormaliseKey(const std::string& key) {
    std::string upper = key.substr(0, std::min(key.size(), kMaxKeyLength));
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

// The last whole UTF-8 character boundary at or before `limit`.
size_t Utf8Boundary(const std::string& text, size_t limit) {
    if (text.size() <= limit)
        return text.size();
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// "12abc" -> 12, "abc" -> 0, values beyond 32 bits saturate.
int32_t LeadingDecimal(const std::string& text) {
    errno = 0;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

}  // namespace

SettingsFile::~SettingsFile() {
    Close();
}

bool SettingsFile::Open(const std::string& path, bool saveOnClose) {
    path_ = path;
    saveOnClose_ = saveOnClose;
    open_ = true;
    return Load();
}

bool SettingsFile::Load() {
    map_.clear();
    FILE* file = std::fopen(path_.c_str(), "rb");
    if (!file)
        return false;
    uint8_t magic[4];
    if (std::fread(magic, 1, 4, file) != 4 ||
        (magic[0] | magic[1] << 8 | magic[2] << 16 | static_cast<uint32_t>(magic[3]) << 24) != kMagic) {
        std::fclose(file);
        return false;
    }
    Scrambler scrambler;
    uint8_t header[kHeaderSize];
    uint8_t value[kMaxValueSize];
    for (;;) {
        if (std::fread(header, 1, kHeaderSize, file) != kHeaderSize)
            break;
        scrambler.Apply(header, kHeaderSize);
        size_t nameLength = 0;
        while (nameLength < kMaxKeyLength && header[nameLength] != 0)
            ++nameLength;
        uint32_t length = header[48] | header[49] << 8 | header[50] << 16 | static_cast<uint32_t>(header[51]) << 24;
        // A longer value was never written by this program: what follows is not a record.
        if (length > kMaxValueSize)
            break;
        if (length > 0 && std::fread(value, 1, length, file) != length)
            break;
        scrambler.Apply(value, length);
        std::string name(reinterpret_cast<const char*>(header), nameLength);
        map_[NormaliseKey(name)] = std::string(reinterpret_cast<const char*>(value), length);
    }
    std::fclose(file);
    return true;
}

bool SettingsFile::Save() {
    if (path_.empty())
        return false;
    std::string bytes;
    bytes.reserve(4 + map_.size() * (kHeaderSize + 16));
    bytes += static_cast<char>(kMagic & 0xFF);
    bytes += static_cast<char>(kMagic >> 8 & 0xFF);
    bytes += static_cast<char>(kMagic >> 16 & 0xFF);
    bytes += static_cast<char>(kMagic >> 24 & 0xFF);
    for (const auto& [key, text] : map_) {
        uint8_t header[kHeaderSize] = {};
        std::memcpy(header, key.data(), std::min(key.size(), kMaxKeyLength));
        uint32_t length = static_cast<uint32_t>(text.size());
        header[48] = static_cast<uint8_t>(length);
        header[49] = static_cast<uint8_t>(length >> 8);
        header[50] = static_cast<uint8_t>(length >> 16);
        header[51] = static_cast<uint8_t>(length >> 24);
        bytes.append(reinterpret_cast<const char*>(header), kHeaderSize);
        bytes += text;
    }
    Scrambler scrambler;
    scrambler.Apply(reinterpret_cast<uint8_t*>(&bytes[4]), bytes.size() - 4);

    // A crash while saving must leave either the old file or the new one, never a cut-off file:
    // write a temporary file beside it, flush it to disk and rename it over the old one.
    std::string temp = path_ + ".XXXXXX";
    int fd = ::mkstemp(&temp[0]);
    if (fd < 0) {
        // A folder the user may not create files in, holding a file the user may write: rewrite it in place.
        if (errno != EACCES && errno != EROFS && errno != EPERM)
            return false;
        int inPlace = ::open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (inPlace < 0)
            return false;
        RestrictToOwner(inPlace);
        bool written =
            WriteAll(inPlace, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) && ::fsync(inPlace) == 0;
        return (::close(inPlace) == 0) && written;
    }
    // Passwords and the account live here: the file written is the user's alone, whatever mode the old one had.
    RestrictToOwner(fd);
    bool ok = WriteAll(fd, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(temp.c_str(), path_.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    int dir = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void SettingsFile::Close() {
    if (!open_)
        return;
    open_ = false;
    if (saveOnClose_)
        Save();
}

bool SettingsFile::GetString(const std::string& key, std::string& value, const std::string& defaultText) const {
    auto it = map_.find(NormaliseKey(key));
    if (it == map_.end() || it->second.empty()) {
        value = defaultText;
        return false;
    }
    value = it->second;
    return true;
}

bool SettingsFile::GetInt(const std::string& key, int32_t& value, int32_t defaultValue) const {
    auto it = map_.find(NormaliseKey(key));
    if (it == map_.end() || it->second.empty()) {
        value = defaultValue;
        return false;
    }
    value = LeadingDecimal(it->second);
    return true;
}

bool SettingsFile::GetBool(const std::string& key, bool& value, bool defaultValue) const {
    int32_t number = 0;
    bool found = GetInt(key, number, defaultValue ? 1 : 0);
    value = number != 0;
    return found;
}

void SettingsFile::SetString(const std::string& key, const std::string& text) {
    // A longer value could not be read back and would end every later load at its record.
    map_[NormaliseKey(key)] = text.substr(0, Utf8Boundary(text, kMaxValueSize));
}

void SettingsFile::SetInt(const std::string& key, int32_t number) {
    SetString(key, std::to_string(number));
}

bool SettingsFile::Has(const std::string& key) const {
    return map_.count(NormaliseKey(key)) != 0;
}

bool SettingsFile::Lookup(const std::string& key, std::string& value) const {
    auto it = map_.find(NormaliseKey(key));
    if (it == map_.end())
        return false;
    value = it->second;
    return true;
}

}  // namespace quillon
