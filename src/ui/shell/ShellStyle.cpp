#include "ui/shell/ShellStyle.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

// The images are compiled into the ui library; a static library must register them itself.
static void InitShellResources() {
    Q_INIT_RESOURCE(quillon);
}

namespace quillon {

namespace {
void EnsureResources() {
    static const bool done = (InitShellResources(), true);
    (void)done;
}
}  // namespace

QString ShellStyle::ImagePath(const QString& name) {
    EnsureResources();
    return QStringLiteral(":/quillon/images/%1.svg").arg(name);
}

QIcon ShellStyle::Icon(const QString& name) {
    return QIcon(ImagePath(name));
}

QPixmap ShellStyle::Pixmap(const QString& name, QSize size, qreal devicePixelRatio) {
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(ImagePath(name));
    QPainter p(&pixmap);
    renderer.render(&p);
    p.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

void ShellStyle::Apply(QApplication& app) {
    QFont font = app.font();
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"), QStringLiteral("Sans Serif")});
    font.setPointSizeF(8.6);
    app.setFont(font);
    app.setStyle(QStringLiteral("Fusion"));
    QPalette palette = app.palette();
    palette.setColor(QPalette::Window, kWindow);
    palette.setColor(QPalette::WindowText, kText);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, kText);
    palette.setColor(QPalette::Button, QColor(0xf7, 0xf9, 0xfb));
    palette.setColor(QPalette::ButtonText, kText);
    palette.setColor(QPalette::Highlight, kAccent);
    palette.setColor(QPalette::Link, kAccent);
    palette.setColor(QPalette::Disabled, QPalette::Text, kMuted);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xa3, 0xad, 0xb8));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0xa3, 0xad, 0xb8));
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(0xf3, 0xf5, 0xf7));
    app.setPalette(palette);
}

QString ShellStyle::PaneStyleSheet() {
    return QStringLiteral(
        "QGroupBox { background: #ffffff; border: 1px solid #d5dde5; border-radius: 6px; margin-top: 14px;"
        "  padding: 8px 8px 6px 8px; font-weight: bold; color: #0f4c81; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }"
        "QGroupBox QLabel, QGroupBox QRadioButton, QGroupBox QCheckBox { font-weight: normal; color: #1d2733; }"
        "QGroupBox QLabel:disabled, QGroupBox QRadioButton:disabled { color: #a3adb8; }"
        "QLineEdit, QComboBox { border: 1px solid #b9c4cf; border-radius: 3px; padding: 2px 4px;"
        "  background: #ffffff; font-weight: normal; min-height: 16px; }"
        "QLineEdit:focus, QComboBox:focus { border-color: #1f7bc4; }"
        "QLineEdit:disabled, QComboBox:disabled { background: #f3f5f7; color: #8a96a3; border-color: #d5dde5; }"
        "QPushButton { border: 1px solid #1b6ca8; border-radius: 4px; padding: 3px 12px; font-weight: normal;"
        "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2f8fd8, stop:1 #1f7bc4); color: white;"
        "  min-height: 16px; }"
        "QPushButton:hover { background: #2f8fd8; }"
        "QPushButton:pressed { background: #1b6ca8; }"
        "QPushButton:disabled { background: #c8d3de; border-color: #c8d3de; color: #f3f5f7; }"
        "QPushButton[flat-link=\"true\"] { background: transparent; border: none; color: #1f7bc4;"
        "  text-decoration: underline; padding: 2px 4px; }"
        "QPushButton[secondary=\"true\"] { background: #ffffff; color: #1b6ca8; }"
        "QPushButton[secondary=\"true\"]:hover { background: #eef5fb; }");
}

}  // namespace quillon
