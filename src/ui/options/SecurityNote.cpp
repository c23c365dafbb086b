#include "ui/options/SecurityNote.h"

#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "core/LinkPolicy.h"
#include "core/PrivateFiles.h"
#include "core/SecretStore.h"
#include "ui/shell/UiText.h"

namespace quillon {

SecurityNote::SecurityNote(QWidget* parent) : QLabel(parent) {
    setObjectName("securityNote");
    setAccessibleName(Text(kTextSecurityCaption));
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    setFont(small);
    Refresh();
}

void SecurityNote::Refresh() {
    QStringList lines;
    const AppSettings& s = Settings();
    if (SendsPasswordInClear(s.COMBaseURL))
        lines << FormatText(kTextGatewayInClear, {s.COMBaseURL});
    const std::string dir = DataDirectory();
    const PlaceSafety place = CheckPlace(dir);
    if (place == PlaceSafety::kReadableByOthers || place == PlaceSafety::kWritableByOthers)
        lines << FormatText(kTextDataDirExposed, {dir});
    lines << Text(SecretStoreAvailable() ? kTextPasswordsInKeyring : kTextPasswordsInFile);
    setText(lines.join('\n'));
    // Warnings in the palette's link colour would read as links: a plain bold marks them instead.
    QFont f = font();
    f.setBold(lines.size() > 1);
    setFont(f);
}

}  // namespace quillon
