// How the desktop shell talks to the user outside its windows: message boxes, link boxes, web
// pages and the wait cursor. The presenter is replaceable, so tests and unattended runs record
// what would have been shown instead of blocking on a modal box.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/LinkPolicy.h"
#include "gateway/Session.h"

namespace quillon {

enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No, Cancel };

struct ShownMessage {
    MessageIcon icon = MessageIcon::None;
    QString caption;
    QString text;
    QString link;                         // non-empty: a link box offering this page
    LinkUse linkUse = LinkUse::kWebPage;  // which addresses the link box may open
    MessageButtons buttons = MessageButtons::Ok;
    // Own captions of the Yes and No buttons (empty: the plain ones).
    QString yesText;
    QString noText;
};

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    virtual MessageAnswer Show(QWidget* parent, const ShownMessage& message) = 0;
    virtual void OpenUrl(const QString& url) = 0;
};

// Real modal boxes and the desktop's web browser. OpenUrl opens nothing that IsOpenableLink refuses
// for the installer (the widest use), whoever calls it.
class DialogMessagePresenter : public MessagePresenter {
public:
    MessageAnswer Show(QWidget* parent, const ShownMessage& message) override;
    void OpenUrl(const QString& url) override;
};

// Keeps every box and page instead of showing it; answers boxes with `answer` (Yes/No boxes) or
// Ok. With a file path, each box is also appended to that file as "caption|text|link" on one line
// (line breaks written as \n), so another process can read what was shown.
class RecordingMessagePresenter : public MessagePresenter {
public:
    explicit RecordingMessagePresenter(QString file = {});
    MessageAnswer Show(QWidget* parent, const ShownMessage& message) override;
    void OpenUrl(const QString& url) override;

    std::vector<ShownMessage> Messages() const;
    QStringList Urls() const;
    void Clear();
    void SetAnswer(MessageAnswer answer) { answer_ = answer; }

private:
    mutable std::mutex lock_;
    QString file_;
    std::vector<ShownMessage> messages_;
    QStringList urls_;
    MessageAnswer answer_ = MessageAnswer::Yes;
};

// The presenter in use (a DialogMessagePresenter until another is installed; not owned).
MessagePresenter& Presenter();
void SetPresenter(MessagePresenter* presenter);

// Helpers over the presenter; texts come from the string table.
MessageAnswer ShowMessage(QWidget* parent, MessageIcon icon, const QString& caption, const QString& text,
                          MessageButtons buttons = MessageButtons::Ok);
MessageAnswer ShowMessageById(QWidget* parent, MessageIcon icon, int captionId, int textId);
// A question whose Yes and No buttons carry their own texts (mnemonics allowed).
MessageAnswer AskQuestion(QWidget* parent, const QString& caption, const QString& text, const QString& yesText,
                          const QString& noText);
// The box with a help link: `url` as given, or "url?help=N" for a help id above 0. Clicking the link
// opens it as OpenLink does for `use`.
void ShowLinkMessage(QWidget* parent, const QString& text, const QString& caption, const QString& url, int helpId = 0,
                     LinkUse use = LinkUse::kWebPage);
// Opens an address from the settings through the presenter when IsOpenableLink allows it for `use`;
// otherwise tells the user it was refused. Returns whether it was handed on. Failures of the desktop's
// opener are not reported.
bool OpenLink(const QString& url, LinkUse use = LinkUse::kWebPage);
// OpenLink for a web page; an empty address does nothing.
void OpenWebPage(const std::string& url, LinkUse use = LinkUse::kWebPage);

// Hands the store's message copies (CopySmsToClipboard) to the system clipboard,
// with the platform's line ends. Start-up installs it once the application object exists and
// removes it before that object goes away.
void InstallClipboardHook();
void RemoveClipboardHook();

// The session's messages and wait cursor on the ui thread. Calls from another thread (the
// worker's re-login) are handed to the ui thread and never waited for.
class DesktopSessionUi : public SessionUi {
public:
    void BeginWait() override;
    void EndWait() override;
    void ShowMessage(const SessionMessage& message) override;
};

}  // namespace quillon
