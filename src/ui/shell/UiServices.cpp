#include "ui/shell/UiServices.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

#include "compose/ClipboardText.h"
#include "ui/online/LinkDialog.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

DialogMessagePresenter& DefaultPresenter() {
    static DialogMessagePresenter presenter;
    return presenter;
}
MessagePresenter* currentPresenter = nullptr;

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        default:
            return QMessageBox::NoIcon;
    }
}

bool OnUiThread() {
    return qApp && QThread::currentThread() == qApp->thread();
}

}  // namespace

MessageAnswer DialogMessagePresenter::Show(QWidget* parent, const ShownMessage& message) {
    if (!parent)
        parent = QApplication::activeWindow();
    if (!message.link.isEmpty()) {
        LinkDialog box(message.icon, message.caption, message.text, message.link, parent);
        box.SetLinkUse(message.linkUse);
        return box.exec() == QDialog::Accepted ? MessageAnswer::Ok : MessageAnswer::Cancel;
    }
    QMessageBox box(BoxIcon(message.icon), message.caption, message.text, QMessageBox::NoButton, parent);
    box.setObjectName("messageBox");
    if (message.buttons == MessageButtons::YesNo) {
        if (message.icon == MessageIcon::None)
            box.setIcon(QMessageBox::Question);  // a confirmation without an icon of its own
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        if (!message.yesText.isEmpty())
            box.button(QMessageBox::Yes)->setText(message.yesText);
        if (!message.noText.isEmpty())
            box.button(QMessageBox::No)->setText(message.noText);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(Text(kTextOk));
    box.exec();
    return MessageAnswer::Ok;
}

void DialogMessagePresenter::OpenUrl(const QString& url) {
    // The last gate before the desktop's opener, for callers that skipped OpenLink.
    if (!IsOpenableLink(url.toStdString(), LinkUse::kInstaller))
        return;
    QDesktopServices::openUrl(QUrl(url));
}

RecordingMessagePresenter::RecordingMessagePresenter(QString file) : file_(std::move(file)) {}

MessageAnswer RecordingMessagePresenter::Show(QWidget*, const ShownMessage& message) {
    std::lock_guard<std::mutex> guard(lock_);
    messages_.push_back(message);
    if (!file_.isEmpty()) {
        QFile out(file_);
        if (out.open(QIODevice::Append | QIODevice::Text)) {
            auto flat = [](QString s) { return s.replace("\r", "").replace("\n", "\\n"); };
            out.write((flat(message.caption) + "|" + flat(message.text) + "|" + message.link + "\n").toUtf8());
        }
    }
    if (message.buttons == MessageButtons::YesNo)
        return answer_;
    return MessageAnswer::Ok;
}

void RecordingMessagePresenter::OpenUrl(const QString& url) {
    std::lock_guard<std::mutex> guard(lock_);
    urls_ << url;
}

std::vector<ShownMessage> RecordingMessagePresenter::Messages() const {
    std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

QStringList RecordingMessagePresenter::Urls() const {
    std::lock_guard<std::mutex> guard(lock_);
    return urls_;
}

void RecordingMessagePresenter::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    messages_.clear();
    urls_.clear();
}

MessagePresenter& Presenter() {
    return currentPresenter ? *currentPresenter : DefaultPresenter();
}

void SetPresenter(MessagePresenter* presenter) {
    currentPresenter = presenter;
}

MessageAnswer ShowMessage(QWidget* parent, MessageIcon icon, const QString& caption, const QString& text,
                          MessageButtons buttons) {
    ShownMessage message;
    message.icon = icon;
    message.caption = caption;
    message.text = text;
    message.buttons = buttons;
    return Presenter().Show(parent, message);
}

MessageAnswer ShowMessageById(QWidget* parent, MessageIcon icon, int captionId, int textId) {
    return ShowMessage(parent, icon, Text(captionId), Text(textId));
}

MessageAnswer AskQuestion(QWidget* parent, const QString& caption, const QString& text, const QString& yesText,
                          const QString& noText) {
    ShownMessage message;
    message.icon = MessageIcon::Warning;
    message.caption = caption;
    message.text = text;
    message.buttons = MessageButtons::YesNo;
    message.yesText = yesText;
    message.noText = noText;
    return Presenter().Show(parent, message);
}

void ShowLinkMessage(QWidget* parent, const QString& text, const QString& caption, const QString& url, int helpId,
                     LinkUse use) {
    ShownMessage message;
    message.linkUse = use;
    message.icon = MessageIcon::Error;
    message.caption = caption;
    message.text = text;
    message.link = LinkDialog::LinkFor(url, helpId);
    Presenter().Show(parent, message);
}

bool OpenLink(const QString& url, LinkUse use) {
    if (!IsOpenableLink(url.toStdString(), use)) {
        ShowMessage(nullptr, MessageIcon::Warning, Text(kTextLinkRefusedCaption),
                    FormatText(kTextLinkRefused, {url.toStdString()}));
        return false;
    }
    Presenter().OpenUrl(url);
    return true;
}

void OpenWebPage(const std::string& url, LinkUse use) {
    if (url.empty())
        return;
    OpenLink(QString::fromStdString(url), use);
}

namespace {
void PutOnClipboard(const QString& text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}
}  // namespace

void InstallClipboardHook() {
    SetClipboardSink([](const std::string& text) {
        if (!qApp)
            return false;
        // The store writes Windows line ends; the desktop's clipboard holds plain ones.
        QString plain = QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (OnUiThread()) {
            PutOnClipboard(plain);
            return true;
        }
        // The clipboard belongs to the ui thread: hand the text over and do not wait.
        QMetaObject::invokeMethod(
            qApp, [plain] { PutOnClipboard(plain); }, Qt::QueuedConnection);
        return true;
    });
}

void RemoveClipboardHook() {
    SetClipboardSink(nullptr);
}

void DesktopSessionUi::BeginWait() {
    if (OnUiThread())
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void DesktopSessionUi::EndWait() {
    if (OnUiThread())
        QGuiApplication::restoreOverrideCursor();
}

void DesktopSessionUi::ShowMessage(const SessionMessage& message) {
    ShownMessage shown;
    shown.icon = message.icon;
    shown.caption = QString::fromStdString(message.caption);
    shown.text = QString::fromStdString(message.text);
    if (message.withLink)
        shown.link = QString::fromStdString(message.link);
    if (OnUiThread()) {
        Presenter().Show(nullptr, shown);
        return;
    }
    if (!qApp)
        return;
    QMetaObject::invokeMethod(
        qApp, [shown]() { Presenter().Show(nullptr, shown); }, Qt::QueuedConnection);
}

}  // namespace quillon
