// A pane that holds the place of the compose, address book and outbox panes until they are
// built: a heading, and where the main window needs one, a balance line or a status line.
#pragma once

#include <QLabel>

#include "ui/shell/Pane.h"

namespace quillon {

class BalanceLabel;

class PlaceholderPane : public Pane {
    Q_OBJECT
public:
    enum Feature { None = 0, WithBalance = 1, WithStatusLine = 2 };
    PlaceholderPane(const QString& heading, const QString& image, int features, QWidget* parent = nullptr);

    BalanceLabel* Balance() override { return balance_; }
    void ShowStatusLine(const QString& text) override;
    QString StatusLine() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString image_;
    BalanceLabel* balance_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace quillon
