// The program's texts: a compiled-in English table keyed by numeric id, optionally replaced
// per id by the language module (Language.dll in the data directory).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace quillon {

// One insert of a message-format text: either text or a number.
class FormatArg {
public:
    FormatArg(const char* text) : isText_(true), text_(text ? text : "") {}
    FormatArg(const std::string& text) : isText_(true), text_(text) {}
    FormatArg(int n) : number_(n) {}
    FormatArg(long n) : number_(n) {}
    FormatArg(long long n) : number_(n) {}
    FormatArg(unsigned n) : number_(n) {}
    FormatArg(unsigned long n) : number_(static_cast<long long>(n)) {}

    bool IsText() const { return isText_; }
    const std::string& Text() const { return text_; }
    long long Number() const { return number_; }

private:
    bool isText_ = false;
    std::string text_;
    long long number_ = 0;
};

// The text of string `id`, or "String [id]" when no table holds it.
std::string LoadResourceString(int id);

// Fills the message-format inserts of `format`: "%1!s!", "%2!d!", "%1!02d!", plain "%1", "%%".
// An unnumbered printf conversion ("%d", "%s", as in "Outbox (%d)") takes the arguments in order.
// An insert without its argument stays in the text as written.
std::string FormatMessageText(const std::string& format, std::initializer_list<FormatArg> args);

// LoadResourceString(id) formatted with `args`.
std::string FormatResourceString(int id, std::initializer_list<FormatArg> args = {});

// Loads the language module at `path`; its strings replace the built-in ones id by id.
// Returns false (and keeps the built-in table) when the file is missing or unreadable.
bool LoadLanguageModule(const std::string& path);
void UnloadLanguageModule();

// Loads Language.dll from the data directory when the i18n setting is on; false when the
// built-in table stays in use.
bool LoadConfiguredLanguageModule();

}  // namespace quillon
