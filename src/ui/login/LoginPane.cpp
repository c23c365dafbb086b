#include "ui/login/LoginPane.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

#include "core/AppSettings.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "ui/shell/Accessibility.h"
#include "ui/shell/CheckControl.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/UiServices.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

bool HasNonBlank(const QString& text) {
    for (QChar c : text)
        if (c != ' ')
            return true;
    return false;
}

// Enter in a field of the recovery dialog moves the focus on (when the field is not empty) and is
// never taken by the dialog as a press of its default button.
class EnterMovesFocus : public QObject {
public:
    EnterMovesFocus(QLineEdit* from, QWidget* to) : QObject(from), from_(from), to_(to) {
        from->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        if (!from_->text().isEmpty())
            to_->setFocus();
        return true;
    }

private:
    QLineEdit* from_;
    QWidget* to_;
};

// Asks the gateway to mail the password; true when it accepted. Runs on a worker thread: the call
// and the smsERROR read that judges it are one unit under the binding's lock.
bool SendRecoveryRequest(const std::string& user, const std::string& email) {
    GatewayHandle gateway = GatewayApi::Instance();
    if (!gateway)
        return false;
    auto guard = gateway->Guard();
    std::string reply;
    int32_t error = -1;
    return gateway->RecoverPassword(user, email, reply) >= 0 && gateway->Get_smsERROR(error) >= 0 && error == 0;
}

// Results of the recovery dialog besides Rejected: the request ended, one way or the other.
enum RecoveryResult { kRecoverySent = 2, kRecoveryNotSent = 3 };

using RecoveryStarter = std::function<void(std::string, std::string, std::function<void(bool)>)>;

// The recovery dialog: user name and e-mail address; OK asks the gateway to mail the password,
// through `start`, while the dialog stays responsive. Returns the status text for the login pane.
QString RunRecoveryDialog(QWidget* parent, const RecoveryStarter& start) {
    QDialog dialog(parent);
    dialog.setObjectName("recoveryDialog");
    dialog.setWindowTitle(Text(kTextRecoveryTitle));
    dialog.setStyleSheet(ShellStyle::PaneStyleSheet());
    auto* layout = new QVBoxLayout(&dialog);
    auto* intro = new QLabel(Text(kTextRecoveryIntro), &dialog);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    auto* user = new QLineEdit(&dialog);
    user->setObjectName("recoveryUser");
    user->setAccessibleName(Text(kTextRecoveryUser));
    user->setMaxLength(31);
    auto* email = new QLineEdit(&dialog);
    email->setObjectName("recoveryEmail");
    email->setAccessibleName(Text(kTextRecoveryEmail));
    email->setMaxLength(127);
    form->addRow(Text(kTextRecoveryUser), user);
    form->addRow(Text(kTextRecoveryEmail), email);
    layout->addLayout(form);
    auto* busy = new QProgressBar(&dialog);
    busy->setObjectName("recoveryBusy");
    busy->setAccessibleName(Text(kTextBusyName));
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setMaximumHeight(6);
    busy->hide();
    layout->addWidget(busy);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(Text(kTextOk));
    ok->setEnabled(false);
    ok->setObjectName("recoveryOk");
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(Text(kTextCancel));
    cancel->setProperty("secondary", true);
    layout->addWidget(buttons);
    bool running = false;
    auto update = [&] { ok->setEnabled(!running && HasNonBlank(user->text()) && HasNonBlank(email->text())); };
    QObject::connect(user, &QLineEdit::textChanged, &dialog, update);
    QObject::connect(email, &QLineEdit::textChanged, &dialog, update);
    new EnterMovesFocus(user, email);
    new EnterMovesFocus(email, ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        if (running)
            return;
        running = true;
        for (QWidget* w : {static_cast<QWidget*>(user), static_cast<QWidget*>(email), static_cast<QWidget*>(ok)})
            w->setEnabled(false);
        busy->show();
        dialog.setCursor(Qt::BusyCursor);
        cancel->setFocus();
        // Cancel or closing leaves the request to finish on its own; its answer then finds no dialog.
        QPointer<QDialog> target(&dialog);
        start(S(user->text()), S(email->text()), [target](bool sent) {
            if (target)
                target->done(sent ? kRecoverySent : kRecoveryNotSent);
        });
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.setMinimumWidth(380);
    const int result = dialog.exec();
    if (result != kRecoverySent && result != kRecoveryNotSent)
        return QString();
    return Text(result == kRecoverySent ? kIdPasswordSent : kIdPasswordNotSent);
}

}  // namespace

LoginPane::LoginPane(QWidget* parent) : Pane(parent) {
    setObjectName("loginPane");
    setFixedSize(400, 262);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 20, 28, 16);
    layout->setSpacing(10);
    auto* heading = new QLabel(Text(kTextLoginHeading), this);
    heading->setObjectName("loginHeading");
    heading->setStyleSheet("QLabel { color: #0f4c81; font-size: 12pt; font-weight: bold; }");
    layout->addWidget(heading);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    user_ = new QLineEdit(this);
    user_->setObjectName("loginUser");
    password_ = new QLineEdit(this);
    password_->setObjectName("loginPassword");
    password_->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : {user_, password_})
        edit->setMaxLength(127);
    auto* userLabel = new QLabel(Text(kTextLoginUser), this);
    LabelField(userLabel, user_, 'u');
    auto* passwordLabel = new QLabel(Text(kTextLoginPassword), this);
    LabelField(passwordLabel, password_, 'p');
    grid->addWidget(userLabel, 0, 0);
    grid->addWidget(user_, 0, 1, 1, 3);
    grid->addWidget(passwordLabel, 1, 0);
    grid->addWidget(password_, 1, 1, 1, 3);
    remember_ = new CheckControl(this);
    remember_->setObjectName("rememberPassword");
    remember_->setToolTip(Text(kTextRememberTip));
    offline_ = new CheckControl(this);
    offline_->setObjectName("workOffline");
    auto* rememberLabel = new QLabel(Text(kTextLoginRemember), this);
    auto* offlineLabel = new QLabel(Text(kTextLoginOffline), this);
    LabelField(rememberLabel, remember_, 'r');
    LabelField(offlineLabel, offline_, 'w');
    grid->addWidget(rememberLabel, 2, 0);
    grid->addWidget(remember_, 2, 1);
    grid->addWidget(offlineLabel, 3, 0);
    grid->addWidget(offline_, 3, 1);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);

    status_ = new QLabel(this);
    status_->setObjectName("loginStatus");
    status_->setWordWrap(true);
    status_->setMinimumHeight(30);
    status_->setStyleSheet("QLabel { color: #c0392b; }");
    layout->addWidget(status_);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    forgot_ = new QPushButton(Mnemonic(Text(kTextForgotPassword), 'f'), this);
    forgot_->setObjectName("forgotPassword");
    forgot_->setProperty("flat-link", true);
    forgot_->setCursor(Qt::PointingHandCursor);
    ok_ = new QPushButton(Text(kTextOk), this);
    ok_->setObjectName("loginOk");
    ok_->setMinimumWidth(96);
    ok_->setDefault(true);
    buttons->addWidget(forgot_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    layout->addLayout(buttons);

    connect(user_, &QLineEdit::textChanged, this, &LoginPane::UpdateOkButton);
    connect(password_, &QLineEdit::textChanged, this, &LoginPane::UpdateOkButton);
    connect(user_, &QLineEdit::returnPressed, this, [this] {
        if (!user_->text().isEmpty())
            password_->setFocus();
    });
    connect(password_, &QLineEdit::returnPressed, this, [this] {
        if (!password_->text().isEmpty() && ok_->isEnabled())
            Accept();
    });
    connect(ok_, &QPushButton::clicked, this, &LoginPane::Accept);
    connect(forgot_, &QPushButton::clicked, this, &LoginPane::RecoverForgottenPassword);
    UpdateOkButton();
}

void LoginPane::Open() {
    const AppSettings& s = Settings();
    remember_->SetTicked(s.RememberPassword);
    offline_->SetTicked(false);
    if (s.RememberPassword) {
        user_->setText(Q(s.Login));
        password_->setText(Q(s.Password));
    }
    if (!s.Login.empty() && !s.Password.empty() && s.RememberPassword && !s.WorkingOnLine)
        offline_->SetTicked(true);
    status_->clear();
    UpdateOkButton();
}

void LoginPane::UpdateOkButton() {
    ok_->setEnabled(HasNonBlank(user_->text()) && HasNonBlank(password_->text()));
}

void LoginPane::FocusInitial() {
    // Always the user name: with a remembered account, Enter there and again in the password box
    // logs in.
    user_->setFocus();
}

bool LoginPane::Accept() {
    if (!ok_->isEnabled())
        return false;
    const std::string login = S(user_->text());
    const std::string password = S(password_->text());
    AppSettings& s = Settings();
    s.RememberPassword = remember_->IsTicked();
    s.WorkingOnLine = !offline_->IsTicked();
    bool accepted = false;
    if (s.WorkingOnLine) {
        bool wasOnLine = IsOnLine();
        SetOnLine(true);
        accepted = LogInToGateway(login, password, sessionUi_ ? *sessionUi_ : TheSessionUi());
        if (!accepted)
            SetOnLine(wasOnLine);
    } else {
        // Off line the account last accepted must be typed exactly; no gateway traffic.
        accepted = login == s.Login && password == s.Password;
        if (accepted)
            SetOnLine(false);
    }
    if (!accepted) {
        status_->setText(Text(kIdUnknownLogin));
        return false;
    }
    s.Login = login;
    s.Password = password;
    SaveLoginSettings();
    status_->clear();
    emit loggedIn();
    return true;
}

void LoginPane::RecoverForgottenPassword() {
    if (Settings().client_id != "QLNX") {
        OpenWebPage(Settings().help_url);
        return;
    }
    status_->setText(
        RunRecoveryDialog(this, [this](std::string user, std::string email, std::function<void(bool)> done) {
            StartRecovery(std::move(user), std::move(email), std::move(done));
        }));
}

void LoginPane::StartRecovery(std::string user, std::string email, std::function<void(bool)> done) {
    const int id = nextRecovery_++;
    Recovery& recovery = recoveries_[id];
    recovery.done = std::move(done);
    // The pane joins every request before it goes, so `this` outlives the thread; the queued answer
    // is dropped with the pane's posted events when the pane is gone.
    recovery.thread = std::thread([this, id, user = std::move(user), email = std::move(email)] {
        const bool sent = SendRecoveryRequest(user, email);
        QMetaObject::invokeMethod(
            this, [this, id, sent] { FinishRecovery(id, sent); }, Qt::QueuedConnection);
    });
}

void LoginPane::FinishRecovery(int id, bool sent) {
    auto it = recoveries_.find(id);
    if (it == recoveries_.end())
        return;
    it->second.thread.join();  // its last step was posting this call
    std::function<void(bool)> done = std::move(it->second.done);
    recoveries_.erase(it);
    if (done)
        done(sent);
}

LoginPane::~LoginPane() {
    // A request still waiting for the gateway ends within the gateway's time limit.
    for (auto& entry : recoveries_)
        entry.second.thread.join();
}

void LoginPane::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ShellStyle::kBorder, 1));
    p.setBrush(ShellStyle::kCard);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(ShellStyle::kHighlight);
    p.drawRoundedRect(QRectF(28, 0, 44, 3), 1.5, 1.5);
}

}  // namespace quillon
