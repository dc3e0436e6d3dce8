// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/net/TlsConnection.h"

#include <QCoreApplication>
#include <QSslConfiguration>
#include <QSslSocket>

#include "platform/net/Keepalive.h"

namespace clipwren {

TlsConnection::TlsConnection(QString host, quint16 port, int setupTimeoutMs, QObject* parent)
    : Connection(parent), m_host(std::move(host)), m_port(port) {
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryIntervalMs);
    connect(&m_retry, &QTimer::timeout, this, &TlsConnection::attempt);
    m_setupDeadline.setSingleShot(true);
    m_setupDeadline.setInterval(setupTimeoutMs);
    connect(&m_setupDeadline, &QTimer::timeout, this, &TlsConnection::onSetupTimeout);
}

TlsConnection::~TlsConnection() = default;

void TlsConnection::start() {
    report(State::Setup);
    attempt();
}

void TlsConnection::attempt() {
    m_socket = std::make_unique<QSslSocket>();
    QSslSocket* socket = m_socket.get();
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    socket->setReadBufferSize(socketReadSlice);
    m_writer = new PacedWriter(*socket);
    connect(socket, &QSslSocket::connected, socket, [socket] { enableKeepalive(*socket); });
    connect(socket, &QSslSocket::encrypted, this, &TlsConnection::onEncrypted);
    connect(socket, &QSslSocket::errorOccurred, this, &TlsConnection::onError);
    connect(socket, &QSslSocket::sslErrors, socket,
            [socket](const QList<QSslError>&) { socket->ignoreSslErrors(); });
    connect(socket, &QSslSocket::readyRead, this, &TlsConnection::deliverRead);
    connect(socket, &QSslSocket::bytesWritten, this, &TlsConnection::onBytesWritten);
    report(State::Preparing);
    m_setupDeadline.start();
    socket->connectToHostEncrypted(m_host, m_port);
}

void TlsConnection::report(State state, const QString& error) {
    Q_EMIT stateChanged(state, error);
}

void TlsConnection::onEncrypted() {
    m_setupDeadline.stop();
    m_ready = true;
    report(State::Ready);
}

void TlsConnection::onSetupTimeout() {
    dropSocket();
    waitAndRetry(QCoreApplication::translate("QAbstractSocket", "Socket operation timed out"));
}

void TlsConnection::waitAndRetry(const QString& reason) {
    report(State::Waiting, reason);
    m_retry.start();
}

bool TlsConnection::isUnreachable(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
        case QAbstractSocket::HostNotFoundError:
        case QAbstractSocket::NetworkError:
        case QAbstractSocket::SocketTimeoutError:
        case QAbstractSocket::TemporaryError:
            return true;
        default:
            return false;
    }
}

void TlsConnection::dropSocket() {
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket.release()->deleteLater();  // we may be inside one of its signals
}

void TlsConnection::onError(QAbstractSocket::SocketError error) {
    if (m_ended || m_readError) return;  // the stream has already ended
    const QString description = m_socket->errorString();
    if (!m_ready) {
        m_setupDeadline.stop();
        dropSocket();
        if (isUnreachable(error)) {
            waitAndRetry(description);
        } else {
            report(State::Failed, description);
        }
        return;
    }
    // The stream is over: a closed peer ends the pending read with what arrived, any other
    // error fails it; either way the socket cannot send any more.
    if (error == QAbstractSocket::RemoteHostClosedError) {
        m_ended = true;
    } else {
        m_readError = description;
    }
    deliverRead();
    failSends(description);
    report(State::Failed, description);
}

void TlsConnection::send(OutgoingBytes bytes, SendCompletion done) {
    const bool writable = m_socket && m_ready && !m_ended && !m_readError;
    const qsizetype size = bytes.size();
    if (!writable || !m_writer->write(std::move(bytes))) {
        const QString error =
            m_socket ? m_socket->errorString()
                     : QCoreApplication::translate("QAbstractSocket", "Socket is not connected");
        QMetaObject::invokeMethod(
            this, [done = std::move(done), error] { done(Failure{error}); }, Qt::QueuedConnection);
        return;
    }
    m_queued += size;
    m_sends.push_back({m_queued, std::move(done)});
}

void TlsConnection::onBytesWritten(qint64 count) {
    m_written += count;
    while (!m_sends.empty() && m_sends.front().end <= m_written) {
        SendCompletion done = std::move(m_sends.front().done);
        m_sends.pop_front();
        done(Result<void>());
    }
}

void TlsConnection::failSends(const QString& error) {
    std::deque<PendingSend> failed;
    failed.swap(m_sends);
    for (PendingSend& pending : failed) pending.done(Failure{error});
}

void TlsConnection::receive(qsizetype min, qsizetype max, ReceiveCompletion done) {
    m_read = PendingRead{min, max, std::move(done)};
    // Never complete inside the caller: what is already here is delivered from the loop.
    QMetaObject::invokeMethod(this, &TlsConnection::deliverRead, Qt::QueuedConnection);
}

void TlsConnection::deliverRead() {
    if (!m_read || !m_socket) return;
    const qint64 available = m_socket->bytesAvailable();
    const bool finished = m_ended || m_readError;
    if (available < m_read->min && !finished) return;

    Received received;
    received.bytes = m_socket->read(std::min<qint64>(available, m_read->max));
    const bool drained = m_socket->bytesAvailable() == 0;
    received.isComplete = m_ended && drained;
    if (drained && m_readError) received.status = Failure{*m_readError};
    ReceiveCompletion done = std::move(m_read->done);
    m_read.reset();
    done(std::move(received));
}

QByteArray TlsConnection::peerCertificateDigest() const {
    if (!m_ready || !m_socket) return QByteArray();
    return m_socket->peerCertificate().digest(QCryptographicHash::Sha256);
}

void TlsConnection::abandon() {
    m_retry.stop();
    m_setupDeadline.stop();
    m_read.reset();
    m_sends.clear();
    if (m_socket) dropSocket();
}

ConnectionFactory tlsConnectionFactory() {
    return [](const QString& host, quint16 port) {
        return std::make_unique<TlsConnection>(host, port);
    };
}

}  // namespace clipwren
