// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// Who the peer lets in, against real TLS clients on 127.0.0.1: nothing flows before the code;
// strangers are few, brief and small; only the newest admitted connection is kept.
#include <QSslSocket>
#include <QtEndian>
#include <deque>

#include "PeerIdentity.h"
#include "PeerServer.h"
#include "protocol/Message.h"
#include "protocol/SessionNotice.h"
#include "support/SocketOptions.h"
#include "support/Testing.h"

using namespace clipwren::peer;

namespace {

const QString code = u"K7MZQ4RT9WXC2HPV"_s;
const QString replacedReason = u"sostituita da una connessione più recente"_s;

const PeerIdentity& identity() {
    static const QTemporaryDir folder;
    static const PeerIdentity made = loadOrCreateIdentity(folder.path()).value();
    return made;
}

QByteArray hello(const QString& token) {
    return *helloMessage(token, u"mac-TEST"_s).toFrame();
}

QByteArray clip(const QString& token, const QByteArray& text) {
    return *clipMessage(ContentKind::Text, text, token, u"mac-TEST"_s).toFrame();
}

QByteArray header(quint32 length) {
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(length, bytes.data());
    return bytes;
}

// From 127.0.0.from (each is this machine, as a source address of its own), accepting any
// certificate like the tray program; or never starting TLS.
struct Client {
    explicit Client(quint16 port, int from = 1, bool encrypted = true) : tls(encrypted) {
        socket.bind(QHostAddress(u"127.0.0.%1"_s.arg(from)));
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

    bool tls;
    QSslSocket socket;
    QByteArray received;
};

// A peer listening on 127.0.0.1 at a free port, and what it has reported.
struct Peer {
    explicit Peer(int authenticationTimeoutMs = 5000)
        : server(code, identity(), PeerServer::Limits{authenticationTimeoutMs}) {}
    quint16 port() const { return server.serverPort(); }

    PeerServer server;
    QSignalSpy connected{&server, &PeerServer::connected};
    QSignalSpy authenticated{&server, &PeerServer::authenticated};
    QSignalSpy rejected{&server, &PeerServer::rejected};
    QSignalSpy codeRefused{&server, &PeerServer::codeRefused};
    QSignalSpy replaced{&server, &PeerServer::replaced};
    QSignalSpy clientClosed{&server, &PeerServer::clientClosed};
    QSignalSpy frames{&server, &PeerServer::frameReceived};
    bool listening = server.listen(QHostAddress::LocalHost, 0);
};

}  // namespace

// What an admitted client hears first.
const QByteArray accepted = *noticeMessage(SessionNotice::Accepted).toFrame();

class PeerServerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A stranger hears nothing of the clipboard; one that showed a wrong code is told so.
    void strangerIsClosedAndHearsNothing_data() {
        QTest::addColumn<QByteArray>("bytes");  // none: it never even starts TLS
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("heard");
        const QString wrong = u"codice pairing errato"_s;
        const QByteArray refusal = *noticeMessage(SessionNotice::WrongCode).toFrame();
        QTest::addRow("wrong code") << hello(u"K7MZQ4RT9WXC2HPW"_s) << wrong << refusal;
        QTest::addRow("no code") << *Message().set("v", 1).toFrame() << wrong << refusal;
        // Refused at its length: the body is never waited for.
        QTest::addRow("over a stranger's frame")
            << header(PeerServer::Limits().maxStrangerFrame + 1)
            << u"messaggio troppo lungo prima del codice"_s << QByteArray();
        QTest::addRow("never starting TLS")
            << QByteArray() << u"nessun codice pairing entro 0.3 secondi"_s << QByteArray();
        // As the tray program leaves a companion whose certificate it does not trust.
        QTest::addRow("closing before the code")
            << "close"_ba << u"il computer non si fida del certificato di questo Linux"_s
            << QByteArray();
    }

    void strangerIsClosedAndHearsNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QFETCH(QByteArray, heard);
        Peer peer(bytes.isEmpty() ? 300 : 10'000);
        QVERIFY(peer.listening);
        // Admitted before it, so that its deadline would have passed too: it has none.
        Client client(peer.port());
        QVERIFY(client.waitOpen());
        client.socket.write(hello(code));
        QTRY_COMPARE(peer.authenticated.count(), 1);

        Client stranger(peer.port(), 2, !bytes.isEmpty());
        QVERIFY(stranger.waitOpen());
        const QByteArray toClient = clip(code, "al cliente");
        QVERIFY(peer.server.send(toClient));
        QTRY_COMPARE(client.received, accepted + toClient);
        bytes == "close" ? stranger.socket.disconnectFromHost()
                         : void(stranger.socket.write(bytes));
        QVERIFY(stranger.waitClosed());
        QTRY_COMPARE(peer.rejected.count(), 1);
        const QString said = peer.rejected.at(0).at(1).toString();
        QVERIFY2(
            said.startsWith(reason) && (bytes != "close" || said.contains(identity().fingerprint)),
            qPrintable(said));
        QCOMPARE(peer.codeRefused.count(), reason == u"codice pairing errato"_s ? 1 : 0);
        QCOMPARE(stranger.received, heard);
        QCOMPARE(peer.frames.count(), 1);  // the client's hello
        QVERIFY(client.isOpen() && peer.server.hasClient());
    }

    void admittedClientHasEverythingAfterTheCode_data() {
        QTest::addColumn<QByteArray>("admission");
        QTest::addColumn<bool>("leaves");  // or is closed for a bad length
        QTest::addRow("by a hello, closed") << hello(code) << false;
        QTest::addRow("by a code with blanks around") << hello(u" "_s + code + u"\n"_s) << false;
        QTest::addRow("by a clip, leaving") << clip(code, "subito") << true;
    }

    void admittedClientHasEverythingAfterTheCode() {
        QFETCH(QByteArray, admission);
        QFETCH(bool, leaves);
        Peer peer;
        QVERIFY(peer.listening);
        // Before the code, a connection is sent nothing; after it, everything.
        Client first(peer.port());
        QVERIFY(first.waitOpen());
        QCOMPARE(test::keepaliveOf(peer.port(), first.socket.localPort()),
                 test::expectedKeepalive());
        QVERIFY(!peer.server.send(clip(code, "prima")));
        first.socket.write(admission);
        QTRY_COMPARE(peer.authenticated.count(), 1);
        // The message with the code itself, for the clipboard side to judge.
        QCOMPARE(peer.frames.value(0).value(0).toByteArray(), admission.mid(4));

        // A newer admitted connection replaces it, and only the newer is sent to.
        Client second(peer.port(), 2);
        QVERIFY(second.waitOpen());
        second.socket.write(hello(code));
        QTRY_COMPARE(peer.authenticated.count(), 2);
        QCOMPARE(peer.replaced.count(), 1);
        QVERIFY(first.waitClosed());
        QCOMPARE(peer.clientClosed.count(), 0);  // the clipboard side keeps going
        const QByteArray message = clip(code, "solo al nuovo");
        QVERIFY(peer.server.send(message));
        QTRY_COMPARE(second.received, accepted + message);
        QCOMPARE(first.received, accepted);

        // Its frames pass on in order however split, up to its end: by itself or a bad length.
        const QByteArray one = clip(code, "uno");
        const QByteArray two = clip(code, QByteArray(300'000, 'x'));
        const QByteArray both = one + two;
        second.socket.write(both.left(3));
        QTest::qWait(0);
        second.socket.write(both.mid(3) + (leaves ? QByteArray() : header(0) + clip(code, "mai")));
        if (leaves) second.socket.disconnectFromHost();
        QVERIFY(second.waitClosed());
        QTRY_COMPARE(peer.clientClosed.count(), 1);
        QCOMPARE(peer.frames.count(), 4);
        QCOMPARE(peer.frames.at(2).at(0).toByteArray(), one.mid(4));
        QCOMPARE(peer.frames.at(3).at(0).toByteArray(), two.mid(4));
        QVERIFY(!peer.server.hasClient() && !peer.server.send(message));
    }

    // A newcomer is never turned away, so idle strangers cannot lock the client out: it takes
    // the oldest stranger's place, and a silent one is the first to give way.
    void strangersGiveWay() {
        Peer peer;
        QVERIFY(peer.listening);
        const int maxStrangers = PeerServer::Limits().maxStrangers;
        // Every place taken by a stranger that spoke TLS, each from an address of its own.
        std::deque<Client> strangers;
        for (int i = 0; i < maxStrangers; ++i)
            QVERIFY(strangers.emplace_back(peer.port(), 2 + i).waitOpen());
        Client silent(peer.port(), 1, false);
        QVERIFY(strangers[0].waitClosed());
        QCOMPARE(peer.rejected.value(0).value(1), replacedReason);
        Client client(peer.port());
        QVERIFY(client.waitOpen());
        QVERIFY(silent.waitClosed());
        client.socket.write(hello(code));
        QTRY_COMPARE(peer.authenticated.count(), 1);
        QCOMPARE(peer.connected.count(), maxStrangers + 2);
        QCOMPARE(peer.rejected.count(), 2);

        // One address holds at most four places, even while others are free: the fifth from
        // it pushes its oldest out at once, long before any deadline would.
        Peer other(600'000);
        std::deque<Client> sameAddress;
        for (int i = 0; i < 5; ++i) QVERIFY(sameAddress.emplace_back(other.port(), 5).waitOpen());
        QVERIFY(sameAddress[0].waitClosed());
        QCOMPARE(other.rejected.count(), 1);
        QCOMPARE(other.rejected.at(0).at(1), replacedReason);
    }
};

QTEST_GUILESS_MAIN(PeerServerTest)
#include "tst_peer_server.moc"
