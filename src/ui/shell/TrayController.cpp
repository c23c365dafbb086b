#include "ui/shell/TrayController.h"

#include "ui/shell/ShellStyle.h"
#include "ui/shell/UiText.h"

namespace quillon {

TrayController::TrayController(QObject* parent, int hostCheckMs) : QObject(parent) {
    menu_.setObjectName("trayMenu");
    version_ = menu_.addAction(Text(kTextMenuVersion));
    version_->setObjectName("trayVersion");
    updates_ = menu_.addAction(Text(kTextMenuUpdates));
    updates_->setObjectName("trayUpdates");
    proxy_ = menu_.addAction(Text(kTextMenuProxy));
    proxy_->setObjectName("trayProxy");
    menu_.addSeparator();
    exit_ = menu_.addAction(Text(kTextMenuExit));
    exit_->setObjectName("trayExit");
    menu_.setDefaultAction(exit_);
    QFont bold = menu_.font();
    bold.setBold(true);
    exit_->setFont(bold);

    icon_ = std::make_unique<QSystemTrayIcon>(CurrentIcon());
    icon_->setContextMenu(&menu_);
    connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            emit showRequested();
    });
    hostAvailable_ = QSystemTrayIcon::isSystemTrayAvailable();
    hostTimer_.setInterval(hostCheckMs);
    connect(&hostTimer_, &QTimer::timeout, this, &TrayController::CheckHost);
    hostTimer_.start();
}

TrayController::~TrayController() {
    if (icon_)
        icon_->hide();
}

QIcon TrayController::CurrentIcon() const {
    return ShellStyle::Icon(online_ ? QStringLiteral("tray-online") : QStringLiteral("tray-offline"));
}

void TrayController::Add() {
    added_ = true;
    icon_->setIcon(CurrentIcon());
    icon_->setToolTip(tip_);
    icon_->show();
}

void TrayController::SetOnline(bool online) {
    online_ = online;
    icon_->setIcon(CurrentIcon());
}

void TrayController::SetTip(const QString& tip) {
    tip_ = tip.left(127);
    icon_->setToolTip(tip_);
}

void TrayController::CheckHost() {
    bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available == hostAvailable_)
        return;
    hostAvailable_ = available;
    if (available && added_) {
        // A new tray host knows nothing of the icon: add it again.
        icon_->hide();
        icon_->setIcon(CurrentIcon());
        icon_->show();
    }
    emit hostAvailabilityChanged(available);
}

}  // namespace quillon
