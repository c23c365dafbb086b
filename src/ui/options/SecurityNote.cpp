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
    // One short line each on the pane; the whole explanation in the tooltip.
    QStringList lines, details;
    const AppSettings& s = Settings();
    if (SendsPasswordInClear(s.COMBaseURL)) {
        lines << Text(kTextGatewayInClearShort);
        details << FormatText(kTextGatewayInClear, {s.COMBaseURL});
    }
    const std::string dir = DataDirectory();
    const PlaceSafety place = CheckPlace(dir);
    if (place == PlaceSafety::kReadableByOthers || place == PlaceSafety::kWritableByOthers) {
        lines << Text(kTextDataDirExposedShort);
        details << FormatText(kTextDataDirExposed, {dir});
    }
    const bool keyring = SecretStoreAvailable();
    lines << Text(keyring ? kTextPasswordsInKeyring : kTextPasswordsInFileShort);
    details << Text(keyring ? kTextPasswordsInKeyring : kTextPasswordsInFile);
    setText(lines.join('\n'));
    setToolTip(details.join("\n\n"));
    setAccessibleDescription(details.join('\n'));
    QFont f = font();
    f.setBold(lines.size() > 1);
    setFont(f);
}

}  // namespace quillon
