// One copy of the program per user. The first copy holds an exclusive lock on the file
// "Quillon3Mutex" in the user's runtime directory for its whole life and listens on the local
// socket "WM_TARVANE_QLN3_IsMe" there. A second copy that cannot take the lock sends the probe
// over that socket; the running copy answers 0xCAFEBABE and shows and raises its window.
//
// The runtime directory must be the user's own: another local user who could write there could
// hold the lock or answer the probe in its place.
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

    struct Folder {
        QString path;     // the folder in use
        QString refused;  // non-empty: the usual folder, refused because it is not the user's own
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR, else a per-user folder under the temporary directory (made 0700); when that
    // folder is not owned by the user or others may write to it, a fresh private folder made for this
    // process instead.
    static Folder ChooseRuntimeDirectory();
    static QString RuntimeDirectory() { return ChooseRuntimeDirectory().path; }
    static QString LockPath();
    static QString ProbePath();

    // Takes the lock (kept until this object is destroyed or the process ends). Failed: Problem()
    // says why when the user can do something about it.
    Outcome Acquire();
    QString Problem() const { return problem_; }
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
    QString problem_;
    QLocalServer server_;
};

}  // namespace quillon
