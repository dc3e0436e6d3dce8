// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include "platform/net/Connection.h"
#include "platform/net/PacedWriter.h"
#include "protocol/ClipMessageReader.h"
#include "protocol/SessionNotice.h"

class QSslSocket;
class QTimer;

namespace clipwren::peer {

struct PeerIdentity;

// The TLS server the tray program connects to. A connection is a stranger until one of its
// messages carries the pairing code: until then it gets nothing and nothing it sends is
// passed on. Strangers are few, brief and small; of the connections that showed the code,
// only the newest is kept. A new connection is never turned away: when there is no room, it
// takes the place of a stranger, so idle strangers cannot lock the real client out.
class PeerServer : public QObject {
    Q_OBJECT

public:
    struct Limits {
        // Ample for a TLS handshake and a hello on a LAN.
        int authenticationTimeoutMs = 5'000;
        int maxStrangers = 8;
        // So that one address cannot hold every slot: beyond it, that address's own
        // strangers make room.
        int maxStrangersPerAddress = 4;
        // A hello is a few hundred bytes: a stranger may not make us hold a 24 MiB frame.
        quint32 maxStrangerFrame = 64 * 1024;
        qint64 readBufferSize = socketReadSlice;
    };

    PeerServer(QString token, const PeerIdentity& identity, Limits limits,
               QObject* parent = nullptr);
    PeerServer(QString token, const PeerIdentity& identity, QObject* parent = nullptr);
    ~PeerServer() override;

    bool listen(const QHostAddress& address, quint16 port);
    QString errorString() const;
    QHostAddress serverAddress() const;
    quint16 serverPort() const;

    bool hasClient() const { return !m_client.isNull(); }
    // Sends a frame to the connection that showed the code; nothing when there is none.
    bool send(const OutgoingBytes& frame);

Q_SIGNALS:
    void connected(const QString& who);
    void authenticated(const QString& who);
    void rejected(const QString& who, const QString& reason);
    // A connection showed a code other than ours (after rejected).
    void codeRefused(const QString& who);
    void replaced(const QString& who);
    // The connection that showed the code has gone.
    void clientClosed(const QString& who);
    // A stranger went away by itself, without showing the code.
    void strangerLeft(const QString& who);
    // A frame body from the connection that showed the code, the one that showed it included.
    void frameReceived(const QByteArray& body);

private:
    class Listener;

    void onAccepted(QSslSocket* socket);
    void onReadyRead(QSslSocket* socket);
    void makeRoomFor(const QHostAddress& address);
    void handleFrame(QSslSocket* socket, const QByteArray& body);
    void authenticate(QSslSocket* socket);
    void reject(QSslSocket* socket, const QString& reason,
                std::optional<SessionNotice> notice = std::nullopt);
    enum class Announce { No, Yes };
    void drop(QSslSocket* socket, Announce announce);
    void forget(QSslSocket* socket);
    void strangerFailed(QSslSocket* socket);
    QString certificateRefused() const;

    QString m_token;
    QString m_fingerprint;
    Limits m_limits;
    std::unique_ptr<Listener> m_listener;
    ClipMessageReader m_reader;
    QHash<QSslSocket*, QByteArray> m_buffers;
    struct Stranger {
        QTimer* deadline;  // a child of the socket
        quint64 arrival;   // order of acceptance
        QHostAddress address;
        bool answered = false;  // its TLS hello came, and our answer has left
    };
    QHash<QSslSocket*, Stranger> m_strangers;
    quint64 m_arrivals = 0;
    QHash<QSslSocket*, QString> m_names;  // kept: a closed socket no longer knows its peer
    QPointer<QSslSocket> m_client;
    QPointer<PacedWriter> m_writer;  // m_client's
};

}  // namespace clipwren::peer
