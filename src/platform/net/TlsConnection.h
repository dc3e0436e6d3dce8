// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QAbstractSocket>
#include <QTimer>
#include <deque>
#include <memory>

#include "platform/net/Connection.h"
#include "platform/net/PacedWriter.h"

class QSslSocket;

namespace clipwren {

// TLS client connection on QSslSocket. Any certificate is accepted: the peer proves itself
// with the pairing code inside the messages, not with a certificate. While the peer cannot
// be reached it reports Waiting and tries again every two seconds, since the user may start
// the other side after connecting.
class TlsConnection final : public Connection {
    Q_OBJECT

public:
    static constexpr int retryIntervalMs = 2000;

    // A peer that accepts TCP but never completes the handshake counts as unreachable.
    static constexpr int defaultSetupTimeoutMs = 30'000;

    TlsConnection(QString host, quint16 port, int setupTimeoutMs = defaultSetupTimeoutMs,
                  QObject* parent = nullptr);
    ~TlsConnection() override;

    void start() override;
    void send(OutgoingBytes bytes, SendCompletion done) override;
    void receive(qsizetype min, qsizetype max, ReceiveCompletion done) override;
    QByteArray peerCertificateDigest() const override;

protected:
    void abandon() override;

private:
    struct PendingRead {
        qsizetype min;
        qsizetype max;
        ReceiveCompletion done;
    };
    struct PendingSend {
        qint64 end;  // position in the sent stream at which this send is complete
        SendCompletion done;
    };

    void attempt();
    void dropSocket();
    void report(State state, const QString& error = QString());
    void onEncrypted();
    void onSetupTimeout();
    void waitAndRetry(const QString& reason);
    void onError(QAbstractSocket::SocketError error);
    void onBytesWritten(qint64 count);
    void deliverRead();
    void failSends(const QString& error);
    static bool isUnreachable(QAbstractSocket::SocketError error);

    QString m_host;
    quint16 m_port;
    std::unique_ptr<QSslSocket> m_socket;
    PacedWriter* m_writer = nullptr;  // a child of m_socket
    QTimer m_retry;
    QTimer m_setupDeadline;
    bool m_ready = false;
    bool m_ended = false;
    std::optional<QString> m_readError;
    std::optional<PendingRead> m_read;
    std::deque<PendingSend> m_sends;
    qint64 m_queued = 0;
    qint64 m_written = 0;
};

// Real TLS connections, as the program makes them.
ConnectionFactory tlsConnectionFactory();

}  // namespace clipwren
