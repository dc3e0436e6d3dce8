// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QSslServer>
#include <QTest>

namespace clipwren::test {

// A real TLS server on 127.0.0.1 playing the peer, with a self-signed certificate made per run;
// another identity is another certificate: a companion remade, or a stranger at that address.
class TlsTestServer : public QObject {
public:
    explicit TlsTestServer(int identity = 0);

    // Listens on 127.0.0.1, on port (0: any free port).
    bool listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    quint16 port() const { return m_server.serverPort(); }
    // Its certificate's fingerprint, as the peer prints its own.
    static QString fingerprint(int identity = 0);

    // Clients whose connection has closed, whether or not their TLS session was ever up.
    int clientsGone() const { return int(m_gone.size()); }
    // Whether any client has sent application data so far.
    bool heardAnything() const { return m_heardAnything; }

    // The next client whose TLS session is up; nullptr after timeoutMs.
    QSslSocket* waitForClient(int timeoutMs = 10000) {
        if (!QTest::qWaitFor([this] { return m_server.hasPendingConnections(); }, timeoutMs))
            return nullptr;
        auto* client = static_cast<QSslSocket*>(m_server.nextPendingConnection());
        client->setParent(this);
        return client;
    }
    // Reads until count messages from client have arrived; fewer after timeoutMs.
    QList<QJsonObject> readMessages(QSslSocket* client, int count, int timeoutMs = 10000);

private:
    QHash<QSslSocket*, QByteArray> m_buffers;
    QSet<const QObject*> m_gone;
    bool m_heardAnything = false;
    // Last, so that it goes first: the clients it still holds tell m_gone as they go.
    QSslServer m_server;
};

}  // namespace clipwren::test
