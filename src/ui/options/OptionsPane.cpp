#include "ui/options/OptionsPane.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "core/AppSettings.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "ui/shell/Accessibility.h"
#include "ui/options/SecurityNote.h"
#include "ui/shell/BalanceLabel.h"
#include "ui/shell/CheckControl.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/UiServices.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

constexpr int kMaxUploadDays = 7;

// A label; with a field it names that field and gets the mnemonic `key`.
QLabel* FieldLabel(int textId, QWidget* parent, QWidget* field = nullptr, QChar key = {}) {
    auto* label = new QLabel(Text(textId), parent);
    label->setObjectName(QStringLiteral("label%1").arg(textId));
    if (field)
        LabelField(label, field, key);
    return label;
}

// A check control with its label on the left, as the settings show them.
QHBoxLayout* CheckRow(CheckControl* check, int textId, QWidget* parent, QChar key) {
    auto* row = new QHBoxLayout;
    auto* label = FieldLabel(textId, parent, check, key);
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

// A voucher group that takes a pasted code whole: the pane spreads it over the four groups.
class VoucherEdit : public QLineEdit {
public:
    VoucherEdit(QWidget* parent, std::function<void(VoucherEdit*, const QString&)> onPaste)
        : QLineEdit(parent), onPaste_(std::move(onPaste)) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Paste)) {
            PasteClipboard();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        std::unique_ptr<QMenu> menu(createStandardContextMenu());
        for (QAction* action : menu->actions()) {
            if (action->objectName() == QLatin1String("edit-paste")) {
                disconnect(action, nullptr, nullptr, nullptr);
                connect(action, &QAction::triggered, this, [this] { PasteClipboard(); });
            }
        }
        menu->exec(event->globalPos());
    }

private:
    void PasteClipboard() {
        if (QClipboard* clipboard = QGuiApplication::clipboard())
            onPaste_(this, clipboard->text());
    }
    std::function<void(VoucherEdit*, const QString&)> onPaste_;
};

}  // namespace

std::array<QString, 4> SpreadVoucher(const QString& pasted, int first, const std::array<QString, 4>& current) {
    QString code;
    for (QChar c : pasted) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            code += c;
    }
    std::array<QString, 4> groups = current;
    // A whole code fills the four groups, wherever it was pasted.
    if (code.size() == 16)
        first = 0;
    for (int i = first; i < 4 && !code.isEmpty(); ++i) {
        // The last group takes what is left (up to its limit), so a wrong length is still seen.
        int take = i == 3 ? 15 : 4;
        groups[static_cast<size_t>(i)] = code.left(take);
        code.remove(0, take);
    }
    return groups;
}

OptionsPane::OptionsPane(CommsWorker* worker, QWidget* parent) : Pane(parent), worker_(worker) {
    setObjectName("optionsPane");
    // The design size is the smallest; the pane grows with the window.
    setMinimumSize(640, 436);
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
    prefGrid->addWidget(FieldLabel(kTextPrefix, preferences, prefix_, 'p'), 0, 0);
    prefGrid->addWidget(prefix_, 0, 1);
    prefGrid->addWidget(FieldLabel(kTextSignature, preferences, signature_, 'g'), 1, 0);
    prefGrid->addWidget(signature_, 1, 1);
    spanSms_ = new CheckControl(preferences);
    spanSms_->setObjectName("spanSmsCheck");
    writeLog_ = new CheckControl(preferences);
    writeLog_->setObjectName("writeLogCheck");
    auto* checks = new QHBoxLayout;
    checks->addLayout(CheckRow(spanSms_, kTextSpanSms, preferences, 's'));
    checks->addSpacing(14);
    checks->addLayout(CheckRow(writeLog_, kTextWriteLog, preferences, 'l'));
    prefGrid->addLayout(checks, 2, 0, 1, 2);
    startMinimised_ = new QCheckBox(Mnemonic(Text(kTextStartMinimised), 'm'), preferences);
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
    sendGrid->addWidget(FieldLabel(kTextSenderId, send, senderId_, 'i'), 0, 0);
    sendGrid->addWidget(senderId_, 0, 1);
    deliveryAcks_ = new CheckControl(send);
    deliveryAcks_->setObjectName("deliveryAcksCheck");
    trackFailed_ = new CheckControl(send);
    trackFailed_->setObjectName("trackFailedCheck");
    auto* sendChecks = new QHBoxLayout;
    sendChecks->addLayout(CheckRow(deliveryAcks_, kTextDeliveryAcks, send, 'y'));
    sendChecks->addSpacing(14);
    sendChecks->addLayout(CheckRow(trackFailed_, kTextTrackFailed, send, 'k'));
    sendGrid->addLayout(sendChecks, 1, 0, 1, 2);
    online_ = new QRadioButton(Mnemonic(Text(kTextWorkOnline), 'n'), send);
    online_->setObjectName("workOnlineRadio");
    offline_ = new QRadioButton(Mnemonic(Text(kTextWorkOffline), 'f'), send);
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
    upload_ = new QRadioButton(Mnemonic(Text(kTextUploadWithin), 'u'), schedule);
    upload_->setObjectName("uploadRadio");
    scheduleBox->addWidget(upload_);
    auto* daysRow = new QHBoxLayout;
    daysRow->addSpacing(22);
    uploadDays_ = new QComboBox(schedule);
    uploadDays_->setObjectName("uploadDaysList");
    for (int days = 1; days <= kMaxUploadDays; ++days)
        uploadDays_->addItem(QString::number(days), days);
    daysRow->addWidget(uploadDays_);
    daysRow->addWidget(FieldLabel(kTextDaysFromScheduled, schedule, uploadDays_, QChar()));
    daysRow->addStretch(1);
    scheduleBox->addLayout(daysRow);
    keepLocal_ = new QRadioButton(Mnemonic(Text(kTextKeepLocal), 'e'), schedule);
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
    sourceMapi_ = new QRadioButton(Mnemonic(Text(kTextSourceMapi), 'h'), extra);
    sourceMapi_->setObjectName("sourceMapiRadio");
    sourceWab_ = new QRadioButton(Mnemonic(Text(kTextSourceWab), 'v'), extra);
    sourceWab_->setObjectName("sourceWabRadio");
    auto* sourceGroup = new QButtonGroup(this);
    sourceGroup->addButton(sourceMapi_);
    sourceGroup->addButton(sourceWab_);
    // Each source with its own fields under it: the mail client's profile, the vCard file or folder.
    auto* sourceLabel = FieldLabel(kTextDataSource, extra);
    auto* mapiRow = new QHBoxLayout;
    mapiRow->setSpacing(8);
    mapiRow->addWidget(sourceLabel);
    mapiRow->addWidget(sourceMapi_);
    mapiRow->addStretch(1);
    extraGrid->addLayout(mapiRow, 0, 0, 1, 2);
    profileName_ = new QLineEdit(extra);
    profileName_->setObjectName("profileNameEdit");
    profilePassword_ = new QLineEdit(extra);
    profilePassword_->setObjectName("profilePasswordEdit");
    profilePassword_->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : {profileName_, profilePassword_})
        edit->setMaxLength(254);
    extraGrid->addWidget(FieldLabel(kTextProfileName, extra, profileName_, 'r'), 1, 0);
    extraGrid->addWidget(profileName_, 1, 1);
    extraGrid->addWidget(FieldLabel(kTextProfilePassword, extra, profilePassword_, 'w'), 2, 0);
    extraGrid->addWidget(profilePassword_, 2, 1);
    auto* wabRow = new QHBoxLayout;
    wabRow->addSpacing(sourceLabel->sizeHint().width() + mapiRow->spacing());
    wabRow->addWidget(sourceWab_);
    wabRow->addStretch(1);
    extraGrid->addLayout(wabRow, 3, 0, 1, 2);
    vcardPath_ = new QLineEdit(extra);
    vcardPath_->setObjectName("vcardPathEdit");
    browseVCard_ = new QPushButton(Mnemonic(Text(kTextBrowse), 'b'), extra);
    browseVCard_->setObjectName("browseVCardButton");
    browseVCard_->setProperty("secondary", true);
    browseVCard_->setStyleSheet("QPushButton { padding: 3px 6px; } QPushButton::menu-indicator { width: 0; }");
    auto* browseMenu = new QMenu(browseVCard_);
    connect(browseMenu->addAction(Text(kTextBrowseFile)), &QAction::triggered, this, [this] { BrowseVCard(false); });
    connect(browseMenu->addAction(Text(kTextBrowseFolder)), &QAction::triggered, this, [this] { BrowseVCard(true); });
    browseVCard_->setMenu(browseMenu);
    auto* vcardRow = new QHBoxLayout;
    vcardRow->addWidget(vcardPath_, 1);
    vcardRow->addWidget(browseVCard_);
    extraGrid->addWidget(FieldLabel(kTextVCardPath, extra, vcardPath_, 'c'), 4, 0);
    extraGrid->addLayout(vcardRow, 4, 1);
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
    NameControl(proxyKind_, PlainName(Text(kTextProxyKind)));
    // The longest kind's name must not widen the column; the open list shows it whole.
    proxyKind_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    proxyKind_->setMinimumContentsLength(24);
    proxyKind_->view()->setMinimumWidth(proxyKind_->view()->sizeHintForColumn(0) + 8);
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
    proxyGrid->addWidget(FieldLabel(kTextProxyAddress, proxy, proxyHost_, 'a'), 1, 0);
    proxyGrid->addWidget(proxyHost_, 1, 1);
    proxyGrid->addWidget(FieldLabel(kTextProxyPort, proxy, proxyPort_, 'o'), 1, 2);
    proxyGrid->addWidget(proxyPort_, 1, 3);
    proxyGrid->addWidget(FieldLabel(kTextProxyUsername, proxy, proxyUser_, 'u'), 2, 0);
    proxyGrid->addWidget(proxyUser_, 2, 1, 1, 3);
    proxyGrid->addWidget(FieldLabel(kTextProxyPassword, proxy, proxyPassword_, 'd'), 3, 0);
    proxyGrid->addWidget(proxyPassword_, 3, 1);
    proxyTest_ = new QPushButton(Mnemonic(Text(kTextProxyTest), 't'), proxy);
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
    auto onPaste = [this](VoucherEdit* edit, const QString& text) { PasteVoucher(edit, text); };
    for (int i = 0; i < 4; ++i) {
        voucher_[i] = new VoucherEdit(voucher, onPaste);
        NameControl(voucher_[i], FormatText(kTextVoucherGroupName, {i + 1}), Text(kTextVoucherPasteHint));
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
    clearVoucher_ = new QPushButton(Mnemonic(Text(kTextClear), 'c'), voucher);
    clearVoucher_->setObjectName("clearVoucherButton");
    clearVoucher_->setProperty("secondary", true);
    redeem_ = new QPushButton(Mnemonic(Text(kTextRedeem), 'r'), voucher);
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
    NameControl(balance_, PlainName(Text(kIdBalance).section('%', 0, 0)));
    buyCredits_ = new QPushButton(Mnemonic(Text(kTextBuyCredits), 'b'), this);
    buyCredits_->setObjectName("buyCreditsButton");
    help_ = new QPushButton(Mnemonic(Text(kTextHelp), 'h'), this);
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
    vcardPath_->setEnabled(!mapi);
    browseVCard_->setEnabled(!mapi);
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
    vcardPath_->setText(Q(s.VCardPath));
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
    s.VCardPath = S(vcardPath_->text().trimmed());
    s.ScheduleToServer = upload_->isChecked();
    s.UploadToServerXDaysBefore = uploadDays_->currentData().toInt();
    SaveSettings();
    // The proxy controls follow the proxy dialog's rules: applied only when they changed, and a
    // refused choice is undone unless the user keeps it.
    TryProxyChoice(ProxyControls(), false, this, TheSessionUi());
    LoadProxyControls();
}

void OptionsPane::TestProxy() {
    TryProxyChoice(ProxyControls(), true, this, TheSessionUi());
    LoadProxyControls();
}

void OptionsPane::PasteVoucher(QLineEdit* edit, const QString& text) {
    int first = static_cast<int>(std::find(voucher_.begin(), voucher_.end(), edit) - voucher_.begin());
    if (first >= 4)
        return;
    std::array<QString, 4> current;
    for (size_t i = 0; i < 4; ++i)
        current[i] = voucher_[i]->text();
    std::array<QString, 4> groups = SpreadVoucher(text, first, current);
    for (size_t i = 0; i < 4; ++i)
        voucher_[i]->setText(groups[i]);
    // The focus goes to the last group that was filled.
    for (int i = 3; i >= 0; --i) {
        if (groups[static_cast<size_t>(i)] != current[static_cast<size_t>(i)]) {
            voucher_[static_cast<size_t>(i)]->setFocus();
            break;
        }
    }
}

void OptionsPane::BrowseVCard(bool folder) {
    QString start = vcardPath_->text().trimmed();
    if (start.startsWith("~/"))
        start = QDir::homePath() + start.mid(1);
    QString chosen =
        folder ? QFileDialog::getExistingDirectory(this, PlainName(Text(kTextVCardPath)), start)
               : QFileDialog::getOpenFileName(this, PlainName(Text(kTextVCardPath)), start, Text(kTextVCardFilter));
    if (!chosen.isEmpty())
        vcardPath_->setText(chosen);
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
