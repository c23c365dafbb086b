// SHA-256 of bytes or of a file, as 64 lower-case hex digits; an update package is started only
// when its digest matches the one its version file publishes.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

class Sha256 {
public:
    Sha256();
    void Add(const void* data, size_t length);
    std::string HexDigest();  // ends the hash; call once

private:
    void Block(const uint8_t* block);
    uint32_t h_[8];
    uint8_t buffer_[64];
    size_t used_ = 0;
    uint64_t length_ = 0;
};

std::string Sha256Hex(const std::string& bytes);
// "" when the file cannot be read.
std::string Sha256OfFile(const std::string& path);

}  // namespace quillon
