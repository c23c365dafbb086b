// Message kinds: the codes stored in an outbox row's Type, their display names, the kind code the
// gateway is given, and which compose fields each kind uses.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quillon {

// Stored as the integer Type of an outbox row; the same numbers are the item data of the kind selector.
enum class MessageType : int32_t {
    Text = 0,
    Flash = 1,
    Unicode = 2,
    NokiaRingtone = 3,
    NokiaPicMsg = 4,
    NokiaOperatorLogo = 5,
    NokiaVCard = 6,
    NokiaVCal = 7,
    Binary = 8,
};

constexpr int kMessageTypeCount = 9;

// The kinds the compose pane offers, in selector order.
constexpr std::array<MessageType, 5> kSelectableMessageTypes = {
    MessageType::Text, MessageType::Flash, MessageType::Unicode, MessageType::NokiaVCard, MessageType::NokiaVCal};

// Display names indexed by code. Filled with the English names on first use; ReloadMessageTypeNames
// takes them from the string table (start-up runs it after the language module is loaded).
const std::array<std::string, kMessageTypeCount>& MessageTypeNames();
void ReloadMessageTypeNames();
// The name of a stored Type; "" for a code outside 0 .. 8.
std::string MessageTypeName(int32_t type);

// The kind code handed to the gateway (smsMSG_TYPE). A Type outside 0 .. 7 maps to 0.
long GatewayKindCode(int32_t type);

// Kinds whose content is a file imported as hex text (vCard, vCal).
bool IsFileBasedType(int32_t type);

// Which compose fields are usable: one bit per field.
enum LayoutFlag : uint32_t {
    kLayoutNameButton = 1u << 0,
    kLayoutTitleButton = 1u << 1,
    kLayoutSurnameButton = 1u << 2,
    kLayoutCustomButton = 1u << 3,
    kLayoutSignatureButton = 1u << 4,
    kLayoutMessageText = 1u << 5,
    kLayoutBrowseButton = 1u << 6,
    kLayoutPathField = 1u << 7,
};
constexpr int kNoKindSelected = -1;

// 63 for the typed kinds 0, 1, 2; 192 for the file kinds 6, 7; 0 for no selection (kNoKindSelected)
// and for kinds the selector does not offer.
uint32_t LayoutMask(int32_t type);

}  // namespace quillon
