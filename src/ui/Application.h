// The desktop program from start to end: start-up in its fixed order, the message loop, and the
// orderly shutdown that stops the worker and checkpoints the store.
#pragma once

namespace quillon {

// Runs the program; returns its exit code.
//
// QUILLON_RECORD_MESSAGES=FILE makes an unattended run: message boxes are appended to FILE as
// "caption|text|link" lines and answered at once instead of waiting for a click.
// SIGTERM, SIGINT and SIGHUP end the program as the tray's "Exit" does.
int RunQuillon(int argc, char** argv);

}  // namespace quillon
