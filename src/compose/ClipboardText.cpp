#include "compose/ClipboardText.h"

#include <mutex>

#include "core/StringIds.h"
#include "core/StringTable.h"
#include "core/TextUtil.h"
#include "store/MessageStore.h"
#include "store/MessageType.h"

namespace quillon {

namespace {

constexpr size_t kMaxApiIdBytes = 32;

std::mutex gClipboardMutex;
ClipboardSink gClipboardSink;

// Kinds whose content is not copied as text.
bool CopiedAsBinary(int32_t type) {
    switch (static_cast<MessageType>(type)) {
        case MessageType::Flash:
        case MessageType::NokiaRingtone:
        case MessageType::NokiaPicMsg:
        case MessageType::NokiaOperatorLogo:
        case MessageType::NokiaVCard:
        case MessageType::NokiaVCal:
            return true;
        default:
            return false;
    }
}

// The gateway ids of a row: ApiMsgID holds ",ID: x,ID: y"; each is shown without its "ID: ".
std::string GatewayIds(const std::string& apiMsgId) {
    std::string ids;
    if (apiMsgId.size() <= 1)
        return ids;
    std::string rest = apiMsgId.substr(1);
    size_t pos = 0;
    bool first = true;
    while (true) {
        size_t comma = rest.find(',', pos);
        std::string entry = rest.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (entry.size() >= 4 && EqualsIgnoreCase(entry.substr(0, 4), "ID: "))
            entry = entry.substr(4);
        if (!first)
            ids += ",";
        ids += entry.substr(0, kMaxApiIdBytes);
        first = false;
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    return ids;
}

}  // namespace

std::optional<std::string> ClipboardTextOfSms(MessageStore& store, int32_t id) {
    std::lock_guard<std::recursive_mutex> lock(store.SmsLock());  // the row and its contacts as one state
    SmsRecord r;
    if (!store.Outbox().GetSms(id, r))
        return std::nullopt;
    std::string text =
        FormatResourceString(kIdClipboardHead, {FormatSmsTime(r.Time), StatusDisplayName(r.Stat), r.Charge});
    text += store.Outbox().SendingFormOfRecipients(r.To);
    text += LoadResourceString(kIdClipboardMessage);
    text += CopiedAsBinary(r.Type) ? LoadResourceString(kIdBinaryMessage) : r.Msg;
    text += LoadResourceString(kIdClipboardApiId);
    text += GatewayIds(r.ApiMsgID);
    text += "\r\n";
    return text;
}

bool CopySmsToClipboard(MessageStore& store, int32_t id) {
    auto text = ClipboardTextOfSms(store, id);
    if (!text)
        return false;
    ClipboardSink sink;
    {
        std::lock_guard<std::mutex> lock(gClipboardMutex);
        sink = gClipboardSink;
    }
    return sink && sink(*text);
}

void SetClipboardSink(ClipboardSink sink) {
    std::lock_guard<std::mutex> lock(gClipboardMutex);
    gClipboardSink = std::move(sink);
}

}  // namespace quillon
