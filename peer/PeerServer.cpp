#include "PeerServer.h"

#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>
#include <utility>

#include "PeerIdentity.h"
#include "platform/Keepalive.h"
#include "protocol/FrameCodec.h"

namespace clipwren::peer {

namespace {

// "address:port", with IPv4 clients of a dual-stack socket shown as plain IPv4.
QString describe(const QAbstractSocket& socket) {
    QHostAddress address = socket.peerAddress();
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    if (isIPv4) address = QHostAddress(ipv4);
    return address.toString() + u':' + QString::number(socket.peerPort());
}

}  // namespace

// Takes every connection from its first moment, before any TLS byte: a stranger that never
// says a word is counted and timed like any other. (QSslServer would only hand a connection
// over once its TLS hello had arrived.)
class PeerServer::Listener final : public QTcpServer {
public:
    QSslConfiguration configuration;
    std::function<bool()> admits;
    std::function<void(const QString& who)> refused;
    std::function<void(QSslSocket* socket)> accepted;

protected:
    void incomingConnection(qintptr descriptor) override {
        if (!admits()) {
            QTcpSocket socket;
            socket.setSocketDescriptor(descriptor);
            const QString who = describe(socket);
            socket.abort();
            refused(who);
            return;
        }
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
      m_limits(limits),
      m_listener(std::make_unique<Listener>()) {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(QSslCertificate(identity.certificatePem, QSsl::Pem));
    configuration.setPrivateKey(QSslKey(identity.privateKeyPem, QSsl::Ec));
    // Clients have no certificates: the pairing code is what admits them.
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_listener->configuration = configuration;
    m_listener->admits = [this] { return qsizetype(m_strangers.size()) < m_limits.maxStrangers; };
    m_listener->refused = [this](const QString& who) {
        Q_EMIT rejected(who, QStringLiteral("troppe connessioni in attesa del codice"));
    };
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
    return m_listener->errorString();
}

QHostAddress PeerServer::serverAddress() const {
    return m_listener->serverAddress();
}

quint16 PeerServer::serverPort() const {
    return m_listener->serverPort();
}

bool PeerServer::send(const QByteArray& frame) {
    return m_client && m_client->write(frame) == frame.size();
}

void PeerServer::onAccepted(QSslSocket* socket) {
    const QString who = describe(*socket);
    m_names.insert(socket, who);
    m_buffers.insert(socket, QByteArray());
    socket->setReadBufferSize(m_limits.readBufferSize);
    enableKeepalive(*socket);

    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, [this, socket] {
        reject(socket, QStringLiteral("nessun codice entro %1 secondi")
                           .arg(m_limits.authenticationTimeoutMs / 1000.0));
    });
    deadline->start(m_limits.authenticationTimeoutMs);
    m_strangers.insert(socket, deadline);

    connect(socket, &QSslSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QSslSocket::disconnected, this, [this, socket] {
        onReadyRead(socket);  // what arrived before the end still counts
        drop(socket, Announce::Yes);
    });
    connect(socket, &QSslSocket::errorOccurred, this, [this, socket] {
        if (m_strangers.contains(socket) && !socket->isEncrypted()) {
            reject(socket, QStringLiteral("TLS: ") + socket->errorString());
        }
    });
    connect(socket, &QObject::destroyed, this, [this, socket] { forget(socket); });
    Q_EMIT connected(who);
}

void PeerServer::onReadyRead(QSslSocket* socket) {
    if (!m_names.contains(socket)) return;
    // Out of the table while frames are handled: handling one may drop the socket.
    QByteArray buffer = std::exchange(m_buffers[socket], QByteArray());
    buffer.append(socket->readAll());

    if (m_strangers.contains(socket) && buffer.size() >= 4) {
        const quint32 length = qFromBigEndian<quint32>(buffer.constData());
        if (length > m_limits.maxStrangerFrame && length <= maxFrameBody) {
            reject(socket, QStringLiteral("messaggio troppo lungo prima del codice"));
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
            reject(socket, QStringLiteral("codice errato"));
            return;
        }
        authenticate(socket);
    }
    if (socket == m_client) Q_EMIT frameReceived(body);
}

void PeerServer::authenticate(QSslSocket* socket) {
    delete m_strangers.take(socket);
    QSslSocket* previous = m_client;
    m_client = socket;
    if (previous) {
        Q_EMIT replaced(m_names.value(previous));
        drop(previous, Announce::No);
    }
    Q_EMIT authenticated(m_names.value(socket));
}

void PeerServer::reject(QSslSocket* socket, const QString& reason) {
    if (!m_names.contains(socket)) return;
    Q_EMIT rejected(m_names.value(socket), reason);
    drop(socket, Announce::No);
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
