// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// The transport on real sockets on 127.0.0.1: how it reports, retries, ends and holds back.
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>

#include "platform/Crypto.h"
#include "platform/PlatformSetup.h"
#include "platform/net/SelfSignedCertificate.h"
#include "platform/net/TlsConnection.h"
#include "support/SocketOptions.h"
#include "support/Testing.h"
#include "support/TlsTestServer.h"

namespace {

// Everything a connection reports, in order, as "state:error".
struct Recorder {
    explicit Recorder(Connection& connection) {
        QObject::connect(&connection, &Connection::stateChanged, &context,
                         [this](Connection::State state, const QString& error) {
                             static const char* const names[] = {"setup", "preparing", "waiting",
                                                                 "ready", "failed",    "cancelled"};
                             events.append(u"%1:%2"_s.arg(QLatin1String(names[int(state)]), error));
                         });
    }
    bool saw(const QString& prefix) const {
        return !events.filter(QRegularExpression(u'^' + prefix)).isEmpty();
    }
    QStringList events;
    QObject context;
};

}  // namespace

class TlsConnectionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(installPlatformTranslation(*QCoreApplication::instance())); }

    // A peer that cannot be reached yet is waited on and tried again, never a failure.
    void unreachablePeerIsWaitedOnAndTriedAgain_data() {
        QTest::addColumn<bool>("silent");  // accepts TCP, never speaks TLS; or nobody listens
        QTest::addRow("silent peer") << true;
        QTest::addRow("companion not started yet") << false;
    }
    void unreachablePeerIsWaitedOnAndTriedAgain() {
        QFETCH(bool, silent);
        QTcpServer tcp;
        QVERIFY(tcp.listen(QHostAddress::LocalHost));
        const quint16 port = tcp.serverPort();
        if (!silent) tcp.close();
        test::TlsTestServer companion;
        auto* connection = new TlsConnection(u"127.0.0.1"_s, port, 200);
        Recorder recorder(*connection);
        connection->start();
        QTRY_VERIFY(recorder.saw(u"waiting:"_s));
        QCOMPARE(recorder.events.first(), u"setup:"_s);
        QCOMPARE(recorder.events.count(u"preparing:"_s), 1);
        if (!silent) QVERIFY(companion.listen(port));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events.count(u"preparing:"_s), 2, 4000);
        if (!silent) QTRY_VERIFY(recorder.saw(u"ready:"_s));
        QVERIFY(!recorder.saw(u"failed:"_s));

        QPointer<Connection> watched = connection;
        recorder.events.clear();
        connection->cancel();
        QTRY_VERIFY(watched.isNull());  // it goes by itself after reporting
        QCOMPARE(recorder.events, QStringList{u"cancelled:"_s});
    }

    // One link through its life: what it is set up with, a send, a flood nobody reads yet, and
    // the peer's last words before it closed.
    void linkCarriesBothWaysThenEnds() {
        test::TlsTestServer server;
        QVERIFY(server.listen());
        TlsConnection connection(u"127.0.0.1"_s, server.port());
        Recorder recorder(connection);
        connection.start();
        QSslSocket* peer = server.waitForClient();
        QVERIFY(peer);
        QTRY_VERIFY(recorder.saw(u"ready:"_s));
        QCOMPARE(fingerprintText(connection.peerCertificateDigest()),
                 test::TlsTestServer::fingerprint());
        // An idle link is probed, so that a peer gone without a word is noticed.
        QCOMPARE(test::keepaliveOf(peer->peerPort(), server.port()), test::expectedKeepalive());

        std::optional<Result<void>> sent;
        connection.send("hello"_ba, [&](Result<void> done) { sent = done; });
        QTRY_VERIFY(sent && *sent);
        QByteArray arrived;
        QTRY_COMPARE((arrived += peer->readAll()), QByteArray("hello"));

        // Far more than the kernel's buffers and ours together: with nobody reading, most of
        // it must stay with the sender.
        QByteArray flood(48 << 20, Qt::Uninitialized);
        for (qsizetype i = 0; i < flood.size(); i += 4096) flood[i] = char(i >> 12);
        peer->write(flood);
        QTest::qWait(1500);
        QVERIFY2(peer->encryptedBytesToWrite() > (16 << 20),
                 qPrintable(QString::number(peer->encryptedBytesToWrite())));
        // Read it all, one chunk at a time: every byte arrives, in order.
        QByteArray received;
        while (received.size() < flood.size()) {
            bool done = false;
            connection.receive(1, 65536, [&](Connection::Received chunk) {
                QVERIFY(chunk.bytes.size() <= 65536);
                received.append(chunk.bytes);
                done = true;
            });
            QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
        }
        QCOMPARE(sha256({received}), sha256({flood}));

        peer->write("last words");
        peer->flush();
        QTest::qWait(100);  // the words arrive before the close does
        peer->disconnectFromHost();
        QTRY_VERIFY(recorder.saw(u"failed:"_s));
        // Qt's own description, in Italian like the rest of the program's texts.
        QVERIFY2(!recorder.saw(u"failed:.*closed"_s), qPrintable(recorder.events.last()));
        // The end is told with the last bytes, not with the ones before them.
        std::optional<Connection::Received> last;
        connection.receive(1, 4, [&](Connection::Received got) { last = got; });
        QTRY_VERIFY(last);
        QVERIFY(last->bytes == "last" && !last->isComplete);
        last.reset();
        connection.receive(1, 65536, [&](Connection::Received got) { last = got; });
        QTRY_VERIFY(last);
        QCOMPARE(last->bytes, QByteArray(" words"));
        QVERIFY(last->isComplete && last->status);

        // Nothing can be sent any more, and saying so is the completion's job.
        sent.reset();
        connection.send("late"_ba, [&](Result<void> done) { sent = done; });
        QTRY_VERIFY(sent && !*sent && !sent->error().isEmpty());
    }
};

QTEST_MAIN(TlsConnectionTest)
#include "tst_tlsconnection.moc"
