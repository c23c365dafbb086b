#include "ui/shell/ShellStyle.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QSvgRenderer>
#include <cmath>

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

// Fusion drawing with the desktop theme's message box icons, plain dialog buttons (no fallback
// pictures on OK and Cancel) and drop-down lists whose highlight the style sheet sets.
class ShellProxyStyle : public QProxyStyle {
public:
    ShellProxyStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 0;
        // Drop-down lists as plain item views: the pane's style sheet then sets their highlight
        // (drawn as menu entries it came out white on white).
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
        const char* themeName = nullptr;
        switch (which) {
            case SP_MessageBoxInformation:
                themeName = "dialog-information";
                break;
            case SP_MessageBoxWarning:
                themeName = "dialog-warning";
                break;
            case SP_MessageBoxCritical:
                themeName = "dialog-error";
                break;
            case SP_MessageBoxQuestion:
                themeName = "dialog-question";
                break;
            default:
                break;
        }
        if (themeName) {
            // Some themes carry only the symbolic drawing of these icons.
            for (const QString& name : {QString::fromLatin1(themeName), QString::fromLatin1(themeName) + "-symbolic"}) {
                QIcon themed = QIcon::fromTheme(name);
                if (!themed.isNull())
                    return themed;
            }
        }
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

double Luminance(const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
}  // namespace

double ShellStyle::Contrast(const QColor& a, const QColor& b) {
    double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::vector<ShellStyle::TextPair> ShellStyle::TextPairs() {
    const QColor white(Qt::white);
    return {{"text on a card", kText, kCard},
            {"text on the window", kText, kWindow},
            {"muted text on a card", kMuted, kCard},
            {"muted text on the window", kMuted, kWindow},
            {"section title", kAccentDark, kCard},
            {"pressed tab", kAccentDark, kWindow},
            {"link", kAccent, kCard},
            {"button text", white, kAccent},
            {"button text, gradient top", white, QColor(0x1f, 0x75, 0xba)},
            {"secondary button", QColor(0x1b, 0x6c, 0xa8), kCard},
            {"selected list item", white, kAccent},
            {"error text", kError, kCard},
            {"proxy description", QColor(0x4a, 0x55, 0x61), kCard},
            {"footer text", kText, QColor(0xe3, 0xe9, 0xef)}};
}

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
    app.setStyle(new ShellProxyStyle);
    // Without a desktop session the icon theme may be unset and its folders unknown; the
    // freedesktop places and default theme serve.
    QStringList iconPaths = QIcon::themeSearchPaths();
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (!iconPaths.contains(dir + QStringLiteral("/icons")))
            iconPaths << dir + QStringLiteral("/icons");
    }
    QIcon::setThemeSearchPaths(iconPaths);
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
    QPalette palette = app.palette();
    palette.setColor(QPalette::Window, kWindow);
    palette.setColor(QPalette::WindowText, kText);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, kText);
    palette.setColor(QPalette::Button, QColor(0xf7, 0xf9, 0xfb));
    palette.setColor(QPalette::ButtonText, kText);
    palette.setColor(QPalette::Highlight, kAccent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
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
        "QLineEdit:focus, QComboBox:focus { border: 2px solid #1a6fb0; padding: 1px 3px; }"
        // The open list of a drop-down: the highlighted entry must stand out.
        "QComboBox QAbstractItemView { background: #ffffff; color: #1d2733; selection-background-color: #1a6fb0;"
        "  selection-color: #ffffff; outline: 0; }"
        "QLineEdit:disabled, QComboBox:disabled { background: #f3f5f7; color: #8a96a3; border-color: #d5dde5; }"
        "QPushButton { border: 1px solid #1b6ca8; border-radius: 4px; padding: 3px 12px; font-weight: normal;"
        "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #1f75ba, stop:1 #1a6fb0); color: white;"
        "  min-height: 16px; }"
        "QPushButton:hover { background: #1f75ba; }"
        "QPushButton:focus { border: 2px solid #f28c28; padding: 2px 11px; }"
        "QPushButton:pressed { background: #1b6ca8; }"
        "QPushButton:disabled { background: #c8d3de; border-color: #c8d3de; color: #f3f5f7; }"
        "QPushButton[flat-link=\"true\"] { background: transparent; border: none; color: #1a6fb0;"
        "  text-decoration: underline; padding: 2px 4px; }"
        "QPushButton[secondary=\"true\"] { background: #ffffff; color: #1b6ca8; }"
        "QPushButton[secondary=\"true\"]:hover { background: #eef5fb; }");
}

}  // namespace quillon
