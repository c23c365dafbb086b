#include "ui/shell/PlaceholderPane.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "ui/shell/BalanceLabel.h"
#include "ui/shell/ShellStyle.h"

namespace quillon {

PlaceholderPane::PlaceholderPane(const QString& heading, const QString& image, int features, QWidget* parent)
    : Pane(parent), image_(image) {
    setFixedSize(624, 424);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 12);
    auto* top = new QHBoxLayout;
    auto* title = new QLabel(heading, this);
    title->setObjectName("paneHeading");
    title->setStyleSheet("QLabel { color: #0f4c81; font-size: 12pt; font-weight: bold; }");
    top->addWidget(title);
    top->addStretch(1);
    if (features & WithBalance) {
        balance_ = new BalanceLabel(this);
        balance_->setObjectName("composeBalance");
        top->addWidget(balance_);
    }
    layout->addLayout(top);
    layout->addStretch(1);
    if (features & WithStatusLine) {
        status_ = new QLabel(this);
        status_->setObjectName("outboxStatusLine");
        status_->setStyleSheet("QLabel { color: #4a5561; }");
        layout->addWidget(status_);
    }
}

void PlaceholderPane::ShowStatusLine(const QString& text) {
    if (status_)
        status_->setText(text);
}

QString PlaceholderPane::StatusLine() const {
    return status_ ? status_->text() : QString();
}

void PlaceholderPane::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ShellStyle::kBorder, 1));
    p.setBrush(ShellStyle::kCard);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    if (!image_.isEmpty()) {
        QSize size(96, 96);
        QPixmap art = ShellStyle::Pixmap(image_, size, devicePixelRatioF());
        p.setOpacity(0.12);
        p.drawPixmap((width() - size.width()) / 2, (height() - size.height()) / 2, art);
    }
}

}  // namespace quillon
