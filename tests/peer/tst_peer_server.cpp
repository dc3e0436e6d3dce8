// Who the peer lets in, against real TLS clients on 127.0.0.1: nothing flows before a
// message carries the pairing code; strangers are few, brief and small; only the newest
// admitted connection is kept.
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>
#include <memory>

#include "PeerIdentity.h"
#include "PeerServer.h"
#include "platform/SelfSignedCertificate.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"
#include "support/SocketOptions.h"
#include "support/Testing.h"

using namespace clipwren::peer;

namespace {

const QString code = u"K7MZQ4RT9WXC2HPV"_s;
const QString wrongCode = u"K7MZQ4RT9WXC2HPW"_s;

const PeerIdentity& identity() {
    static const PeerIdentity made = [] {
        const auto certificate = *SelfSignedCertificate::generate(u"peer-test"_s);
        return PeerIdentity{certificate.certificatePem, certificate.privateKeyPem,
                            certificateFingerprint(certificate.certificatePem), true};
    }();
    return made;
}

QByteArray frame(const Message& message) {
    return *encodeFrame(*message.toJson());
}

QByteArray hello(const QString& token) {
    return frame(helloMessage(token, u"mac-TEST"_s));
}

QByteArray clip(const QString& token, const QByteArray& text) {
    return frame(clipMessage(u"text"_s, text, token, u"mac-TEST"_s));
}

QByteArray header(quint32 length) {
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(length, bytes.data());
    return bytes;
}

// 127.0.0.last: every one of them is this machine, each a source address of its own.
QHostAddress loopback(int last) {
    return QHostAddress(u"127.0.0.%1"_s.arg(last));
}

// A TLS client that, like the tray program, accepts whatever certificate it is shown.
class Client {
public:
    explicit Client(quint16 port, const QHostAddress& from = loopback(1)) {
        socket.bind(from);
        socket.setPeerVerifyMode(QSslSocket::VerifyNone);
        QObject::connect(&socket, &QSslSocket::readyRead, [this] { received += socket.readAll(); });
        socket.connectToHostEncrypted(u"127.0.0.1"_s, port);
    }
    bool waitEncrypted() {
        return QTest::qWaitFor([this] { return socket.isEncrypted(); }, 10000);
    }
    bool waitClosed() {
        return QTest::qWaitFor(
            [this] { return socket.state() == QAbstractSocket::UnconnectedState; }, 10000);
    }
    bool isOpen() const { return socket.state() == QAbstractSocket::ConnectedState; }
    void send(const QByteArray& bytes) { socket.write(bytes); }

    QSslSocket socket;
    QByteArray received;
};

// A connection that never says a word and comes back 20 ms after it is dropped: eight of
// them hammer at up to 400 connections a second.
class SilentStranger {
public:
    SilentStranger(const QHostAddress& from, quint16 port) : m_from(from), m_port(port) {
        QObject::connect(&m_socket, &QAbstractSocket::stateChanged, &m_context,
                         [this](QAbstractSocket::SocketState state) {
                             if (state == QAbstractSocket::UnconnectedState)
                                 QTimer::singleShot(20, &m_context, [this] { comeBack(); });
                         });
        comeBack();
    }

private:
    void comeBack() {
        m_socket.bind(m_from);
        m_socket.connectToHost(QHostAddress::LocalHost, m_port);
    }

    QHostAddress m_from;
    quint16 m_port;
    QTcpSocket m_socket;
    QObject m_context;
};

// A peer listening on 127.0.0.1 at a free port, and what it has reported.
struct Peer {
    explicit Peer(PeerServer::Limits limits = {})
        : server(code, identity(), limits),
          connected(&server, &PeerServer::connected),
          authenticated(&server, &PeerServer::authenticated),
          rejected(&server, &PeerServer::rejected),
          replaced(&server, &PeerServer::replaced),
          clientClosed(&server, &PeerServer::clientClosed),
          frames(&server, &PeerServer::frameReceived),
          listening(server.listen(QHostAddress::LocalHost, 0)) {}

    quint16 port() const { return server.serverPort(); }
    QString lastRejection() const {
        return rejected.isEmpty() ? QString() : rejected.last().at(1).toString();
    }

    PeerServer server;
    QSignalSpy connected, authenticated, rejected, replaced, clientClosed, frames;
    bool listening;
};

}  // namespace

class PeerServerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onlyTheCodeOpensTheWay() {
        Peer peer;
        QVERIFY(peer.listening);
        // A second peer on the same port says why it cannot listen.
        PeerServer another(code, identity());
        QVERIFY(!another.listen(QHostAddress::LocalHost, peer.port()));
        QCOMPARE(another.errorString(),
                 u"la porta è già in uso, forse da un altro clipwren-peer"_s);

        // A wrong code in the hello, in a clip, or no message at all: closed, nothing passed on.
        for (const QByteArray& attempt :
             {hello(wrongCode), clip(wrongCode, "intruso"), frame(Message().set("v", 1)),
              *encodeFrame("not json"), hello(code.toLower())}) {
            Client stranger(peer.port());
            QVERIFY(stranger.waitEncrypted());
            stranger.send(attempt);
            QVERIFY(stranger.waitClosed());
            QCOMPARE(peer.lastRejection(), u"codice errato"_s);
            QVERIFY(stranger.received.isEmpty());
        }
        QCOMPARE(peer.rejected.count(), 5);
        QCOMPARE(peer.frames.count(), 0);
        QCOMPARE(peer.authenticated.count(), 0);

        // Before its hello, a connection is sent nothing; after it, everything.
        Client client(peer.port());
        QVERIFY(client.waitEncrypted());
        QTRY_COMPARE(peer.connected.count(), 6);
        QVERIFY(!peer.server.hasClient());
        QCOMPARE(test::keepaliveOf(peer.port(), client.socket.localPort()),
                 test::expectedKeepalive());
        QVERIFY(!peer.server.send(clip(code, "prima")));
        client.send(hello(code));
        QTRY_COMPARE(peer.authenticated.count(), 1);
        QVERIFY(peer.server.hasClient());
        QCOMPARE(peer.frames.count(), 1);  // the hello itself, for the clipboard side to judge
        const QByteArray after = clip(code, "dopo");
        QVERIFY(peer.server.send(after));
        QTRY_COMPARE(client.received, after);

        // Once in, its frames are passed on in order, however they are split.
        const QByteArray first = clip(code, "uno");
        const QByteArray second = clip(code, QByteArray(300'000, 'x'));
        const QByteArray both = first + second;
        client.send(both.left(3));
        QTest::qWait(0);
        client.send(both.mid(3));
        QTRY_COMPARE(peer.frames.count(), 3);
        QCOMPARE(peer.frames.at(1).at(0).toByteArray(), first.mid(4));
        QCOMPARE(peer.frames.at(2).at(0).toByteArray(), second.mid(4));
        QVERIFY(client.isOpen());

        // A clip carrying the code admits a connection as well as a hello does.
        Client other(peer.port());
        QVERIFY(other.waitEncrypted());
        other.send(clip(code, "subito"));
        QTRY_COMPARE(peer.authenticated.count(), 2);
        QCOMPARE(peer.frames.count(), 4);
    }

    void silentStrangersAreClosed() {
        PeerServer::Limits limits;
        limits.authenticationTimeoutMs = 300;
        Peer peer(limits);
        QVERIFY(peer.listening);

        Client admitted(peer.port());
        QVERIFY(admitted.waitEncrypted());
        admitted.send(hello(code));
        QTRY_COMPARE(peer.authenticated.count(), 1);

        // Silent after TLS, or never starting TLS at all.
        Client silent(peer.port());
        QVERIFY(silent.waitEncrypted());
        QTcpSocket plain;
        plain.connectToHost(QHostAddress::LocalHost, peer.port());
        QVERIFY(silent.waitClosed());
        QTRY_COMPARE_WITH_TIMEOUT(plain.state(), QAbstractSocket::UnconnectedState, 10000);
        QTRY_COMPARE(peer.rejected.count(), 2);
        QVERIFY(peer.lastRejection().startsWith(u"nessun codice"_s));

        // Admitted before them, so its deadline would have passed too: it has none.
        QVERIFY(admitted.isOpen());
        QVERIFY(peer.server.hasClient());
        QCOMPARE(peer.clientClosed.count(), 0);
    }

    void silentStrangersCannotLockTheClientOut_data() {
        QTest::addColumn<int>("firstStrangerAddress");
        QTest::addColumn<int>("strangerAddresses");
        QTest::addRow("from other addresses") << 2 << 8;
        QTest::addRow("from the client's address") << 1 << 1;
    }

    void silentStrangersCannotLockTheClientOut() {
        QFETCH(int, firstStrangerAddress);
        QFETCH(int, strangerAddresses);
        Peer peer;
        QVERIFY(peer.listening);
        std::vector<std::unique_ptr<SilentStranger>> strangers;
        for (int i = 0; i < 8; ++i) {
            strangers.push_back(std::make_unique<SilentStranger>(
                loopback(firstStrangerAddress + i % strangerAddresses), peer.port()));
        }
        QTRY_VERIFY(peer.connected.count() >= 8);

        // Each try gets in, while the strangers keep coming back.
        for (int attempt = 1; attempt <= 3; ++attempt) {
            Client client(peer.port());
            QVERIFY(client.waitEncrypted());
            client.send(hello(code));
            QTRY_COMPARE(peer.authenticated.count(), attempt);
        }
        QVERIFY(!peer.rejected.isEmpty());  // the house was full
        for (const auto& rejection : peer.rejected) {
            QCOMPARE(rejection.at(1).toString(), u"sostituita da una connessione più recente"_s);
        }
    }

    void strangersGiveWayAndOneClientIsKept() {
        Peer peer;
        QVERIFY(peer.listening);
        const int maxStrangers = PeerServer::Limits().maxStrangers;

        // Every place taken by a stranger that spoke TLS, each from an address of its own.
        std::vector<std::unique_ptr<Client>> strangers;
        for (int i = 0; i < maxStrangers; ++i) {
            strangers.push_back(std::make_unique<Client>(peer.port(), loopback(2 + i)));
            QVERIFY(strangers.back()->waitEncrypted());
        }
        // A newcomer takes the oldest one's place; a silent newcomer is the first to give way.
        QTcpSocket silent;
        silent.connectToHost(QHostAddress::LocalHost, peer.port());
        QVERIFY(strangers[0]->waitClosed());
        QCOMPARE(peer.lastRejection(), u"sostituita da una connessione più recente"_s);
        Client late(peer.port());
        QVERIFY(late.waitEncrypted());
        QTRY_COMPARE_WITH_TIMEOUT(silent.state(), QAbstractSocket::UnconnectedState, 10000);
        QCOMPARE(peer.connected.count(), maxStrangers + 2);
        QCOMPARE(peer.rejected.count(), 2);

        // A newer admitted connection replaces the older, and only it is sent to.
        Client& first = *strangers[1];
        first.send(hello(code));
        QTRY_COMPARE(peer.authenticated.count(), 1);
        Client& second = *strangers[2];
        second.send(hello(code));
        QTRY_COMPARE(peer.authenticated.count(), 2);
        QCOMPARE(peer.replaced.count(), 1);
        QVERIFY(first.waitClosed());
        QCOMPARE(peer.clientClosed.count(), 0);  // the clipboard side keeps going
        const QByteArray message = clip(code, "solo al nuovo");
        QVERIFY(peer.server.send(message));
        QTRY_COMPARE(second.received, message);
        QVERIFY(first.received.isEmpty());
        for (std::size_t i = 3; i < strangers.size(); ++i)
            QVERIFY(strangers[i]->received.isEmpty());

        // The client leaving is news; the server has no one to send to.
        second.socket.disconnectFromHost();
        QTRY_COMPARE(peer.clientClosed.count(), 1);
        QVERIFY(!peer.server.hasClient());
        QVERIFY(!peer.server.send(message));
    }

    void badLengthsCloseTheConnection() {
        Peer peer;
        QVERIFY(peer.listening);
        const quint32 strangerLimit = PeerServer::Limits().maxStrangerFrame;

        struct Case {
            QByteArray bytes;
            QString reason;
        };
        const QList<Case> cases = {
            {header(0) + "{}", u"lunghezza di messaggio non valida"_s},
            {header(maxFrameBody + 1), u"lunghezza di messaggio non valida"_s},
            {header(0xFFFFFFFF), u"lunghezza di messaggio non valida"_s},
            // Refused at its length: the body is never waited for.
            {header(strangerLimit + 1), u"messaggio troppo lungo prima del codice"_s},
        };
        for (const Case& test : cases) {
            Client stranger(peer.port());
            QVERIFY(stranger.waitEncrypted());
            stranger.send(test.bytes);
            QVERIFY(stranger.waitClosed());
            QCOMPARE(peer.lastRejection(), test.reason);
        }

        // Frames before a bad length keep their effect; the admitted client is then closed.
        Client client(peer.port());
        QVERIFY(client.waitEncrypted());
        client.send(hello(code) + clip(code, "ultimo") + header(0) + clip(code, "mai"));
        QVERIFY(client.waitClosed());
        QCOMPARE(peer.frames.count(), 2);
        QCOMPARE(peer.clientClosed.count(), 1);
        QVERIFY(!peer.server.hasClient());
    }
};

QTEST_GUILESS_MAIN(PeerServerTest)
#include "tst_peer_server.moc"
