// The two-state check control of the login and options panes: its state is its text, "X" when
// ticked and empty when not; a click toggles between the two.
#pragma once

#include <QAbstractButton>

namespace quillon {

class CheckControl : public QAbstractButton {
    Q_OBJECT
public:
    explicit CheckControl(QWidget* parent = nullptr);

    bool IsTicked() const { return text().startsWith('X'); }
    void SetTicked(bool ticked) { setText(ticked ? QStringLiteral("X") : QString()); }

    QSize sizeHint() const override { return {18, 18}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void nextCheckState() override {}
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool hover_ = false;
};

}  // namespace quillon
