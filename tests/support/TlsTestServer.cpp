#include "support/TlsTestServer.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTest>

#include "platform/SelfSignedCertificate.h"
#include "protocol/FrameCodec.h"

namespace clipwren::test {

namespace {
const SelfSignedCertificate& certificate() {
    static const SelfSignedCertificate made =
        *SelfSignedCertificate::generate(QStringLiteral("not-the-host-you-asked-for"));
    return made;
}
}  // namespace

TlsTestServer::TlsTestServer() {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(QSslCertificate(certificate().certificatePem));
    configuration.setPrivateKey(QSslKey(certificate().privateKeyPem, QSsl::Ec));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server.setSslConfiguration(configuration);
}

QString TlsTestServer::fingerprint() {
    return certificateFingerprint(certificate().certificatePem);
}

bool TlsTestServer::listen(quint16 port) {
    return m_server.listen(QHostAddress::LocalHost, port);
}

void TlsTestServer::close() {
    m_server.close();
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

void TlsTestServer::sendFrame(QSslSocket* client, const QByteArray& json) {
    client->write(*encodeFrame(json));
}

}  // namespace clipwren::test
