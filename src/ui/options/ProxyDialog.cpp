#include "ui/options/ProxyDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QVBoxLayout>

#include "core/AppSettings.h"
#include "gateway/Session.h"
#include "ui/shell/Accessibility.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/UiServices.h"
#include "ui/shell/UiText.h"

namespace quillon {

int32_t ApplyProxyChoice(const ProxyChoice& choice, bool test, QWidget* parent, SessionUi& ui) {
    int32_t code = ApplyProxyChoice(choice, test, ui);
    if (code == 0 && test)
        ShowMessageById(parent, MessageIcon::Information, kIdProxyConfigCaption, kIdProxyConfigText);
    return code;
}

int32_t TryProxyChoice(const ProxyChoice& choice, bool test, QWidget* parent, SessionUi& ui) {
    ProxyChoice before = StoredProxyChoice();
    int32_t code = ApplyProxyChoice(choice, test, parent, ui);
    if (code == 0 || code == kProxyUnchanged || SameProxyChoice(before, StoredProxyChoice()))
        return code;
    // A dead proxy would carry every later gateway call: keep it only when the user says so.
    MessageAnswer answer = AskQuestion(parent, Text(kIdProxySetupCaption), Text(kTextProxyTestFailedKeep),
                                       Mnemonic(Text(kTextKeepAnyway), 'k'), Mnemonic(Text(kTextRestorePrevious), 'r'));
    if (answer != MessageAnswer::Yes)
        RestoreProxyChoice(before);
    return code;
}

void FillProxyKinds(QComboBox* list) {
    list->clear();
    for (const ProxyKind& kind : ProxyKinds())
        list->addItem(Text(kind.nameId), kind.value);
}

ProxyDialog::ProxyDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("proxyDialog");
    setWindowTitle(Text(kTextProxyDialogTitle));
    setStyleSheet(ShellStyle::PaneStyleSheet());
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    kind_ = new QComboBox(this);
    kind_->setObjectName("proxyKindList");
    FillProxyKinds(kind_);
    auto* kindLabel = new QLabel(Text(kTextProxyKind), this);
    LabelField(kindLabel, kind_, 'n');  // "c" is Cancel's
    form->addRow(kindLabel, kind_);
    description_ = new QLabel(this);
    description_->setObjectName("proxyDescription");
    description_->setWordWrap(true);
    description_->setMinimumHeight(44);
    description_->setStyleSheet("QLabel { color: #4a5561; }");
    form->addRow(QString(), description_);
    NameControl(description_, Text(kTextProxyDescriptionName));
    host_ = new QLineEdit(this);
    host_->setObjectName("proxyHostEdit");
    port_ = new QLineEdit(this);
    port_->setObjectName("proxyPortEdit");
    port_->setValidator(new QIntValidator(0, 65535, port_));
    user_ = new QLineEdit(this);
    user_->setObjectName("proxyUserEdit");
    password_ = new QLineEdit(this);
    password_->setObjectName("proxyPasswordEdit");
    password_->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : {host_, port_, user_, password_})
        edit->setMaxLength(255);
    const std::pair<QLineEdit*, std::pair<int, char>> fields[] = {{host_, {kTextProxyAddress, 'a'}},
                                                                  {port_, {kTextProxyPort, 'p'}},  // "o" is OK's
                                                                  {user_, {kTextProxyUsername, 'u'}},
                                                                  {password_, {kTextProxyPassword, 'w'}}};
    for (const auto& [edit, text] : fields) {
        auto* label = new QLabel(Text(text.first), this);
        LabelField(label, edit, text.second);
        form->addRow(label, edit);
    }
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout;
    test_ = new QPushButton(Mnemonic(Text(kTextProxyTest), 't'), this);
    test_->setObjectName("proxyTestButton");
    test_->setProperty("secondary", true);
    buttons->addWidget(test_);
    buttons->addStretch(1);
    auto* ok = new QPushButton(Mnemonic(Text(kTextOk), 'o'), this);
    ok->setObjectName("proxyOkButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton(Mnemonic(Text(kTextCancel), 'c'), this);
    cancel->setObjectName("proxyCancelButton");
    cancel->setProperty("secondary", true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    const AppSettings& s = Settings();
    opened_ = StoredProxyChoice();
    kind_->setCurrentIndex(std::clamp(s.ProxyType, 1, 4) - 1);
    host_->setText(Q(s.ProxyHost));
    port_->setText(Q(s.ProxyPort));
    user_->setText(Q(s.ProxyUsername));
    password_->setText(Q(s.ProxyPassword));
    KindChanged();
    connect(kind_, qOverload<int>(&QComboBox::currentIndexChanged), this, &ProxyDialog::KindChanged);
    connect(test_, &QPushButton::clicked, this, &ProxyDialog::Test);
    connect(ok, &QPushButton::clicked, this, &ProxyDialog::Apply);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setMinimumWidth(420);
}

void ProxyDialog::KindChanged() {
    int32_t kind = kind_->currentData().toInt();
    description_->setText(Q(ProxyKindDescription(kind)));
    // Only a proxy list needs a server; the account fields stay open for every kind.
    host_->setEnabled(kind == 4);
    port_->setEnabled(kind == 4);
}

ProxyChoice ReadProxyChoice(const QComboBox* kind, const QLineEdit* host, const QLineEdit* port, const QLineEdit* user,
                            const QLineEdit* password) {
    ProxyChoice choice;
    choice.type = kind->currentData().toInt();
    choice.host = S(host->text());
    choice.port = S(port->text());
    choice.user = S(user->text());
    choice.password = S(password->text());
    return choice;
}

ProxyChoice ProxyDialog::Choice() const {
    return ReadProxyChoice(kind_, host_, port_, user_, password_);
}

void ProxyDialog::Apply() {
    lastCode_ = TryProxyChoice(Choice(), false, this, TheSessionUi());
    // Refused but kept by the user's choice counts as done, too.
    if (lastCode_ == kProxyUnchanged || lastCode_ == 0 || SameProxyChoice(Choice(), StoredProxyChoice()))
        accept();
}

void ProxyDialog::Test() {
    lastCode_ = TryProxyChoice(Choice(), true, this, TheSessionUi());
}

void ProxyDialog::reject() {
    // Whatever a test or a kept refusal stored goes back to what was there at opening.
    if (!SameProxyChoice(opened_, StoredProxyChoice()))
        RestoreProxyChoice(opened_);
    QDialog::reject();
}

}  // namespace quillon
