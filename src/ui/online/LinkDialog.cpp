#include "ui/online/LinkDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/shell/UiServices.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {
QStyle::StandardPixmap PixmapOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
        case MessageIcon::Stop:
            return QStyle::SP_MessageBoxCritical;
        case MessageIcon::Warning:
            return QStyle::SP_MessageBoxWarning;
        default:
            return QStyle::SP_MessageBoxInformation;
    }
}
}  // namespace

QString LinkDialog::LinkFor(const QString& url, int helpId) {
    return helpId > 0 && !url.isEmpty() ? QStringLiteral("%1?help=%2").arg(url).arg(helpId) : url;
}

LinkDialog::LinkDialog(MessageIcon icon, const QString& caption, const QString& text, const QString& link,
                       QWidget* parent)
    : QDialog(parent), link_(link) {
    setObjectName("linkMessageBox");
    setWindowTitle(caption);
    setAccessibleName(caption);
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(caption, this);
    heading->setObjectName("linkMessageHeading");
    heading->setStyleSheet("QLabel { font-weight: bold; }");
    layout->addWidget(heading);

    auto* row = new QHBoxLayout;
    auto* iconLabel = new QLabel(this);
    iconLabel->setPixmap(style()->standardIcon(PixmapOf(icon)).pixmap(32, 32));
    iconLabel->setAlignment(Qt::AlignTop);
    row->addWidget(iconLabel);
    auto* textLabel = new QLabel(text, this);
    textLabel->setObjectName("linkMessageText");
    textLabel->setWordWrap(true);
    textLabel->setMinimumWidth(340);
    textLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(textLabel, 1);
    layout->addLayout(row);

    linkLabel_ =
        new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(link.toHtmlEscaped(), link.toHtmlEscaped()), this);
    linkLabel_->setObjectName("linkMessageLink");
    linkLabel_->setAccessibleName(link);
    linkLabel_->setTextFormat(Qt::RichText);
    linkLabel_->setWordWrap(true);
    // Reachable by Tab and opened with Enter, like any link.
    linkLabel_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    linkLabel_->setFocusPolicy(Qt::StrongFocus);
    linkLabel_->setOpenExternalLinks(false);
    connect(linkLabel_, &QLabel::linkActivated, this, [this] { OpenLink(link_, linkUse_); });
    layout->addWidget(linkLabel_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    ok_->setText(Text(kTextOk));
    ok_->setObjectName("linkMessageOk");
    cancel_->setText(Text(kTextCancel));
    cancel_->setObjectName("linkMessageCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    ok_->setDefault(true);
    ok_->setFocus();
}

}  // namespace quillon
