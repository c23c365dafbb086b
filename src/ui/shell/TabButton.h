// A tab button of the main window: 98 by 19 pixels, drawn pressed while its pane is current. It
// takes the keyboard focus (drawn as a ring) and steps to its neighbours with the arrow keys.
#pragma once

#include <QAbstractButton>

namespace quillon {

class TabButton : public QAbstractButton {
    Q_OBJECT
public:
    TabButton(int commandId, const QString& caption, QWidget* parent = nullptr);

    int CommandId() const { return commandId_; }
    bool IsPressed() const { return pressed_; }
    void SetPressed(bool pressed);

    QSize sizeHint() const override { return {98, 19}; }

signals:
    // Left or Right on a focused tab: move to the neighbouring tab, as in a tab bar.
    void stepRequested(int delta);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int commandId_;
    bool pressed_ = false;
    bool hover_ = false;
};

}  // namespace quillon
