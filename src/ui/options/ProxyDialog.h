// The proxy settings dialog: the four connection kinds with their descriptions, the proxy
// server's address, port and account, and "Test". The apply rules are shared with the options pane.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>
#include <string>

#include "gateway/Session.h"

namespace quillon {

// ApplyProxyChoice of the session, and a successful test confirmed with a box over `parent`.
int32_t ApplyProxyChoice(const ProxyChoice& choice, bool test, QWidget* parent, SessionUi& ui);
// The same, but a choice the gateway refused is undone (the settings as they were before the call
// come back) unless the user answers "Keep anyway".
int32_t TryProxyChoice(const ProxyChoice& choice, bool test, QWidget* parent, SessionUi& ui);

class ProxyDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProxyDialog(QWidget* parent = nullptr);

    ProxyChoice Choice() const;
    // OK: applies when something changed, then closes (it stays open when the gateway refused).
    void Apply();
    void Test();
    int32_t LastCode() const { return lastCode_; }
    // The settings as they were when the dialog opened; Cancel (and Escape) puts them back.
    const ProxyChoice& Opened() const { return opened_; }
    void reject() override;

private:
    void KindChanged();

    QComboBox* kind_;
    QLabel* description_;
    QLineEdit* host_;
    QLineEdit* port_;
    QLineEdit* user_;
    QLineEdit* password_;
    QPushButton* test_;
    int32_t lastCode_ = kProxyUnchanged;
    ProxyChoice opened_;
};

// The choice shown by a kind list and the four proxy fields (the dialog's and the options pane's).
ProxyChoice ReadProxyChoice(const QComboBox* kind, const QLineEdit* host, const QLineEdit* port, const QLineEdit* user,
                            const QLineEdit* password);

// Fills a kind list with the four connection kinds (item data 1 to 4).
void FillProxyKinds(QComboBox* list);

}  // namespace quillon
