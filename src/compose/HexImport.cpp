#include "compose/HexImport.h"

#include "core/StringTable.h"

namespace quillon {

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
    (void)path;
    (void)hexText;
    failure = HexImportFailure::FilenameTooShort;
    return false;
}

std::string HexImportFailureCaption() {
    return LoadResourceString(1339);
}

std::string HexImportFailureText(const std::string& path, HexImportFailure failure) {
    (void)failure;
    return FormatResourceString(1340, {path});
}

}  // namespace quillon
