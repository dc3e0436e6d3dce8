// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QSslKey>
#include <QSslServer>
#include <QTest>

#include "platform/net/SelfSignedCertificate.h"

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

private:
    static const SelfSignedCertificate& certificate() {
        static const SelfSignedCertificate made =
            SelfSignedCertificate::generate(QStringLiteral("not-the-host-you-asked-for")).value();
        return made;
    }

    QSslServer m_server;
};

}  // namespace clipwren::test
