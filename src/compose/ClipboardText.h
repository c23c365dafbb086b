// The clipboard copy of an outbox message, and the sink that puts it on the system clipboard.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quillon {

class MessageStore;

// The clipboard text of a message; nothing for an unknown id.
std::optional<std::string> ClipboardTextOfSms(MessageStore& store, int32_t id);

// Builds the clipboard text of a message and hands it to the clipboard sink that the user
// interface installed. False for an unknown id, without a sink, or when the sink fails.
bool CopySmsToClipboard(MessageStore& store, int32_t id);

// Puts text on the system clipboard; installed by the user interface. Returns whether it worked.
using ClipboardSink = std::function<bool(const std::string& text)>;
void SetClipboardSink(ClipboardSink sink);

}  // namespace quillon
