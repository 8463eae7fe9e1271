#include "ui/control/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include "ui/control/instance_trust.h"

namespace quorvane::ui {

namespace {

constexpr int kWaitMs = 2000;
// A request is one line: "show", or "share " and a folder.
constexpr qint64 kMaxRequest = 64 * 1024;
const QByteArray kShare = QByteArrayLiteral("share ");

QString PathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

SingleInstance::SingleInstance(std::optional<std::filesystem::path> folder, const std::string& key,
                               uid_t user, QObject* parent)
    : QObject(parent),
      folder_(std::move(folder)),
      socketPath_(folder_ ? PathText(*folder_ / key) : QString()),
      user_(user) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::AskRunningInstance(const std::optional<QString>& share) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(kWaitMs)) {
        return false;
    }
    // A listener of another user is no window of ours, whatever its name.
    if (!IsTrustedPeer(PeerUser(static_cast<int>(socket.socketDescriptor())), user_)) {
        socket.abort();
        return false;
    }
    // A folder whose name holds a line break cannot be asked for.
    socket.write(share && !share->contains(QLatin1Char('\n'))
                     ? QByteArray(kShare + share->toUtf8() + '\n')
                     : QByteArrayLiteral("show\n"));
    socket.waitForBytesWritten(kWaitMs);
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::Answer() {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        if (!IsTrustedPeer(PeerUser(static_cast<int>(client->socketDescriptor())), user_)) {
            client->abort();
            client->deleteLater();
            continue;
        }
        connect(client, &QLocalSocket::readyRead, this, [this, client] { ReadRequests(*client); });
        connect(client, &QLocalSocket::disconnected, this, [this, client] {
            ReadRequests(*client);
            client->deleteLater();
        });
    }
}

void SingleInstance::ReadRequests(QLocalSocket& client) {
    while (client.canReadLine()) {
        QByteArray line = client.readLine(kMaxRequest);
        if (!line.endsWith('\n')) {
            client.abort();
            return;
        }
        line.chop(1);
        emit Activated();
        if (line.startsWith(kShare)) {
            emit ShareAsked(QString::fromUtf8(line.mid(kShare.size())));
        }
    }
    if (client.bytesAvailable() > kMaxRequest) {
        client.abort();
    }
}

bool SingleInstance::Claim(const std::optional<QString>& share) {
    if (!folder_) {
        return true;
    }
    // Two programs started at the same moment take turns here, so only one
    // of them becomes the running instance.
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    lock.tryLock(kWaitMs);
    if (AskRunningInstance(share)) {
        return false;
    }
    // Nobody of ours answers: a socket file left by a program that crashed is
    // stale, and the folder is this user's own to clean.
    QLocalServer::removeServer(socketPath_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::Answer);
    // Without a server the program still runs, only unguarded.
    server_->listen(socketPath_);
    return true;
}

}  // namespace quorvane::ui
