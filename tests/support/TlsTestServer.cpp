// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "support/TlsTestServer.h"

#include <QJsonDocument>
#include <QSslKey>

#include "platform/net/SelfSignedCertificate.h"
#include "protocol/FrameCodec.h"

using namespace Qt::StringLiterals;
namespace clipwren::test {

namespace {
const SelfSignedCertificate& certificate(int identity) {
    static QHash<int, SelfSignedCertificate> made;
    if (!made.contains(identity))
        made.insert(identity,
                    SelfSignedCertificate::generate(u"not-the-host-you-asked-for"_s).value());
    return made[identity];
}
}  // namespace

TlsTestServer::TlsTestServer(int identity) {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(QSslCertificate(certificate(identity).certificatePem));
    configuration.setPrivateKey(QSslKey(certificate(identity).privateKeyPem, QSsl::Ec));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server.setSslConfiguration(configuration);
    // From the handshake on, so a client leaving before its session is up counts, as does what
    // it sent; only looked at: whoever takes the client reads it.
    connect(&m_server, &QSslServer::startedEncryptionHandshake, this, [this](QSslSocket* socket) {
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

QList<QJsonObject> TlsTestServer::readMessages(QSslSocket* client, int count, int timeoutMs) {
    QList<QJsonObject> messages;
    QByteArray& buffer = m_buffers[client];
    std::ignore = QTest::qWaitFor(
        [&] {
            buffer.append(client->readAll());
            cutFrames(buffer, [&](const QByteArray& body) {
                messages.append(QJsonDocument::fromJson(body).object());
            });
            return messages.size() >= count;
        },
        timeoutMs);
    return messages;
}

}  // namespace clipwren::test
