#include "ui/shell/BalanceLabel.h"

#include <QContextMenuEvent>
#include <QMenu>

#include "ui/shell/UiText.h"

namespace quillon {

BalanceLabel::BalanceLabel(QWidget* parent) : QLabel(parent) {
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, [this] { SetHighlighted(!highlighted_); });
    SetHighlighted(false);
}

void BalanceLabel::StartBlinking() {
    if (!timer_.isActive())
        timer_.start();
}

void BalanceLabel::StopBlinking() {
    timer_.stop();
    SetHighlighted(false);
}

void BalanceLabel::SetHighlighted(bool on) {
    highlighted_ = on;
    setStyleSheet(on ? QStringLiteral("QLabel { color: #ffffff; background: #f28c28; border-radius: 3px;"
                                      " padding: 2px 6px; font-weight: bold; }")
                     : QStringLiteral("QLabel { color: #0f4c81; background: #e3eef8; border-radius: 3px;"
                                      " padding: 2px 6px; font-weight: bold; }"));
}

void BalanceLabel::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* update = menu.addAction(Text(kTextUpdateBalance));
    if (menu.exec(event->globalPos()) == update)
        emit updateRequested();
}

}  // namespace quillon
