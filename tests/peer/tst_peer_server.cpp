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
const QString replacedReason = u"sostituita da una connessione più recente"_s;

const PeerIdentity& identity() {
    static const PeerIdentity made = [] {
        const auto certificate = *SelfSignedCertificate::generate(u"peer-test"_s);
        return PeerIdentity{certificate.certificatePem, certificate.privateKeyPem,
                            certificateFingerprint(certificate.certificatePem), true};
    }();
    return made;
}

QByteArray hello(const QString& token) {
    return *helloMessage(token, u"mac-TEST"_s).toFrame();
}

QByteArray clip(const QString& token, const QByteArray& text) {
    return *clipMessage(u"text"_s, text, token, u"mac-TEST"_s).toFrame();
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

// A client from 127.0.0.from that, like the tray program, accepts whatever certificate it is
// shown; or, without tls, one that never starts TLS.
struct Client {
    explicit Client(quint16 port, int from = 1, bool tls = true) : tls(tls) {
        socket.bind(loopback(from));
        socket.setPeerVerifyMode(QSslSocket::VerifyNone);
        QObject::connect(&socket, &QSslSocket::readyRead, [this] { received += socket.readAll(); });
        if (tls) socket.connectToHostEncrypted(u"127.0.0.1"_s, port);
        if (!tls) socket.connectToHost(u"127.0.0.1"_s, port);
    }
    bool waitOpen() {
        return QTest::qWaitFor([this] { return tls ? socket.isEncrypted() : isOpen(); }, 10000);
    }
    bool waitClosed() {
        return QTest::qWaitFor(
            [this] { return socket.state() == QAbstractSocket::UnconnectedState; }, 10000);
    }
    bool isOpen() const { return socket.state() == QAbstractSocket::ConnectedState; }
    void send(const QByteArray& bytes) { socket.write(bytes); }

    bool tls;
    QSslSocket socket;
    QByteArray received;
};

// A connection that never says a word and comes back 20 ms after it is dropped: eight of
// them hammer at up to 400 connections a second.
class SilentStranger : public QTcpSocket {
public:
    SilentStranger(const QHostAddress& from, quint16 port) {
        const auto comeBack = [this, from, port] {
            bind(from);
            connectToHost(QHostAddress::LocalHost, port);
        };
        connect(this, &QAbstractSocket::stateChanged, this, [this, comeBack](SocketState state) {
            if (state == UnconnectedState) QTimer::singleShot(20, this, comeBack);
        });
        comeBack();
    }
};

// A peer listening on 127.0.0.1 at a free port, and what it has reported.
struct Peer {
    explicit Peer(int authenticationTimeoutMs = 5000)
        : server(code, identity(), PeerServer::Limits{authenticationTimeoutMs}),
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
    void strangerIsClosedAndHearsNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("reason");
        const QString wrong = u"codice errato"_s;
        const QString badLength = u"lunghezza di messaggio non valida"_s;
        QTest::addRow("hello, wrong code") << hello(u"K7MZQ4RT9WXC2HPW"_s) << true << wrong;
        QTest::addRow("clip, wrong code") << clip(u"K7MZQ4RT9WXC2HPW"_s, "x") << true << wrong;
        QTest::addRow("code in lower case") << hello(code.toLower()) << true << wrong;
        QTest::addRow("no code") << *encodeFrame(R"({"v":1})") << true << wrong;
        QTest::addRow("not json") << *encodeFrame("not json") << true << wrong;
        QTest::addRow("empty frame") << header(0) + "{}" << true << badLength;
        QTest::addRow("over any frame") << header(maxFrameBody + 1) << true << badLength;
        QTest::addRow("length 2^32-1") << header(0xFFFFFFFF) << true << badLength;
        // Refused at its length: the body is never waited for.
        QTest::addRow("over a stranger's frame")
            << header(PeerServer::Limits().maxStrangerFrame + 1) << true
            << u"messaggio troppo lungo prima del codice"_s;
        QTest::addRow("silent after TLS")
            << QByteArray() << true << u"nessun codice entro 0.3 secondi"_s;
        QTest::addRow("never starting TLS")
            << QByteArray() << false << u"nessun codice entro 0.3 secondi"_s;
    }

    void strangerIsClosedAndHearsNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, tls);
        QFETCH(QString, reason);
        Peer peer(bytes.isEmpty() ? 300 : 10'000);
        QVERIFY(peer.listening);
        // Admitted before it, so that its deadline would have passed too: it has none.
        Client client(peer.port());
        QVERIFY(client.waitOpen());
        client.send(hello(code));
        QTRY_COMPARE(peer.authenticated.count(), 1);

        Client stranger(peer.port(), 2, tls);
        QVERIFY(stranger.waitOpen());
        const QByteArray toClient = clip(code, "al cliente");
        QVERIFY(peer.server.send(toClient));
        QTRY_COMPARE(client.received, toClient);
        stranger.send(bytes);
        QVERIFY(stranger.waitClosed());
        QCOMPARE(peer.lastRejection(), reason);
        QCOMPARE(peer.rejected.count(), 1);
        QCOMPARE(stranger.received, QByteArray());
        QCOMPARE(peer.frames.count(), 1);  // the client's hello
        QVERIFY(client.isOpen() && peer.server.hasClient());
    }

    void admittedClientHasEverythingAfterTheCode_data() {
        QTest::addColumn<QByteArray>("admission");
        QTest::addColumn<bool>("leaves");  // or is closed for a bad length
        QTest::addRow("by a hello, closed") << hello(code) << false;
        QTest::addRow("by a clip, leaving") << clip(code, "subito") << true;
    }

    void admittedClientHasEverythingAfterTheCode() {
        QFETCH(QByteArray, admission);
        QFETCH(bool, leaves);
        Peer peer;
        QVERIFY(peer.listening);
        // A second peer on the same port says why it cannot listen.
        PeerServer another(code, identity());
        QVERIFY(!another.listen(QHostAddress::LocalHost, peer.port()));
        QCOMPARE(another.errorString(),
                 u"la porta è già in uso, forse da un altro clipwren-peer"_s);

        // Before the code, a connection is sent nothing; after it, everything.
        Client first(peer.port());
        QVERIFY(first.waitOpen());
        QCOMPARE(test::keepaliveOf(peer.port(), first.socket.localPort()),
                 test::expectedKeepalive());
        QVERIFY(!peer.server.send(clip(code, "prima")));
        first.send(admission);
        QTRY_COMPARE(peer.authenticated.count(), 1);
        // The message with the code itself, for the clipboard side to judge.
        QCOMPARE(peer.frames.value(0).value(0).toByteArray(), admission.mid(4));

        // A newer admitted connection replaces it, and only the newer is sent to.
        Client second(peer.port(), 2);
        QVERIFY(second.waitOpen());
        second.send(hello(code));
        QTRY_COMPARE(peer.authenticated.count(), 2);
        QCOMPARE(peer.replaced.count(), 1);
        QVERIFY(first.waitClosed());
        QCOMPARE(peer.clientClosed.count(), 0);  // the clipboard side keeps going
        const QByteArray message = clip(code, "solo al nuovo");
        QVERIFY(peer.server.send(message));
        QTRY_COMPARE(second.received, message);
        QCOMPARE(first.received, QByteArray());

        // Its frames are passed on in order, however they are split, up to its end: by itself,
        // or at a bad length.
        const QByteArray one = clip(code, "uno");
        const QByteArray two = clip(code, QByteArray(300'000, 'x'));
        const QByteArray both = one + two;
        second.send(both.left(3));
        QTest::qWait(0);
        second.send(both.mid(3) + (leaves ? QByteArray() : header(0) + clip(code, "mai")));
        if (leaves) second.socket.disconnectFromHost();
        QVERIFY(second.waitClosed());
        QTRY_COMPARE(peer.clientClosed.count(), 1);
        QCOMPARE(peer.frames.count(), 4);
        QCOMPARE(peer.frames.at(2).at(0).toByteArray(), one.mid(4));
        QCOMPARE(peer.frames.at(3).at(0).toByteArray(), two.mid(4));
        QVERIFY(!peer.server.hasClient());
        QVERIFY(!peer.server.send(message));
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
            QVERIFY(client.waitOpen());
            client.send(hello(code));
            QTRY_COMPARE(peer.authenticated.count(), attempt);
        }
        QVERIFY(!peer.rejected.isEmpty());  // the house was full
        for (const auto& rejection : peer.rejected) QCOMPARE(rejection.at(1), replacedReason);
    }

    // A newcomer takes the oldest stranger's place; a silent one is the first to give way.
    void strangersGiveWay() {
        Peer peer;
        QVERIFY(peer.listening);
        const int maxStrangers = PeerServer::Limits().maxStrangers;
        // Every place taken by a stranger that spoke TLS, each from an address of its own.
        std::vector<std::unique_ptr<Client>> strangers;
        for (int i = 0; i < maxStrangers; ++i) {
            strangers.push_back(std::make_unique<Client>(peer.port(), 2 + i));
            QVERIFY(strangers.back()->waitOpen());
        }
        Client silent(peer.port(), 1, false);
        QVERIFY(strangers[0]->waitClosed());
        QCOMPARE(peer.lastRejection(), replacedReason);
        Client late(peer.port());
        QVERIFY(late.waitOpen());
        QVERIFY(silent.waitClosed());
        QCOMPARE(peer.connected.count(), maxStrangers + 2);
        QCOMPARE(peer.rejected.count(), 2);
    }
};

QTEST_GUILESS_MAIN(PeerServerTest)
#include "tst_peer_server.moc"
