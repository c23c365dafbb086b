// The balance line of the compose and options panes. While a refresh is due it blinks: its own
// 500 ms timer toggles the highlight on every tick.
#pragma once

#include <QLabel>
#include <QTimer>

namespace quillon {

class BalanceLabel : public QLabel {
    Q_OBJECT
public:
    explicit BalanceLabel(QWidget* parent = nullptr);

    void StartBlinking();
    void StopBlinking();
    bool IsBlinking() const { return timer_.isActive(); }
    bool IsHighlighted() const { return highlighted_; }

signals:
    void updateRequested();  // "Update Balance" of its context menu

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void SetHighlighted(bool on);

    QTimer timer_;
    bool highlighted_ = false;
};

}  // namespace quillon
