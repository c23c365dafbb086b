#include "store/MessageStatus.h"

#include "store/SmsRecord.h"

namespace quillon {
void LoadStatusNames() {}
std::string StatusDisplayName(int32_t) {
    return "";
}
std::string StatusExplanation(int32_t) {
    return "";
}
std::string FormatSmsTime(int32_t) {
    return "";
}
}  // namespace quillon
