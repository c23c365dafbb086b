// The notification-area icon: tip, online and offline icons, left click to show the window, and
// the menu ("Display version information", "Check for latest updates", "Proxy Settings", "Exit").
// When a tray host appears again (the panel restarted) the icon is added again.
#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

namespace quillon {

class TrayController : public QObject {
    Q_OBJECT
public:
    // `hostCheckMs`: how often to look for a tray host that appeared or went away.
    explicit TrayController(QObject* parent = nullptr, int hostCheckMs = 3000);
    ~TrayController() override;

    void Add();  // adds the icon (when a tray host exists)
    void SetOnline(bool online);
    void SetTip(const QString& tip);
    bool HostAvailable() const { return hostAvailable_; }
    bool IsOnline() const { return online_; }
    QString Tip() const { return tip_; }

    QMenu* Menu() { return &menu_; }
    QAction* VersionAction() const { return version_; }
    QAction* UpdatesAction() const { return updates_; }
    QAction* ProxyAction() const { return proxy_; }
    QAction* ExitAction() const { return exit_; }
    QSystemTrayIcon* Icon() const { return icon_.get(); }

    // Looks for the tray host now (the timer does it regularly).
    void CheckHost();

signals:
    void showRequested();
    void hostAvailabilityChanged(bool available);

private:
    QIcon CurrentIcon() const;

    QMenu menu_;
    QAction* version_;
    QAction* updates_;
    QAction* proxy_;
    QAction* exit_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    QTimer hostTimer_;
    QString tip_;
    bool online_ = true;
    bool hostAvailable_ = false;
    bool added_ = false;
};

}  // namespace quillon
