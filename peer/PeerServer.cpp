// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "PeerServer.h"

#include <sys/socket.h>

#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <utility>

#include "PeerIdentity.h"
#include "platform/net/Keepalive.h"
#include "protocol/FrameCodec.h"
#include "protocol/SessionNotice.h"

namespace clipwren::peer {

namespace {

// IPv4 clients of a dual-stack socket as plain IPv4, so one machine is one address.
QHostAddress clientAddress(const QAbstractSocket& socket) {
    const QHostAddress address = socket.peerAddress();
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4) : address;
}

// Whether a connection has sent anything yet: its TLS hello still waiting to be read, or
// read and being answered.
bool hasSpoken(QSslSocket& socket, bool answered) {
    if (answered || socket.isEncrypted() || socket.encryptedBytesToWrite() > 0) return true;
    char byte = 0;
    return ::recv(int(socket.socketDescriptor()), &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

// "address:port".
QString describe(const QAbstractSocket& socket) {
    return clientAddress(socket).toString() + u':' + QString::number(socket.peerPort());
}

}  // namespace

// Takes every connection from its first moment, before any TLS byte: a stranger that never
// says a word is counted and timed like any other. (QSslServer would only hand a connection
// over once its TLS hello had arrived.)
class PeerServer::Listener final : public QTcpServer {
public:
    QSslConfiguration configuration;
    std::function<void(QSslSocket* socket)> accepted;

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QSslSocket(this);
        socket->setSslConfiguration(configuration);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        accepted(socket);
        socket->startServerEncryption();
    }
};

PeerServer::PeerServer(QString token, const PeerIdentity& identity, QObject* parent)
    : PeerServer(std::move(token), identity, Limits(), parent) {}

PeerServer::PeerServer(QString token, const PeerIdentity& identity, Limits limits, QObject* parent)
    : QObject(parent),
      m_token(std::move(token)),
      m_fingerprint(identity.fingerprint),
      m_limits(limits),
      m_listener(std::make_unique<Listener>()) {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(QSslCertificate(identity.certificatePem, QSsl::Pem));
    configuration.setPrivateKey(QSslKey(identity.privateKeyPem, QSsl::Ec));
    // Clients have no certificates: the pairing code is what admits them.
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_listener->configuration = configuration;
    m_listener->accepted = [this](QSslSocket* socket) { onAccepted(socket); };
}

PeerServer::~PeerServer() {
    // Sockets die with the listener; nothing of theirs may reach a half-destroyed server.
    const auto sockets = m_names.keys();
    for (QSslSocket* socket : sockets) socket->disconnect(this);
    m_listener.reset();
}

bool PeerServer::listen(const QHostAddress& address, quint16 port) {
    return m_listener->listen(address, port);
}

QString PeerServer::errorString() const {
    // In our own words: the usual cause is another clipwren-peer, and Qt's text may be English.
    if (m_listener->serverError() == QAbstractSocket::AddressInUseError) {
        return QStringLiteral("la porta è già in uso, forse da un altro clipwren-peer");
    }
    return m_listener->errorString();
}

QHostAddress PeerServer::serverAddress() const {
    return m_listener->serverAddress();
}

quint16 PeerServer::serverPort() const {
    return m_listener->serverPort();
}

bool PeerServer::send(const OutgoingBytes& frame) {
    return m_client && m_writer && m_writer->write(frame);
}

void PeerServer::makeRoomFor(const QHostAddress& address) {
    const auto sameAddress = std::count_if(m_strangers.cbegin(), m_strangers.cend(),
                                           [&](const Stranger& s) { return s.address == address; });
    const bool ownSlotsOnly = sameAddress >= m_limits.maxStrangersPerAddress;
    if (!ownSlotsOnly && m_strangers.size() < m_limits.maxStrangers) return;

    // A silent one gives way before one that spoke, the oldest first. A real client speaks
    // TLS the moment it arrives, so strangers that keep silent, however many and however
    // fast they come back, only replace each other.
    QSslSocket* victim = nullptr;
    std::pair<bool, quint64> victimRank;
    for (auto it = m_strangers.cbegin(); it != m_strangers.cend(); ++it) {
        if (ownSlotsOnly && it->address != address) continue;
        const std::pair<bool, quint64> rank(hasSpoken(*it.key(), it->answered), it->arrival);
        if (!victim || rank < victimRank) {
            victim = it.key();
            victimRank = rank;
        }
    }
    if (victim) {
        reject(victim, QStringLiteral("sostituita da una connessione più recente"),
               SessionNotice::TooManyStrangers);
    }
}

void PeerServer::onAccepted(QSslSocket* socket) {
    const QHostAddress address = clientAddress(*socket);
    makeRoomFor(address);
    const QString who = describe(*socket);
    m_names.insert(socket, who);
    m_buffers.insert(socket, QByteArray());
    socket->setReadBufferSize(m_limits.readBufferSize);
    enableKeepalive(*socket);

    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, [this, socket] {
        reject(socket, QStringLiteral("nessun codice pairing entro %1 secondi")
                           .arg(m_limits.authenticationTimeoutMs / 1000.0));
    });
    deadline->start(m_limits.authenticationTimeoutMs);
    m_strangers.insert(socket, Stranger{deadline, ++m_arrivals, address});

    // The server writes nothing before a TLS hello has come.
    connect(socket, &QSslSocket::encryptedBytesWritten, this, [this, socket] {
        if (const auto stranger = m_strangers.find(socket); stranger != m_strangers.end())
            stranger->answered = true;
    });
    connect(socket, &QSslSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QSslSocket::disconnected, this, [this, socket] {
        onReadyRead(socket);  // what arrived before the end still counts
        // The tray program closes a session whose certificate it does not trust before it
        // sends the code.
        const auto stranger = m_strangers.constFind(socket);
        if (stranger != m_strangers.cend() && stranger->answered &&
            m_buffers.value(socket).isEmpty()) {
            reject(socket, certificateRefused());
            return;
        }
        drop(socket, Announce::Yes);
    });
    connect(socket, &QSslSocket::errorOccurred, this, [this, socket] { strangerFailed(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket] { forget(socket); });
    Q_EMIT connected(who);
}

void PeerServer::strangerFailed(QSslSocket* socket) {
    const auto stranger = m_strangers.constFind(socket);
    if (stranger == m_strangers.cend() || socket->isEncrypted()) return;
    // A client that gives up once it has our certificate has most likely refused it.
    reject(socket, stranger->answered ? certificateRefused()
                                      : QStringLiteral("TLS: ") + socket->errorString());
}

QString PeerServer::certificateRefused() const {
    return QStringLiteral(
               "il computer non si fida del certificato di questo Linux e ha chiuso prima del "
               "codice pairing. Se il certificato \u00e8 nuovo, confronta l'impronta SHA-256 "
               "nel pannello di Clipwren+ con quella di questo Linux, ") +
           m_fingerprint +
           QStringLiteral(", e se sono uguali premi \u00abFidati del nuovo certificato\u00bb");
}

void PeerServer::onReadyRead(QSslSocket* socket) {
    if (!m_names.contains(socket)) return;
    // Out of the table while frames are handled: handling one may drop the socket.
    QByteArray buffer = std::exchange(m_buffers[socket], QByteArray());
    // Straight into the buffer, which holds room for the whole frame once its length is known:
    // a 16 MiB body is not copied once more on its way in.
    const qsizetype start = buffer.size();
    buffer.resize(start + socket->bytesAvailable());
    buffer.truncate(start +
                    qMax<qint64>(0, socket->read(buffer.data() + start, buffer.size() - start)));

    if (m_strangers.contains(socket) && buffer.size() >= 4) {
        const quint32 length = qFromBigEndian<quint32>(buffer.constData());
        if (length > m_limits.maxStrangerFrame && length <= maxFrameBody) {
            reject(socket, QStringLiteral("messaggio troppo lungo prima del codice pairing"));
            return;
        }
    }
    bool open = true;
    const CutResult result = cutFrames(buffer, [&](QByteArray body) {
        if (!open) return;
        handleFrame(socket, body);
        open = m_names.contains(socket);
    });
    if (!open) return;
    if (result == CutResult::Corrupt) {
        reject(socket, QStringLiteral("lunghezza di messaggio non valida"));
        return;
    }
    m_buffers[socket] = std::move(buffer);
}

void PeerServer::handleFrame(QSslSocket* socket, const QByteArray& body) {
    if (m_strangers.contains(socket)) {
        if (!m_reader.carriesToken(body, m_token)) {
            const QString who = m_names.value(socket);
            reject(socket, QStringLiteral("codice pairing errato"), SessionNotice::WrongCode);
            Q_EMIT codeRefused(who);
            return;
        }
        authenticate(socket);
    }
    if (socket == m_client) Q_EMIT frameReceived(body);
}

void PeerServer::authenticate(QSslSocket* socket) {
    delete m_strangers.take(socket).deadline;
    QSslSocket* previous = m_client;
    m_client = socket;
    m_writer = new PacedWriter(*socket);
    // Before anything else on this connection: the client shows it is syncing only now.
    m_writer->write(*noticeMessage(SessionNotice::Accepted).toFrame());
    if (previous) {
        Q_EMIT replaced(m_names.value(previous));
        drop(previous, Announce::No);
    }
    Q_EMIT authenticated(m_names.value(socket));
}

void PeerServer::reject(QSslSocket* socket, const QString& reason,
                        std::optional<SessionNotice> notice) {
    if (!m_names.contains(socket)) return;
    Q_EMIT rejected(m_names.value(socket), reason);
    // A client whose TLS session is up hears why before the connection closes, so that it
    // can tell its user; it is left to close once that is written, and aborted otherwise.
    if (!notice || !socket->isEncrypted()) {
        drop(socket, Announce::No);
        return;
    }
    socket->disconnect(this);
    forget(socket);
    socket->write(*noticeMessage(*notice).toFrame());
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(m_limits.authenticationTimeoutMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    socket->disconnectFromHost();
}

void PeerServer::drop(QSslSocket* socket, Announce announce) {
    if (!m_names.contains(socket)) return;
    const QString who = m_names.value(socket);
    const bool wasClient = socket == m_client;
    const bool wasStranger = m_strangers.contains(socket);
    socket->disconnect(this);
    forget(socket);
    if (wasClient) m_client = nullptr;
    socket->abort();
    socket->deleteLater();  // we may be inside one of its signals
    // The server's own connection leaving is news to the clipboard side, whoever closed it.
    if (wasClient) {
        Q_EMIT clientClosed(who);
    } else if (wasStranger && announce == Announce::Yes) {
        Q_EMIT strangerLeft(who);
    }
}

void PeerServer::forget(QSslSocket* socket) {
    m_names.remove(socket);
    m_buffers.remove(socket);
    m_strangers.remove(socket);  // its deadline timer goes with the socket
}

}  // namespace clipwren::peer
