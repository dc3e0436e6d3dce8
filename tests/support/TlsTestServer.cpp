#include "support/TlsTestServer.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTest>

#include "platform/SelfSignedCertificate.h"
#include "platform/TlsConnection.h"
#include "protocol/FrameCodec.h"

using namespace Qt::StringLiterals;
namespace clipwren::test {

namespace {
const SelfSignedCertificate& certificate(int identity) {
    static QHash<int, SelfSignedCertificate> made;
    if (!made.contains(identity)) {
        made.insert(identity, *SelfSignedCertificate::generate(u"not-the-host-you-asked-for"_s));
    }
    return made[identity];
}
}  // namespace

TlsTestServer::TlsTestServer(int identity) {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(QSslCertificate(certificate(identity).certificatePem));
    configuration.setPrivateKey(QSslKey(certificate(identity).privateKeyPem, QSsl::Ec));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server.setSslConfiguration(configuration);
    // Watched from the start of the handshake, so that a client that leaves before its
    // session is up still counts, and so does anything it sent.
    connect(&m_server, &QSslServer::startedEncryptionHandshake, this, [this](QSslSocket* socket) {
        // Only looked at, not read: whoever takes the client reads it.
        connect(socket, &QSslSocket::readyRead, this,
                [this, socket] { m_heardAnything |= socket->bytesAvailable() > 0; });
        const auto gone = [this, socket] { m_gone.insert(socket); };
        connect(socket, &QSslSocket::disconnected, this, gone);
        connect(socket, &QObject::destroyed, this, gone);
    });
}

QString TlsTestServer::fingerprint(int identity) {
    return certificateFingerprint(certificate(identity).certificatePem);
}

QSslSocket* TlsTestServer::waitForClient(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!m_server.hasPendingConnections() && !deadline.hasExpired()) QTest::qWait(5);
    auto* client = static_cast<QSslSocket*>(m_server.nextPendingConnection());
    if (client) client->setParent(this);
    return client;
}

QList<QJsonObject> TlsTestServer::readMessages(QSslSocket* client, int count, int timeoutMs) {
    QList<QJsonObject> messages;
    QByteArray& buffer = m_buffers[client];
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        buffer.append(client->readAll());
        cutFrames(buffer, [&](const QByteArray& body) {
            messages.append(QJsonDocument::fromJson(body).object());
        });
        if (messages.size() >= count || deadline.hasExpired()) return messages;
        QTest::qWait(5);
    }
}

SyncService::ConnectionFactory LoopbackPeer::factory() {
    return [this](const QString&, quint16) {
        return std::make_unique<TlsConnection>(u"127.0.0.1"_s, port);
    };
}

QSslSocket* LoopbackPeer::session(TlsTestServer& server, const SyncService& service) {
    QSslSocket* client = server.waitForClient();
    return client && QTest::qWaitFor([&] { return service.isConnected(); }) ? client : nullptr;
}

}  // namespace clipwren::test
