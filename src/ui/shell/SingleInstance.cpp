#include "ui/shell/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDataStream>
#include <QDir>
#include <QLocalSocket>
#include <cerrno>
#include <cstdlib>

#include "core/PrivateFiles.h"
#include "ui/shell/UiText.h"

namespace quillon {

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                QByteArray request = socket->readAll();
                if (!request.startsWith(kProbeName)) {
                    socket->disconnectFromServer();
                    return;
                }
                QByteArray answer;
                QDataStream out(&answer, QIODevice::WriteOnly);
                out << kAnswer;
                socket->write(answer);
                socket->flush();
                emit probed();
            });
        }
    });
}

SingleInstance::~SingleInstance() {
    server_.close();
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

SingleInstance::Folder SingleInstance::ChooseRuntimeDirectory() {
    QString usual;
    QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists()) {
        usual = QString::fromLocal8Bit(runtime);
    } else {
        usual = QDir::tempPath() + QStringLiteral("/quillon-%1").arg(::getuid());
        MakePrivateFolder(QFile::encodeName(usual).toStdString());
    }
    if (IsOwnFolder(QFile::encodeName(usual).toStdString()))
        return {usual, {}};
    // Made once per process, so the lock and the socket of this copy stay together.
    static const QString fresh = [] {
        QByteArray pattern = QFile::encodeName(QDir::tempPath() + QStringLiteral("/quillon-%1-XXXXXX").arg(::getuid()));
        return ::mkdtemp(pattern.data()) ? QFile::decodeName(pattern) : QString();
    }();
    return {fresh, usual};
}

QString SingleInstance::LockPath() {
    return RuntimeDirectory() + "/" + kLockName;
}

QString SingleInstance::ProbePath() {
    return RuntimeDirectory() + "/" + kProbeName;
}

SingleInstance::Outcome SingleInstance::Acquire() {
    const Folder folder = ChooseRuntimeDirectory();
    if (folder.path.isEmpty()) {  // refused, and no private folder could be made either
        problem_ = FormatText(kTextRuntimeFolderUnsafe, {S(folder.refused), S(QDir::tempPath())});
        return Outcome::Failed;
    }
    const QString path = folder.path + "/" + kLockName;
    int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || !S_ISREG(st.st_mode))) {
        ::close(fd);
        fd = -1;
        errno = EACCES;
    }
    if (fd < 0) {
        // Someone else's file (or a link) where the lock belongs: say so rather than end silently.
        if (errno == EACCES || errno == ELOOP || errno == EPERM)
            problem_ = FormatText(kTextInstanceLockForeign, {S(path)});
        return Outcome::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Outcome::AnotherRuns : Outcome::Failed;
    }
    lockFd_ = fd;
    return Outcome::First;
}

bool SingleInstance::Listen() {
    // Holding the lock makes a socket file left by a crashed copy stale: remove it.
    QLocalServer::removeServer(ProbePath());
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(ProbePath());
}

bool SingleInstance::FindRunningInstance(int timeoutMs) {
    return ProbeAt(ProbePath(), timeoutMs);
}

bool SingleInstance::ProbeAt(const QString& probePath, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(probePath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kProbeName);
    socket.write("\n");
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    while (answer.size() < 4) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
        answer += socket.readAll();
    }
    QDataStream in(answer);
    quint32 value = 0;
    in >> value;
    return value == kAnswer;
}

}  // namespace quillon
