#include "ui/control/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace quorvane::ui {

namespace {

constexpr int kWaitMs = 2000;

}  // namespace

SingleInstance::SingleInstance(QString key, QObject* parent)
    : QObject(parent), key_(std::move(key)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::AskRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(key_);
    if (!socket.waitForConnected(kWaitMs)) {
        return false;
    }
    socket.write("show\n");
    socket.waitForBytesWritten(kWaitMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Claim() {
    // Two programs started at the same moment take turns here, so only one
    // of them becomes the running instance.
    QLockFile lock(QDir(QDir::tempPath()).filePath(key_ + QStringLiteral(".lock")));
    lock.tryLock(kWaitMs);
    if (AskRunningInstance()) {
        return false;
    }
    // Nobody answers: a socket file left by a program that crashed is stale.
    QLocalServer::removeServer(key_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            emit Activated();
        }
    });
    // Without a server the program still runs, only unguarded.
    server_->listen(key_);
    return true;
}

}  // namespace quorvane::ui
