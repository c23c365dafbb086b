// The shell's colours, fonts and image names, in one place.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QApplication;

namespace quillon {

struct ShellStyle {
    static inline const QColor kAccent{0x1f, 0x7b, 0xc4};
    static inline const QColor kAccentDark{0x0f, 0x4c, 0x81};
    static inline const QColor kHighlight{0xf2, 0x8c, 0x28};
    static inline const QColor kWindow{0xee, 0xf2, 0xf6};
    static inline const QColor kCard{0xff, 0xff, 0xff};
    static inline const QColor kBorder{0xd5, 0xdd, 0xe5};
    static inline const QColor kBorderStrong{0x9a, 0xa8, 0xb6};
    static inline const QColor kText{0x1d, 0x27, 0x33};
    static inline const QColor kMuted{0x6b, 0x77, 0x85};
    static inline const QColor kError{0xc0, 0x39, 0x2b};

    // Background size (the window is 2 pixels larger each way), header height, tab row.
    static constexpr int kBackgroundWidth = 656;
    static constexpr int kBackgroundHeight = 600;
    static constexpr int kHeaderHeight = 109;

    // An image of the shell by its file name under images/ (":/quillon/images/NAME.svg").
    static QString ImagePath(const QString& name);
    static QIcon Icon(const QString& name);
    // The image drawn at `size` device-independent pixels for the given device pixel ratio.
    static QPixmap Pixmap(const QString& name, QSize size, qreal devicePixelRatio);

    // Fonts and the style sheet of the panes.
    static void Apply(QApplication& app);
    static QString PaneStyleSheet();
};

}  // namespace quillon
