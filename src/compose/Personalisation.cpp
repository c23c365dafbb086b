#include "compose/Personalisation.h"

#include "compose/MessageLength.h"
#include "core/StringIds.h"
#include "core/StringTable.h"
#include "store/MessageStore.h"

namespace quillon {

namespace {

void ReplaceAll(std::string& text, const std::string& token, const std::string& value) {
    if (token.empty())
        return;
    size_t pos = text.find(token);
    while (pos != std::string::npos) {
        text.replace(pos, token.size(), value);
        // Resume behind the inserted value: a value holding the token stays as it is.
        pos = text.find(token, pos + value.size());
    }
}
}  // namespace

int PlaceholderTokenId(Placeholder placeholder) {
    return kIdFirstPlaceholder + static_cast<int>(placeholder);
}

std::string PlaceholderToken(Placeholder placeholder) {
    return LoadResourceString(PlaceholderTokenId(placeholder));
}

size_t InsertPlaceholder(std::string& text, size_t caretPos, const std::string& token) {
    const size_t count = CharacterCount(text);
    if (caretPos > count)
        caretPos = count;
    text.insert(ByteOffsetOfCharacter(text, caretPos), token);
    // The token's own length, so a translated token keeps the caret behind it.
    return caretPos + CharacterCount(token);
}

PlaceholderValues ValuesOfContact(const ContactRecord& contact) {
    return PlaceholderValues{contact.Name, contact.Surname, contact.Title, contact.Custom};
}

void ExpandPlaceholders(const PlaceholderValues& values, std::string& text) {
    ReplaceAll(text, PlaceholderToken(Placeholder::FirstName), values.name);
    ReplaceAll(text, PlaceholderToken(Placeholder::Surname), values.surname);
    ReplaceAll(text, PlaceholderToken(Placeholder::Title), values.title);
    ReplaceAll(text, PlaceholderToken(Placeholder::Custom), values.custom);
}

void ExpandPlaceholders(const ContactRecord& contact, std::string& text) {
    ExpandPlaceholders(ValuesOfContact(contact), text);
}

bool ExpandPlaceholders(MessageStore& store, int32_t contactId, std::string& text) {
    ContactRecord contact;
    if (!store.Book().LoadContact(contactId, contact))
        return false;
    ExpandPlaceholders(contact, text);
    return true;
}

int64_t HasPlaceholders(long gatewayKindCode, const std::string& text) {
    if (gatewayKindCode != 0)
        return 4;
    int64_t sum = 0;
    for (int i = 0; i < kPlaceholderCount; ++i) {
        const std::string token = PlaceholderToken(static_cast<Placeholder>(i));
        if (token.empty())
            continue;
        const size_t pos = text.find(token);
        if (pos != std::string::npos)
            sum += static_cast<int64_t>(pos) + 1;
    }
    return sum;
}

}  // namespace quillon
