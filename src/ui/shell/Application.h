// The desktop program from start to end: start-up in its fixed order, the message loop, and the
// orderly shutdown that stops the worker and checkpoints the store.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace quillon {

// A seam for the desktop tests, unused by the program itself: called at named points of start-up,
// inside the guard that turns an escaping exception into the "Unexpected error" box, so a probe
// may throw to take that path. Points: "tables" (before the name tables load, `window` null) and
// "window" (the main window made and shown or left hidden, just before the loop runs).
using StartupProbe = std::function<void(const char* point, QWidget* window)>;
void SetStartupProbe(StartupProbe probe);

// What is wrong with a data directory before start-up enters it (empty: nothing found): none named,
// or named but missing or not readable and writable; the text names the folder and the fix.
QString DataDirectoryProblem(const std::string& dataPath);

// Runs the program; returns its exit code.
//
// QUILLON_RECORD_MESSAGES=FILE makes an unattended run: message boxes are appended to FILE as
// "caption|text|link" lines and answered at once instead of waiting for a click (Yes/No questions
// with Yes, or with No when QUILLON_RECORD_ANSWER=no).
// SIGTERM, SIGINT and SIGHUP end the program as the tray's "Exit" does.
int RunQuillon(int argc, char** argv);

}  // namespace quillon
