// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include "Logging.h"

namespace clipwren {

namespace {

const QByteArray raiseRequest = "raise\n";
const QByteArray raiseDone = "ok\n";
// The running instance may have taken the lock a moment ago and not listen yet.
constexpr int answerTimeoutMs = 5000;
constexpr int retryDelayMs = 50;

}  // namespace

QString SingleInstance::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent),
      m_socketPath(folder + QStringLiteral("/clipwren-plus.socket")),
      m_lock(folder + QStringLiteral("/clipwren-plus.lock")) {
    // Only a lock whose process is gone is stale, however long the program has been running.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server.nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (!client->canReadLine()) return;
                if (client->readLine() == raiseRequest) {
                    Q_EMIT raiseRequested();
                    client->write(raiseDone);
                }
                client->disconnectFromServer();
            });
        }
    });
}

SingleInstance::Claim SingleInstance::claim() {
    if (m_lock.tryLock(0)) {
        if (!listen()) {
            qCWarning(lcService) << "cannot listen on" << m_socketPath << m_server.errorString();
        }
        return Claim::Running;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        // No lock can be had at all (no runtime folder, no permission): running twice is
        // better than not running.
        qCWarning(lcService) << "cannot create the lock" << m_lock.error();
        return Claim::Running;
    }
    return askTheRunningOne();
}

bool SingleInstance::listen() {
    // We hold the lock, so whatever socket is there was left by a program that is gone.
    QLocalServer::removeServer(m_socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(m_socketPath);
}

SingleInstance::Claim SingleInstance::askTheRunningOne() {
    const QDeadlineTimer deadline(answerTimeoutMs);
    QLocalSocket socket;
    while (true) {
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(int(deadline.remainingTime()))) break;
        if (deadline.hasExpired()) return Claim::NotAnswering;
        QThread::msleep(retryDelayMs);
    }
    socket.write(raiseRequest);
    socket.waitForBytesWritten(int(deadline.remainingTime()));
    while (!socket.canReadLine() && socket.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    return socket.readLine() == raiseDone ? Claim::Raised : Claim::NotAnswering;
}

}  // namespace clipwren
