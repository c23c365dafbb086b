#include "ui/options/OptionsPane.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "core/AppSettings.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "ui/options/SecurityNote.h"
#include "ui/shell/BalanceLabel.h"
#include "ui/shell/CheckControl.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/UiServices.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

constexpr int kMaxUploadDays = 7;

QLabel* FieldLabel(int textId, QWidget* parent) {
    auto* label = new QLabel(Text(textId), parent);
    label->setObjectName(QStringLiteral("label%1").arg(textId));
    return label;
}

// A check control with its label on the left, as the settings show them.
QHBoxLayout* CheckRow(CheckControl* check, int textId, QWidget* parent) {
    auto* row = new QHBoxLayout;
    auto* label = FieldLabel(textId, parent);
    label->setBuddy(check);
    row->addWidget(label);
    row->addStretch(1);
    row->addWidget(check);
    return row;
}

// The prefix holds a dialling prefix: digits, with "+" allowed in front.
std::string CleanPrefix(const QString& text) {
    QString clean;
    for (QChar c : text.trimmed()) {
        if (c.isDigit() || (c == '+' && clean.isEmpty()))
            clean += c;
    }
    return S(clean.left(254));
}

}  // namespace

OptionsPane::OptionsPane(CommsWorker* worker, QWidget* parent) : Pane(parent), worker_(worker) {
    setObjectName("optionsPane");
    setFixedSize(640, 436);
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(2, 0, 2, 0);
    columns->setSpacing(8);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    left->setSpacing(2);
    right->setSpacing(2);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    left->addWidget(BuildPreferences());
    left->addWidget(BuildSendOptions());
    left->addWidget(BuildScheduleDefaults());
    securityNote_ = new SecurityNote(this);
    left->addWidget(securityNote_);
    left->addStretch(1);
    left->addLayout(BuildOkRow());

    // The radio buttons of each section form their own group.
    auto* onlineGroup = new QButtonGroup(this);
    onlineGroup->addButton(online_);
    onlineGroup->addButton(offline_);
    auto* scheduleGroup = new QButtonGroup(this);
    scheduleGroup->addButton(upload_);
    scheduleGroup->addButton(keepLocal_);

    right->addWidget(BuildExtraSettings());
    right->addWidget(BuildProxySettings());
    right->addWidget(BuildVoucher());
    right->addStretch(1);
    right->addLayout(BuildAccountRow());
    ConnectControls();
    LoadOptions();
}

// Preferences: prefix, signature, spanning, log, start minimised.
QGroupBox* OptionsPane::BuildPreferences() {
    auto* preferences = new QGroupBox(Text(kTextPreferences), this);
    preferences->setObjectName("preferencesSection");
    auto* prefGrid = new QGridLayout(preferences);
    prefGrid->setVerticalSpacing(3);
    prefix_ = new QLineEdit(preferences);
    prefix_->setObjectName("prefixEdit");
    prefix_->setMaxLength(254);
    prefix_->setValidator(new QRegularExpressionValidator(QRegularExpression("\\+?[0-9]*"), prefix_));
    signature_ = new QLineEdit(preferences);
    signature_->setObjectName("signatureEdit");
    prefGrid->addWidget(FieldLabel(kTextPrefix, preferences), 0, 0);
    prefGrid->addWidget(prefix_, 0, 1);
    prefGrid->addWidget(FieldLabel(kTextSignature, preferences), 1, 0);
    prefGrid->addWidget(signature_, 1, 1);
    spanSms_ = new CheckControl(preferences);
    spanSms_->setObjectName("spanSmsCheck");
    writeLog_ = new CheckControl(preferences);
    writeLog_->setObjectName("writeLogCheck");
    auto* checks = new QHBoxLayout;
    checks->addLayout(CheckRow(spanSms_, kTextSpanSms, preferences));
    checks->addSpacing(14);
    checks->addLayout(CheckRow(writeLog_, kTextWriteLog, preferences));
    prefGrid->addLayout(checks, 2, 0, 1, 2);
    startMinimised_ = new QCheckBox(Text(kTextStartMinimised), preferences);
    startMinimised_->setObjectName("startMinimisedCheck");
    prefGrid->addWidget(startMinimised_, 3, 0, 1, 2);
    return preferences;
}

// Send Options: sender id, acknowledgements, on line or off line.
QGroupBox* OptionsPane::BuildSendOptions() {
    auto* send = new QGroupBox(Text(kTextSendOptions), this);
    send->setObjectName("sendOptionsSection");
    auto* sendGrid = new QGridLayout(send);
    sendGrid->setVerticalSpacing(3);
    senderId_ = new QLineEdit(send);
    senderId_->setObjectName("senderIdEdit");
    senderId_->setMaxLength(254);
    sendGrid->addWidget(FieldLabel(kTextSenderId, send), 0, 0);
    sendGrid->addWidget(senderId_, 0, 1);
    deliveryAcks_ = new CheckControl(send);
    deliveryAcks_->setObjectName("deliveryAcksCheck");
    trackFailed_ = new CheckControl(send);
    trackFailed_->setObjectName("trackFailedCheck");
    auto* sendChecks = new QHBoxLayout;
    sendChecks->addLayout(CheckRow(deliveryAcks_, kTextDeliveryAcks, send));
    sendChecks->addSpacing(14);
    sendChecks->addLayout(CheckRow(trackFailed_, kTextTrackFailed, send));
    sendGrid->addLayout(sendChecks, 1, 0, 1, 2);
    online_ = new QRadioButton(Text(kTextWorkOnline), send);
    online_->setObjectName("workOnlineRadio");
    offline_ = new QRadioButton(Text(kTextWorkOffline), send);
    offline_->setObjectName("workOfflineRadio");
    sendGrid->addWidget(online_, 2, 0, 1, 2);
    sendGrid->addWidget(offline_, 3, 0, 1, 2);
    return send;
}

// Scheduled Messages Defaults: upload ahead or keep local.
QGroupBox* OptionsPane::BuildScheduleDefaults() {
    auto* schedule = new QGroupBox(Text(kTextScheduledDefaults), this);
    schedule->setObjectName("scheduleSection");
    auto* scheduleBox = new QVBoxLayout(schedule);
    scheduleBox->setSpacing(3);
    upload_ = new QRadioButton(Text(kTextUploadWithin), schedule);
    upload_->setObjectName("uploadRadio");
    scheduleBox->addWidget(upload_);
    auto* daysRow = new QHBoxLayout;
    daysRow->addSpacing(22);
    uploadDays_ = new QComboBox(schedule);
    uploadDays_->setObjectName("uploadDaysList");
    for (int days = 1; days <= kMaxUploadDays; ++days)
        uploadDays_->addItem(QString::number(days), days);
    daysRow->addWidget(uploadDays_);
    daysRow->addWidget(FieldLabel(kTextDaysFromScheduled, schedule));
    daysRow->addStretch(1);
    scheduleBox->addLayout(daysRow);
    keepLocal_ = new QRadioButton(Text(kTextKeepLocal), schedule);
    keepLocal_->setObjectName("keepLocalRadio");
    scheduleBox->addWidget(keepLocal_);
    return schedule;
}

// Extra Settings: the address-book source and the mail client profile.
QGroupBox* OptionsPane::BuildExtraSettings() {
    auto* extra = new QGroupBox(Text(kTextExtraSettings), this);
    extra->setObjectName("extraSection");
    auto* extraGrid = new QGridLayout(extra);
    extraGrid->setVerticalSpacing(3);
    sourceMapi_ = new QRadioButton(Text(kTextSourceMapi), extra);
    sourceMapi_->setObjectName("sourceMapiRadio");
    sourceWab_ = new QRadioButton(Text(kTextSourceWab), extra);
    sourceWab_->setObjectName("sourceWabRadio");
    auto* sourceGroup = new QButtonGroup(this);
    sourceGroup->addButton(sourceMapi_);
    sourceGroup->addButton(sourceWab_);
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(sourceMapi_);
    sourceRow->addWidget(sourceWab_);
    sourceRow->addStretch(1);
    extraGrid->addWidget(FieldLabel(kTextDataSource, extra), 0, 0);
    extraGrid->addLayout(sourceRow, 0, 1);
    auto* profileHeading = FieldLabel(kTextProfileSettings, extra);
    profileHeading->setStyleSheet("QLabel { color: #0f4c81; font-weight: bold; }");
    extraGrid->addWidget(profileHeading, 1, 0, 1, 2);
    profileName_ = new QLineEdit(extra);
    profileName_->setObjectName("profileNameEdit");
    profilePassword_ = new QLineEdit(extra);
    profilePassword_->setObjectName("profilePasswordEdit");
    profilePassword_->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : {profileName_, profilePassword_})
        edit->setMaxLength(254);
    extraGrid->addWidget(FieldLabel(kTextProfileName, extra), 2, 0);
    extraGrid->addWidget(profileName_, 2, 1);
    extraGrid->addWidget(FieldLabel(kTextProfilePassword, extra), 3, 0);
    extraGrid->addWidget(profilePassword_, 3, 1);
    return extra;
}

// HTTP Proxy Settings.
QGroupBox* OptionsPane::BuildProxySettings() {
    auto* proxy = new QGroupBox(Text(kTextProxySettings), this);
    proxy->setObjectName("proxySection");
    auto* proxyGrid = new QGridLayout(proxy);
    proxyGrid->setVerticalSpacing(3);
    proxyKind_ = new QComboBox(proxy);
    proxyKind_->setObjectName("proxyKindList");
    FillProxyKinds(proxyKind_);
    proxyGrid->addWidget(proxyKind_, 0, 0, 1, 4);
    proxyHost_ = new QLineEdit(proxy);
    proxyHost_->setObjectName("proxyHostEdit");
    proxyPort_ = new QLineEdit(proxy);
    proxyPort_->setObjectName("proxyPortEdit");
    proxyPort_->setValidator(new QIntValidator(0, 65535, proxyPort_));
    proxyPort_->setMaximumWidth(64);
    proxyUser_ = new QLineEdit(proxy);
    proxyUser_->setObjectName("proxyUserEdit");
    proxyPassword_ = new QLineEdit(proxy);
    proxyPassword_->setObjectName("proxyPasswordEdit");
    proxyPassword_->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : {proxyHost_, proxyPort_, proxyUser_, proxyPassword_})
        edit->setMaxLength(255);
    proxyGrid->addWidget(FieldLabel(kTextProxyAddress, proxy), 1, 0);
    proxyGrid->addWidget(proxyHost_, 1, 1);
    proxyGrid->addWidget(FieldLabel(kTextProxyPort, proxy), 1, 2);
    proxyGrid->addWidget(proxyPort_, 1, 3);
    proxyGrid->addWidget(FieldLabel(kTextProxyUsername, proxy), 2, 0);
    proxyGrid->addWidget(proxyUser_, 2, 1, 1, 3);
    proxyGrid->addWidget(FieldLabel(kTextProxyPassword, proxy), 3, 0);
    proxyGrid->addWidget(proxyPassword_, 3, 1);
    proxyTest_ = new QPushButton(Text(kTextProxyTest), proxy);
    proxyTest_->setObjectName("proxyTestButton");
    proxyTest_->setProperty("secondary", true);
    proxyGrid->addWidget(proxyTest_, 3, 2, 1, 2);
    return proxy;
}

// Redeem Voucher: four groups of characters.
QGroupBox* OptionsPane::BuildVoucher() {
    auto* voucher = new QGroupBox(Text(kTextRedeemVoucher), this);
    voucher->setObjectName("voucherSection");
    auto* voucherBox = new QVBoxLayout(voucher);
    voucherBox->setSpacing(4);
    auto* voucherRow = new QHBoxLayout;
    voucherRow->setSpacing(3);
    auto* validator = new QRegularExpressionValidator(QRegularExpression("[A-Za-z0-9]*"), this);
    for (int i = 0; i < 4; ++i) {
        voucher_[i] = new QLineEdit(voucher);
        voucher_[i]->setObjectName(QStringLiteral("voucherEdit%1").arg(i + 1));
        voucher_[i]->setMaxLength(15);
        voucher_[i]->setValidator(validator);
        voucher_[i]->setAlignment(Qt::AlignCenter);
        voucher_[i]->setMinimumWidth(50);
        if (i > 0)
            voucherRow->addWidget(new QLabel(Text(kTextVoucherDash), voucher));
        voucherRow->addWidget(voucher_[i]);
        if (i < 3) {
            // Four characters fill a group: go on to the next one.
            connect(voucher_[i], &QLineEdit::textEdited, this, [this, i](const QString& text) {
                if (text.size() == 4 && voucher_[i]->cursorPosition() == 4)
                    voucher_[i + 1]->setFocus();
            });
        }
    }
    voucherBox->addLayout(voucherRow);
    auto* voucherButtons = new QHBoxLayout;
    clearVoucher_ = new QPushButton(Text(kTextClear), voucher);
    clearVoucher_->setObjectName("clearVoucherButton");
    clearVoucher_->setProperty("secondary", true);
    redeem_ = new QPushButton(Text(kTextRedeem), voucher);
    redeem_->setObjectName("redeemButton");
    voucherButtons->addStretch(1);
    voucherButtons->addWidget(clearVoucher_);
    voucherButtons->addWidget(redeem_);
    voucherBox->addLayout(voucherButtons);
    return voucher;
}

// "OK" saves at once what leaving the pane would save.
QHBoxLayout* OptionsPane::BuildOkRow() {
    auto* okRow = new QHBoxLayout;
    okRow->setContentsMargins(4, 6, 4, 0);
    ok_ = new QPushButton(Text(kTextOk), this);
    ok_->setObjectName("optionsOkButton");
    ok_->setMinimumWidth(96);
    okRow->addStretch(1);
    okRow->addWidget(ok_);
    return okRow;
}

// Balance, buying credits and help.
QHBoxLayout* OptionsPane::BuildAccountRow() {
    auto* account = new QHBoxLayout;
    account->setContentsMargins(4, 6, 4, 0);
    balance_ = new BalanceLabel(this);
    balance_->setObjectName("optionsBalance");
    buyCredits_ = new QPushButton(Text(kTextBuyCredits), this);
    buyCredits_->setObjectName("buyCreditsButton");
    help_ = new QPushButton(Text(kTextHelp), this);
    help_->setObjectName("helpButton");
    help_->setProperty("secondary", true);
    account->addWidget(balance_);
    account->addStretch(1);
    account->addWidget(help_);
    account->addWidget(buyCredits_);
    return account;
}

void OptionsPane::ConnectControls() {
    connect(sourceMapi_, &QRadioButton::toggled, this, &OptionsPane::UpdateEnabling);
    connect(upload_, &QRadioButton::toggled, this, &OptionsPane::UpdateEnabling);
    connect(proxyKind_, qOverload<int>(&QComboBox::currentIndexChanged), this, &OptionsPane::UpdateEnabling);
    connect(ok_, &QPushButton::clicked, this, &OptionsPane::SaveOptions);
    connect(proxyTest_, &QPushButton::clicked, this, &OptionsPane::TestProxy);
    connect(redeem_, &QPushButton::clicked, this, &OptionsPane::RedeemVoucher);
    connect(clearVoucher_, &QPushButton::clicked, this, &OptionsPane::ClearVoucher);
    connect(buyCredits_, &QPushButton::clicked, this, &OptionsPane::BuyCredits);
    connect(help_, &QPushButton::clicked, this, &OptionsPane::OpenHelp);
    connect(balance_, &BalanceLabel::updateRequested, this, &OptionsPane::balanceChangeRequested);
}

void OptionsPane::UpdateEnabling() {
    bool mapi = sourceMapi_->isChecked();
    profileName_->setEnabled(mapi);
    profilePassword_->setEnabled(mapi);
    uploadDays_->setEnabled(upload_->isChecked());
    bool list = proxyKind_->currentData().toInt() == 4;
    proxyHost_->setEnabled(list);
    proxyPort_->setEnabled(list);
}

void OptionsPane::LoadOptions() {
    const AppSettings& s = Settings();
    prefix_->setText(Q(s.prefix));
    signature_->setText(Q(s.Sig));
    writeLog_->SetTicked(s.WriteLog);
    spanSms_->SetTicked(s.SpanSMS);
    deliveryAcks_->SetTicked(s.DeliveryAcks);
    trackFailed_->SetTicked(s.IndividualSMSTracking);
    (s.WorkingOnLine ? online_ : offline_)->setChecked(true);
    startMinimised_->setChecked(s.StartMinimized);
    LoadProxyControls();
    profileName_->setText(Q(s.Outlook_Name));
    profilePassword_->setText(Q(s.Outlook_Password));
    (s.MAPI_AddressBook ? sourceMapi_ : sourceWab_)->setChecked(true);
    senderId_->setText(Q(s.sender_id));
    senderId_->setEnabled(s.set_sender);
    help_->setVisible(!s.help_url.empty());
    (s.ScheduleToServer ? upload_ : keepLocal_)->setChecked(true);
    uploadDays_->setCurrentIndex(std::clamp(s.UploadToServerXDaysBefore, 1, kMaxUploadDays) - 1);
    UpdateEnabling();
    ShowBalance();
    securityNote_->Refresh();
}

void OptionsPane::LoadProxyControls() {
    const AppSettings& s = Settings();
    proxyKind_->setCurrentIndex(std::clamp(s.ProxyType, 1, 4) - 1);
    proxyHost_->setText(Q(s.ProxyHost));
    proxyPort_->setText(Q(s.ProxyPort));
    proxyUser_->setText(Q(s.ProxyUsername));
    proxyPassword_->setText(Q(s.ProxyPassword));
    UpdateEnabling();
}

ProxyChoice OptionsPane::ProxyControls() const {
    return ReadProxyChoice(proxyKind_, proxyHost_, proxyPort_, proxyUser_, proxyPassword_);
}

void OptionsPane::SaveOptions() {
    AppSettings& s = Settings();
    s.prefix = CleanPrefix(prefix_->text());
    s.Sig = S(signature_->text());
    s.WriteLog = writeLog_->IsTicked();
    s.DeliveryAcks = deliveryAcks_->IsTicked();
    s.IndividualSMSTracking = trackFailed_->IsTicked();
    s.SpanSMS = spanSms_->IsTicked();

    bool wantOnline = online_->isChecked();
    if (wantOnline && !IsOnLine()) {
        // Going on line needs a session: log in with the stored account; stay off line when refused.
        SetOnLine(true);
        if (!LogInToGateway(s.Login, s.Password)) {
            SetOnLine(false);
            wantOnline = false;
            offline_->setChecked(true);
        } else if (worker_) {
            worker_->PostSendOne(-1);
        }
    } else if (!wantOnline) {
        SetOnLine(false);
    }
    s.WorkingOnLine = wantOnline;
    emit onLineChanged(wantOnline);

    s.StartMinimized = startMinimised_->isChecked();
    s.Outlook_Name = S(profileName_->text().left(254));
    s.Outlook_Password = S(profilePassword_->text().left(254));
    s.sender_id = S(senderId_->text().left(254));
    s.MAPI_AddressBook = sourceMapi_->isChecked();
    s.ScheduleToServer = upload_->isChecked();
    s.UploadToServerXDaysBefore = uploadDays_->currentData().toInt();
    SaveSettings();
    // The proxy controls follow the proxy dialog's rules: applied only when they changed.
    ApplyProxyChoice(ProxyControls(), false, this, TheSessionUi());
}

void OptionsPane::TestProxy() {
    ApplyProxyChoice(ProxyControls(), true, this, TheSessionUi());
}

void OptionsPane::ClearVoucher() {
    for (QLineEdit* edit : voucher_)
        edit->clear();
}

void OptionsPane::RedeemVoucher() {
    if (!Settings().WorkingOnLine) {
        ShowMessage(this, MessageIcon::Information, Text(kIdNotOnline), Text(kIdNotOnline));
        return;
    }
    QString number;
    for (QLineEdit* edit : voucher_)
        number += edit->text().left(15);
    if (number.size() != 16) {
        ShowMessageById(this, MessageIcon::Information, kIdInvalidVoucher, kIdVoucherTooShort);
        return;
    }
    int32_t error = -1;
    if (GatewayHandle gateway = GatewayApi::Instance()) {
        TheSessionUi().BeginWait();
        auto guard = gateway->Guard();
        std::string reply;
        if (gateway->TokenPay(S(number), reply) < 0 || gateway->Get_smsERROR(error) < 0)
            error = -1;
        TheSessionUi().EndWait();
    }
    switch (error) {
        case 0:
            ClearVoucher();
            RefreshBalance();
            ShowBalance();
            break;
        case 99:
            ShowMessageById(this, MessageIcon::Error, kIdLoginFailedCaption, kIdServerUnreachable);
            break;
        case 607:
            ShowMessageById(this, MessageIcon::Information, kIdInvalidVoucher, kIdVoucherRedeemed);
            break;
        default:
            ShowMessage(this, MessageIcon::Information, Text(kIdInvalidVoucher), Text(kIdInvalidVoucher));
            break;
    }
}

void OptionsPane::BuyCredits() {
    const AppSettings& s = Settings();
    std::string session;
    if (s.WorkingOnLine && s.client_id == "QLNX") {
        if (GatewayHandle gateway = GatewayApi::Instance())
            gateway->Get_smsSESSION_ID(session);
    }
    OpenWebPage(VoucherPageUrl(s.voucher_url, session));
}

void OptionsPane::OpenHelp() {
    OpenWebPage(Settings().help_url);
}

void OptionsPane::ShowBalance() {
    balance_->setText(Q(BalanceText(kIdBalance)));
}

void OptionsPane::GoOffline() {
    SetOnLine(false);
    Settings().WorkingOnLine = false;
    offline_->setChecked(true);
    emit onLineChanged(false);
}

}  // namespace quillon
