// A tab button of the main window: 98 by 19 pixels, drawn pressed while its pane is current.
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

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int commandId_;
    bool pressed_ = false;
    bool hover_ = false;
};

}  // namespace quillon
