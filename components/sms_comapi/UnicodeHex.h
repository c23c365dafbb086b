// The text of a Unicode message as the gateway takes it: UCS-2 big-endian in hexadecimal.
#pragma once

#include <string>

namespace quillon::comapi {

// "Hé" -> "004800E9"; characters beyond the basic plane become surrogate pairs; a byte that is
// not part of valid UTF-8 becomes U+FFFD.
std::string EncodeUcs2Hex(const std::string& utf8);

}  // namespace quillon::comapi
