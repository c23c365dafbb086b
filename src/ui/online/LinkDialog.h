// The message box that carries a link: a heading, the text, the page as a clickable link, OK and
// Cancel. Activating the link (click, or Enter when it has the focus) opens the page.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "core/LinkPolicy.h"
#include "gateway/Session.h"

namespace quillon {

class LinkDialog : public QDialog {
    Q_OBJECT
public:
    LinkDialog(MessageIcon icon, const QString& caption, const QString& text, const QString& link,
               QWidget* parent = nullptr);

    // `url` alone, or "url?help=N" for a help id above 0.
    static QString LinkFor(const QString& url, int helpId);

    QString Link() const { return link_; }
    // Which addresses activating the link may open (OpenLink); a web page unless set.
    void SetLinkUse(LinkUse use) { linkUse_ = use; }
    QLabel* LinkLabel() const { return linkLabel_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    QString link_;
    LinkUse linkUse_ = LinkUse::kWebPage;
    QLabel* linkLabel_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace quillon
