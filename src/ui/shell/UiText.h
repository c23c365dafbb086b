// Texts of the desktop shell, looked up by id in the string table (and the language module).
#pragma once

#include <QString>
#include <initializer_list>
#include <string>

#include "core/StringIds.h"
#include "core/StringTable.h"

namespace quillon {

// The text of `id` from the string table (ids of core/StringIds.h).
std::string UiText(int id);
QString Text(int id);
QString FormatText(int id, std::initializer_list<FormatArg> args);
inline QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
inline std::string S(const QString& text) {
    return text.toStdString();
}

}  // namespace quillon
