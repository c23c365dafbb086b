// Putting the main window or a dialog on the offscreen screen in ui tests.
#pragma once

#include <QTest>
#include <QWidget>

#include "ui/shell/MainWindow.h"

namespace quillon::test {

// Without a tray icon closing the window asks instead of hiding it to the tray.
inline MainWindowOptions NoTray() {
    MainWindowOptions options;
    options.tray = false;
    return options;
}

// Shows `w`; false when it never reached the screen.
inline bool Show(QWidget& w) {
    w.show();
    return QTest::qWaitForWindowExposed(&w);
}

}  // namespace quillon::test
