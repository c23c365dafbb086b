// Placeholders for contact fields in a message text, replaced recipient by recipient at send time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "store/ContactRecord.h"

namespace quillon {

class MessageStore;

// In replacement order: FIRSTNAME, SURNAME, TITLE, CUSTOM.
enum class Placeholder : int { FirstName = 0, Surname = 1, Title = 2, Custom = 3 };
constexpr int kPlaceholderCount = 4;

// String ids of the tokens ("<<FIRSTNAME>>" 1029, "<<SURNAME>>" 1030, "<<TITLE>>" 1031, "<<CUSTOM>>" 1032).
int PlaceholderTokenId(Placeholder placeholder);
// The token text from the string table, so a translation may change it.
std::string PlaceholderToken(Placeholder placeholder);

// Inserts `token` (a placeholder token, or the signature text) at character `caretPos` of the text and
// returns the caret behind it.
size_t InsertPlaceholder(std::string& text, size_t caretPos, const std::string& token);

// The values that replace the tokens for one recipient.
struct PlaceholderValues {
    std::string name;
    std::string surname;
    std::string title;
    std::string custom;
};
PlaceholderValues ValuesOfContact(const ContactRecord& contact);

// Replaces every token by its value, token by token in the fixed order. Within one token's pass the
// search resumes after each inserted value, so a value holding that token is not expanded again;
// each later pass scans the whole text anew. An empty value removes the token.
void ExpandPlaceholders(const PlaceholderValues& values, std::string& text);
void ExpandPlaceholders(const ContactRecord& contact, std::string& text);
// Looks the contact up in the store; a contact id that names no contact leaves the text unchanged
// (and gives false).
bool ExpandPlaceholders(MessageStore& store, int32_t contactId, std::string& text);

// Positive when the message must be sent recipient by recipient: 4 for any gateway kind other than 0,
// otherwise the sum over the four tokens of (byte position of the first occurrence + 1), missing
// tokens counting 0. So 0 exactly when a plain text holds no token.
int64_t HasPlaceholders(long gatewayKindCode, const std::string& text);

}  // namespace quillon
