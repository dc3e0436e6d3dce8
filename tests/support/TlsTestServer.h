// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslKey>
#include <QSslServer>
#include <QTest>

#include "platform/net/SelfSignedCertificate.h"
#include "protocol/FrameCodec.h"

namespace clipwren::test {

// A real TLS server on 127.0.0.1 playing the peer, with a self-signed certificate made per run.
class TlsTestServer : public QObject {
public:
    TlsTestServer() {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(QSslCertificate(certificate().certificatePem));
        configuration.setPrivateKey(QSslKey(certificate().privateKeyPem, QSsl::Ec));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        m_server.setSslConfiguration(configuration);
    }

    // Listens on 127.0.0.1, on port (0: any free port).
    bool listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    quint16 port() const { return m_server.serverPort(); }
    // Its certificate's fingerprint, as the peer prints its own.
    static QString fingerprint() { return certificateFingerprint(certificate().certificatePem); }

    // The next client whose TLS session is up; nullptr after timeoutMs.
    QSslSocket* waitForClient(int timeoutMs = 10000) {
        if (!QTest::qWaitFor([this] { return m_server.hasPendingConnections(); }, timeoutMs))
            return nullptr;
        auto* client = static_cast<QSslSocket*>(m_server.nextPendingConnection());
        client->setParent(this);
        return client;
    }
    // Reads until count messages from client have arrived; fewer after timeoutMs.
    QList<QJsonObject> readMessages(QSslSocket* client, int count, int timeoutMs = 10000) {
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

private:
    static const SelfSignedCertificate& certificate() {
        static const SelfSignedCertificate made =
            SelfSignedCertificate::generate(QStringLiteral("not-the-host-you-asked-for")).value();
        return made;
    }

    QHash<QSslSocket*, QByteArray> m_buffers;
    QSslServer m_server;
};

}  // namespace clipwren::test
