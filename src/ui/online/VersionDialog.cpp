#include "ui/online/VersionDialog.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QVBoxLayout>
#include <QtGlobal>

#include "core/AppSettings.h"
#include "gateway/GatewayApi.h"
#include "online/UpdateVersion.h"
#include "ui/shell/UiText.h"

namespace quillon {

QString VersionDialog::CommsLine(const std::string& commsVersion) {
    return FormatText(kIdCommsLine, {commsVersion.size() > 4 ? commsVersion.substr(4) : std::string()});
}

VersionDialog::VersionDialog(const std::string& commsVersion, QWidget* parent) : QDialog(parent) {
    setObjectName("versionDialog");
    setWindowTitle(Text(kTextVersionTitle));
    setAccessibleName(Text(kTextVersionTitle));
    const VersionNumbers v = RunningVersion();
    struct Line {
        const char* name;
        QString text;
    };
    const Line lines[] = {
        {"versionProgram", Text(Settings().client_id == "QLNX" ? kIdAppTitle : kIdAppTitleGeneric)},
        {"versionNumbers", FormatText(kIdVersionLine, {v[0], v[1], v[2], v[3]})},
        {"versionComms", CommsLine(commsVersion)},
        {"versionQt", FormatText(kTextVersionQt, {std::string(qVersion())})},
        {"versionSqlite", FormatText(kTextVersionSqlite, {SqliteVersionText()})},
        {"versionCurl", FormatText(kTextVersionCurl, {CurlVersionText()})},
    };
    auto* layout = new QVBoxLayout(this);
    for (const Line& line : lines) {
        auto* label = new QLabel(line.text, this);
        label->setObjectName(line.name);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (lines_.isEmpty())
            label->setStyleSheet("QLabel { font-weight: bold; font-size: 11pt; }");
        layout->addWidget(label);
        lines_ << line.text;
    }
    layout->addSpacing(8);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Text(kTextOk));
    buttons->button(QDialogButtonBox::Ok)->setObjectName("versionOk");
    copy_ = buttons->addButton(Text(kTextCopy), QDialogButtonBox::ActionRole);
    copy_->setObjectName("versionCopy");
    copy_->setAccessibleName(Text(kTextCopy).remove('&'));
    connect(copy_, &QPushButton::clicked, this, [this] {
        if (QClipboard* clipboard = QGuiApplication::clipboard())
            clipboard->setText(Report());
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    setMinimumWidth(320);
}

QString VersionDialog::Report() const {
    return lines_.join('\n');
}

void ShowVersionDialog(QWidget* parent) {
    std::string version;
    if (GatewayHandle gateway = GatewayApi::Instance()) {
        if (gateway->Version(false, version) < 0)
            version.clear();
    }
    VersionDialog dialog(version, parent);
    dialog.exec();
}

}  // namespace quillon
