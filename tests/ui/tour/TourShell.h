// What the screenshot tours share: where the pictures go, how one is taken, and the main window
// over a test environment with its comms worker, logged in to the sandbox's demo account.
#pragma once

#include <QApplication>
#include <QPoint>
#include <QString>
#include <memory>

#include "gateway/CommsWorker.h"
#include "ui/shell/QueuedMessageSink.h"

class QWidget;

namespace quillon {
class MainWindow;
}

namespace quillon::test {

class UiTestEnv;

// A tour's command line, OUTDIR [SUFFIX]: the pictures go to OUTDIR (made when missing; the working
// folder without one), each named NAME SUFFIX.png (the suffix tells a run at another scale apart).
// Also keeps the application running while no window is shown between pictures.
class TourOutput {
public:
    TourOutput(QApplication& app, int argc, char** argv);
    QString Png(const QString& name) const { return dir_ + "/" + name + suffix_ + ".png"; }

private:
    QString dir_;
    QString suffix_;
};

// Lets the window settle and saves it as `file`. Under X11 the screen is taken with
// `import -window root` and cut to the window's frame, so the decorations show; elsewhere (or when
// that fails) the window grabs itself.
void Shoot(QWidget& window, const QString& file);
// Shows a dialog at `at`, takes it and hides it again.
void ShootDialog(QWidget& dialog, QPoint at, const QString& file);

// A tour's program: the application in the shell's style, where its pictures go, and a fresh test
// environment (with the sandbox gateway unless told otherwise).
class TourApp {
public:
    TourApp(int& argc, char** argv, const char* program, bool withSandbox = true);
    ~TourApp();

    // False, with the reason on stderr, when the sandbox gateway did not start.
    bool Started();
    const TourOutput& Out() const { return out_; }
    UiTestEnv& Env() { return *env_; }

private:
    QApplication app_;
    TourOutput out_;
    std::unique_ptr<UiTestEnv> env_;
    const char* program_;
};

// The main window over the environment's store, with the worker and sink it talks through. Build it
// after filling the store; it stops the worker when it goes.
class TourShell {
public:
    explicit TourShell(UiTestEnv& env);
    ~TourShell();

    MainWindow& Window() { return *window_; }
    CommsWorker& Worker() { return worker_; }
    QueuedMessageSink& Sink() { return sink_; }

    // Shows the window near the screen's corner and, after `settleMs`, types the demo account into
    // the login pane.
    void ShowLogin(int settleMs = 600);
    // Presses OK on the login pane and gives the login `settleMs`.
    void PressLogin(int settleMs = 1500);
    void LogIn(int showMs = 600, int loginMs = 1500) {
        ShowLogin(showMs);
        PressLogin(loginMs);
    }

private:
    QueuedMessageSink sink_;
    CommsWorker worker_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace quillon::test
