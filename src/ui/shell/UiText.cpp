#include "ui/shell/UiText.h"

namespace quillon {

std::string UiText(int id) {
    return LoadResourceString(id);
}

QString Text(int id) {
    return QString::fromStdString(LoadResourceString(id));
}

QString FormatText(int id, std::initializer_list<FormatArg> args) {
    return QString::fromStdString(FormatResourceString(id, args));
}

}  // namespace quillon
