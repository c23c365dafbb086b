// A small button drawn from images: normal, hover, pressed (the main window's close button).
#pragma once

#include <QAbstractButton>
#include <QString>

namespace quillon {

class ImageButton : public QAbstractButton {
    Q_OBJECT
public:
    // Images `baseName`-normal, -hover and -pressed of the shell's image set.
    ImageButton(const QString& baseName, QSize size, QWidget* parent = nullptr);

    QSize sizeHint() const override { return size_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString baseName_;
    QSize size_;
    bool hover_ = false;
};

}  // namespace quillon
