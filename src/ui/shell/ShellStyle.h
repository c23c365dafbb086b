// The shell's colours, fonts and image names, in one place.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <vector>

class QApplication;

namespace quillon {

struct ShellStyle {
    static inline const QColor kAccent{0x1a, 0x6f, 0xb0};
    static inline const QColor kAccentDark{0x0f, 0x4c, 0x81};
    static inline const QColor kHighlight{0xf2, 0x8c, 0x28};
    static inline const QColor kWindow{0xee, 0xf2, 0xf6};
    static inline const QColor kCard{0xff, 0xff, 0xff};
    static inline const QColor kBorder{0xd5, 0xdd, 0xe5};
    static inline const QColor kBorderStrong{0x9a, 0xa8, 0xb6};
    static inline const QColor kText{0x1d, 0x27, 0x33};
    static inline const QColor kMuted{0x5d, 0x68, 0x75};
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

    // The contrast ratio of two colours (1 to 21; text wants at least 4.5).
    static double Contrast(const QColor& a, const QColor& b);
    // Every text colour of the skin with the background it is drawn on.
    struct TextPair {
        const char* where;
        QColor text;
        QColor background;
    };
    static std::vector<TextPair> TextPairs();
};

}  // namespace quillon
