// "Version information": the program's name by edition, its four version numbers, the gateway
// component's version, and the Qt, SQLite and libcurl versions, with a Copy button for bug reports.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <string>

namespace quillon {

class VersionDialog : public QDialog {
    Q_OBJECT
public:
    // `commsVersion` is the component's version text as it reports it.
    VersionDialog(const std::string& commsVersion, QWidget* parent = nullptr);

    // "Comms: " and the version text without its first four characters.
    static QString CommsLine(const std::string& commsVersion);
    // Every line, as Copy puts them on the clipboard.
    QString Report() const;
    QPushButton* CopyButton() const { return copy_; }

private:
    QStringList lines_;
    QPushButton* copy_;
};

// The dialog for the tray menu: asks the gateway component for its version, then shows it modally.
void ShowVersionDialog(QWidget* parent);

}  // namespace quillon
