// Values written to the log cannot break a line or steer a terminal: control characters become escapes.
#pragma once

#include <string>

namespace quillon {

// "\n", "\r", "\t" and "\\" written as those two-character escapes; every other C0 control and DEL as
// "\xHH" (lower-case hex); the C1 controls and the line and paragraph separators (U+0080..U+009F,
// U+2028, U+2029) as "\uHHHH". Everything else, UTF-8 included, is kept byte for byte.
std::string EscapeLogText(const std::string& text);

}  // namespace quillon
