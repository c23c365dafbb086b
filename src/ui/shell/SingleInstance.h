// One copy of the program per user. The first copy holds an exclusive lock on the file
// "Quillon3Mutex" in the user's runtime directory for its whole life and listens on the local
// socket "WM_TARVANE_QLN3_IsMe" there. A second copy that cannot take the lock sends the probe
// over that socket; the running copy answers 0xCAFEBABE and shows and raises its window.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace quillon {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    static constexpr quint32 kAnswer = 0xCAFEBABE;
    static constexpr const char* kLockName = "Quillon3Mutex";
    static constexpr const char* kProbeName = "WM_TARVANE_QLN3_IsMe";

    enum class Outcome { First, AnotherRuns, Failed };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR, else a private folder under the temporary directory.
    static QString RuntimeDirectory();
    static QString LockPath();
    static QString ProbePath();

    // Takes the lock (kept until this object is destroyed or the process ends).
    Outcome Acquire();
    // Starts answering probes; the main window calls it once it exists.
    bool Listen();
    // Sends the probe to the running copy; true when it answered 0xCAFEBABE. Waits at most
    // `timeoutMs` for the answer.
    static bool FindRunningInstance(int timeoutMs = 5000);
    // The same probe sent to the copy that listens at `probePath` (one of another runtime folder).
    static bool ProbeAt(const QString& probePath, int timeoutMs = 5000);

signals:
    void probed();  // a second copy asked: show and raise the window

private:
    int lockFd_ = -1;
    QLocalServer server_;
};

}  // namespace quillon
