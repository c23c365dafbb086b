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

namespace quillon {

class SessionUi;

struct ProxyChoice {
    int32_t type = 1;
    std::string host, port, user, password;
};

constexpr int32_t kProxyUnchanged = -1;

// Whether applying `choice` has anything to do: the kind changed; for kind 4 the host (letter
// case ignored), port, user name or password changed (up to 255 characters each); or a test was
// asked for.
bool ProxyChoiceNeedsApply(const ProxyChoice& choice, bool test);

// Stores the choice in the settings and hands it to the gateway with verification, under the wait
// cursor; a successful test is confirmed with a box. Returns kProxyUnchanged when nothing needed
// doing, else the gateway's code (0 = success; failures were shown by the session).
int32_t ApplyProxyChoice(const ProxyChoice& choice, bool test, QWidget* parent, SessionUi& ui);

class ProxyDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProxyDialog(QWidget* parent = nullptr);

    ProxyChoice Choice() const;
    // OK: applies when something changed, then closes (it stays open when the gateway refused).
    void Apply();
    void Test();
    int32_t LastCode() const { return lastCode_; }

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
};

// Fills a kind list with the four connection kinds (item data 1 to 4).
void FillProxyKinds(QComboBox* list);

}  // namespace quillon
