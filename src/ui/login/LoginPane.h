// The login pane: the gateway account's user name and password, whether the password is
// remembered, and whether to work off line. Accepting logs in to the gateway or, off line,
// checks the entries against the stored account.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "ui/shell/Pane.h"

namespace quillon {

class CheckControl;
class SessionUi;

class LoginPane : public Pane {
    Q_OBJECT
public:
    explicit LoginPane(QWidget* parent = nullptr);
    ~LoginPane() override;

    // Fills the pane from the settings (Login, Password, RememberPassword, WorkingOnLine).
    void Open();
    // The OK action; true when the login succeeded (and loggedIn was emitted).
    bool Accept();
    // "Forgot Password": in the program's own edition asks for the account and its e-mail address
    // and has the gateway mail the password; in a distributor edition opens the help page.
    void RecoverForgottenPassword();

    void FocusInitial() override;
    void Activate() override { FocusInitial(); }

    QString StatusText() const { return status_->text(); }
    void SetSessionUi(SessionUi* ui) { sessionUi_ = ui; }

signals:
    void loggedIn();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void UpdateOkButton();
    // One password-recovery request on its own thread; `done` gets on the ui thread whether the
    // gateway mailed the password.
    void StartRecovery(std::string user, std::string email, std::function<void(bool)> done);
    void FinishRecovery(int id, bool sent);

    struct Recovery {
        std::thread thread;
        std::function<void(bool)> done;
    };

    QLineEdit* user_;
    QLineEdit* password_;
    CheckControl* remember_;
    CheckControl* offline_;
    QPushButton* ok_;
    QPushButton* forgot_;
    QLabel* status_;
    SessionUi* sessionUi_ = nullptr;
    std::map<int, Recovery> recoveries_;
    int nextRecovery_ = 0;
};

}  // namespace quillon
