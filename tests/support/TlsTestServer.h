#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QSslServer>
#include <QSslSocket>

#include "service/SyncService.h"

namespace clipwren::test {

// A real TLS server on 127.0.0.1 that plays the peer, with a self-signed certificate made
// for the test run. Servers of another identity present another certificate: a companion
// that made itself a new one, or a stranger at the same address.
class TlsTestServer : public QObject {
public:
    explicit TlsTestServer(int identity = 0);

    // Listens on 127.0.0.1, on port (0: any free port).
    bool listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    void close() { m_server.close(); }
    quint16 port() const { return m_server.serverPort(); }
    // Its certificate's fingerprint, as the peer prints its own.
    static QString fingerprint(int identity = 0);

    // Clients whose connection has closed, whether or not their TLS session was ever up.
    int clientsGone() const { return int(m_gone.size()); }
    // Whether any client has sent application data so far.
    bool heardAnything() const { return m_heardAnything; }

    // The next client whose TLS session is up; nullptr after timeoutMs.
    QSslSocket* waitForClient(int timeoutMs = 10000);
    // Reads until count messages from client have arrived; fewer after timeoutMs.
    QList<QJsonObject> readMessages(QSslSocket* client, int count, int timeoutMs = 10000);

private:
    QSslServer m_server;
    QHash<QSslSocket*, QByteArray> m_buffers;
    QSet<const QObject*> m_gone;
    bool m_heardAnything = false;
};

// A server playing the peer, and a service's way to it: a TLS connection to 127.0.0.1 at
// port for whatever address is typed, so that each typed address keeps a pin of its own.
// Setting port sends the connections made from then on to another server.
struct LoopbackPeer {
    LoopbackPeer() : listening(server.listen()), port(server.port()) {}
    SyncService::ConnectionFactory factory();
    // The server's side of the next session, once service is connected; nullptr if not.
    static QSslSocket* session(TlsTestServer& server, const SyncService& service);

    TlsTestServer server;
    bool listening;
    quint16 port;
};

}  // namespace clipwren::test
