// The desktop program with the start-up probe installed, for the start-up tests:
//   QUILLON_TEST_THROW_AT=POINT   start-up throws at that point ("tables" or "window");
//   QUILLON_TEST_WINDOW_STATE=FILE  the main window's state, as it stands when the loop is about to
//                                   run, is written to FILE: "tray=0|1 visible=0|1 minimized=0|1"
//                                   (tray: whether a tray host exists).
// Only this program reads these variables; `quillon` itself never installs a probe.
#include <QFile>
#include <QSystemTrayIcon>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "ui/shell/Application.h"

int main(int argc, char** argv) {
    const char* throwAt = std::getenv("QUILLON_TEST_THROW_AT");
    const char* stateFile = std::getenv("QUILLON_TEST_WINDOW_STATE");
    std::string throwPoint = throwAt ? throwAt : "";
    QString statePath = stateFile ? QString::fromLocal8Bit(stateFile) : QString();
    quillon::SetStartupProbe([throwPoint, statePath](const char* point, QWidget* window) {
        if (throwPoint == point)
            throw std::runtime_error(std::string("injected fault at ") + point);
        if (window && !statePath.isEmpty()) {
            QFile file(statePath);
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write(QStringLiteral("tray=%1 visible=%2 minimized=%3\n")
                               .arg(QSystemTrayIcon::isSystemTrayAvailable() ? 1 : 0)
                               .arg(window->isVisible() ? 1 : 0)
                               .arg(window->isMinimized() ? 1 : 0)
                               .toUtf8());
        }
    });
    return quillon::RunQuillon(argc, argv);
}
