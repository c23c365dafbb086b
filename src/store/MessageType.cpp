#include "store/MessageType.h"

#include "core/StringIds.h"
#include "core/StringTable.h"

namespace quillon {

namespace {

std::array<std::string, kMessageTypeCount>& NameTable() {
    static std::array<std::string, kMessageTypeCount> names = {"Text",           "Flash",         "Unicode",
                                                               "Nokia Ringtone", "Nokia Pic Msg", "Nokia Operator Logo",
                                                               "Nokia vCard",    "Nokia vCal",    "Binary"};
    return names;
}

}  // namespace

const std::array<std::string, kMessageTypeCount>& MessageTypeNames() {
    return NameTable();
}

void ReloadMessageTypeNames() {
    auto& names = NameTable();
    for (int code = 0; code < kMessageTypeCount; ++code)
        names[code] = LoadResourceString(kIdFirstMessageTypeName + code);
}

std::string MessageTypeName(int32_t type) {
    if (type < 0 || type >= kMessageTypeCount)
        return std::string();
    return NameTable()[type];
}

long GatewayKindCode(int32_t type) {
    switch (static_cast<MessageType>(type)) {
        case MessageType::Text:
            return 0;
        case MessageType::Flash:
            return 1;
        case MessageType::Unicode:
            return 0;  // the send engine encodes the text itself
        case MessageType::NokiaRingtone:
            return 6;
        case MessageType::NokiaPicMsg:
            return 5;
        case MessageType::NokiaOperatorLogo:
            return 3;
        case MessageType::NokiaVCard:
            return 8;
        case MessageType::NokiaVCal:
            return 9;
        default:
            return 0;  // Binary and anything unknown go as plain text
    }
}

bool IsFileBasedType(int32_t type) {
    return type == static_cast<int32_t>(MessageType::NokiaVCard) ||
           type == static_cast<int32_t>(MessageType::NokiaVCal);
}

uint32_t LayoutMask(int32_t type) {
    switch (type) {
        case static_cast<int32_t>(MessageType::Text):
        case static_cast<int32_t>(MessageType::Flash):
        case static_cast<int32_t>(MessageType::Unicode):
            return kLayoutNameButton | kLayoutTitleButton | kLayoutSurnameButton | kLayoutCustomButton |
                   kLayoutSignatureButton | kLayoutMessageText;
        case static_cast<int32_t>(MessageType::NokiaVCard):
        case static_cast<int32_t>(MessageType::NokiaVCal):
            return kLayoutBrowseButton | kLayoutPathField;
        default:
            return 0;
    }
}

}  // namespace quillon
