#include "ui/shell/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDataStream>
#include <QDir>
#include <QLocalSocket>
#include <cerrno>

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

QString SingleInstance::RuntimeDirectory() {
    QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists())
        return QString::fromLocal8Bit(runtime);
    QString dir = QDir::tempPath() + QStringLiteral("/quillon-%1").arg(::getuid());
    ::mkdir(QFile::encodeName(dir).constData(), 0700);
    return dir;
}

QString SingleInstance::LockPath() {
    return RuntimeDirectory() + "/" + kLockName;
}

QString SingleInstance::ProbePath() {
    return RuntimeDirectory() + "/" + kProbeName;
}

SingleInstance::Outcome SingleInstance::Acquire() {
    int fd = ::open(QFile::encodeName(LockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return Outcome::Failed;
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
