// The connection's life against a real TLS server on 127.0.0.1 that plays the peer, and,
// where a socket cannot produce the case at a chosen moment, against a fake connection.
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "clipboard/Digest.h"
#include "platform/PasswordManagerHint.h"
#include "platform/SettingsStore.h"
#include "platform/SleepWatcher.h"
#include "platform/TlsConnection.h"
#include "protocol/Message.h"
#include "support/FakeConnection.h"
#include "support/TestEnvironment.h"
#include "support/TlsTestServer.h"

using namespace clipwren;

namespace {

const QString token = QStringLiteral("ABCDEFGHJKLMNPQR");
const QString ready = QStringLiteral("Connesso \u2022 sincronizzazione attiva");
const QString changed =
    QStringLiteral("Il certificato del Linux \u00e8 cambiato: verifica l'impronta");

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

// The real TLS connection, pointed at the test server's port instead of the peer's.
SyncService::ConnectionFactory toPort(quint16 port) {
    return [port](const QString& host, quint16) {
        return std::make_unique<TlsConnection>(host, port);
    };
}

// The real TLS connection to 127.0.0.1, at whatever port *port holds when it is made, for
// any address typed: each typed address keeps a pin of its own.
SyncService::ConnectionFactory toLoopback(const quint16* port) {
    return [port](const QString&, quint16) {
        return std::make_unique<TlsConnection>(QStringLiteral("127.0.0.1"), *port);
    };
}

// The status between two attempts.
QString waitingFor(int seconds) {
    return QStringLiteral("In attesa: nuovo tentativo tra ") + QString::number(seconds) +
           QStringLiteral(" s");
}

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

QByteArray peerClip(const QString& kind, const QByteArray& bytes, const QString& code = token) {
    return *clipMessage(kind, bytes, code, QStringLiteral("linux-peer")).toJson();
}

QByteArray decodedData(const QJsonObject& clip) {
    return QByteArray::fromBase64(clip[QStringLiteral("data")].toString().toLatin1());
}

}  // namespace

class LifecycleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }
    void init() {
        QSettings(QStringLiteral("ClipwrenPlus"), QStringLiteral("ClipwrenPlus")).clear();
        clipboard()->clear();
    }

    void validationSavesNothingAndKeepsTheAttempt() {
        test::FakeNetwork network;
        SyncService service(network.factory());
        const QString message =
            QStringLiteral("Inserisci l'IP Linux e un codice di almeno 16 caratteri");

        service.setHost(QStringLiteral(" \t\n"));
        service.setToken(token);
        service.start();
        QCOMPARE(service.status(), message);
        service.setHost(QStringLiteral("10.0.0.1"));
        service.setToken(QStringLiteral("ABCDEFGHJKLMNPQ"));  // 15
        service.start();
        QCOMPARE(service.status(), message);
        QVERIFY(network.made.isEmpty());
        QCOMPARE(SettingsStore().text(QStringLiteral("host")), QString());
        QCOMPARE(SettingsStore().text(QStringLiteral("token")), QString());

        // A valid start, then a refused one: the attempt in progress is left alone.
        service.setHost(QStringLiteral(" 192.168.1.20\n"));
        service.setToken(token);
        service.start();
        QCOMPARE(network.made.size(), 1);
        QCOMPARE(network.last()->host, QStringLiteral("192.168.1.20"));
        QCOMPARE(network.last()->port, 47832);
        QVERIFY(network.last()->started);
        QCOMPARE(service.status(), QStringLiteral("Connessione a 192.168.1.20\u2026"));
        QCOMPARE(service.host(), QStringLiteral(" 192.168.1.20\n"));
        QCOMPARE(SettingsStore().text(QStringLiteral("host")), QStringLiteral("192.168.1.20"));
        QCOMPARE(SettingsStore().text(QStringLiteral("token")), token);

        service.setToken(QStringLiteral("short"));
        service.start();
        QCOMPARE(service.status(), message);
        QVERIFY(!network.last()->abandoned);
        QCOMPARE(SettingsStore().text(QStringLiteral("token")), token);
    }

    void readyReportsAndStop() {
        test::FakeBridge bridge;
        clipboard()->setText(QStringLiteral("already here"));
        bridge.connect();
        QCOMPARE(bridge.service.status(), ready);
        QCOMPARE(bridge.service.lastDigest(), std::optional(contentDigest("text", "already here")));
        QVERIFY(bridge.service.isWatching());
        const QList<QJsonObject> sent = bridge.sentMessages();
        QCOMPARE(sent.size(), 1);  // the hello only: what was there at connect time stays here
        QCOMPARE(sent[0].keys(), (QStringList{QStringLiteral("device"), QStringLiteral("token"),
                                              QStringLiteral("type"), QStringLiteral("v")}));
        QCOMPARE(sent[0][QStringLiteral("type")].toString(), QStringLiteral("hello"));
        QCOMPARE(sent[0][QStringLiteral("device")].toString(), bridge.service.deviceID());
        QCOMPARE(bridge.connection->reads, 1);

        // A second ready leaves one timer, not two.
        bridge.connection->report(Connection::State::Ready);
        QTRY_COMPARE(bridge.connection->reads, 2);
        QCOMPARE(bridge.service.findChildren<QTimer*>(Qt::FindDirectChildrenOnly).size(), 1);
        // With the tick held back, the change itself sends the new content, at once.
        bridge.service.findChild<QTimer*>()->stop();
        clipboard()->setText(QStringLiteral("new"));
        QTRY_COMPARE(bridge.sentMessages().size(), 3);  // two hellos, then one clip
        test::spin(1000);
        QCOMPARE(bridge.sentMessages().size(), 3);

        // Waiting and failure only talk; stop clears and keeps the status.
        bridge.connection->report(Connection::State::Waiting, QStringLiteral("why"));
        QTRY_COMPARE(bridge.service.status(), QStringLiteral("In attesa: why"));
        QVERIFY(bridge.service.isConnected());
        bridge.deliver(QByteArray("\x00\x00", 2));
        QCOMPARE(bridge.service.receiveBuffer().size(), 2);
        bridge.service.stop();
        QVERIFY(!bridge.service.isConnected());
        QVERIFY(!bridge.service.isWatching());
        QVERIFY(bridge.service.receiveBuffer().isEmpty());
        QCOMPARE(bridge.service.status(), QStringLiteral("In attesa: why"));
        QVERIFY(bridge.service.lastDigest());
    }

    void readAndSendErrorsAreReported() {
        test::FakeBridge bridge;
        bridge.connect();
        bridge.connection->completeSend();  // the hello went out
        clipboard()->setText(QStringLiteral("lost"));
        QTRY_COMPARE(bridge.connection->sent.size(), 2);
        bridge.connection->completeSend(QStringLiteral("rete giù"));
        QTRY_COMPARE(bridge.service.status(), QStringLiteral("Invio fallito: rete giù"));
        QVERIFY(bridge.service.isConnected());
        // The lost content is not retried; the next one goes on the same connection.
        test::spin(600);
        QCOMPARE(bridge.connection->sent.size(), 2);
        clipboard()->setText(QStringLiteral("next"));
        QTRY_COMPARE(bridge.connection->sent.size(), 3);

        // Ten bytes with the end of the stream: parsed, no further read, nothing said.
        QTRY_VERIFY(bridge.connection->hasPendingRead());
        bridge.connection->deliver(QByteArray(10, 'x').prepend(QByteArray("\x00\x00\x00\x20", 4)),
                                   true);
        QTRY_COMPARE(bridge.service.receiveBuffer().size(), 14);
        test::spin(50);
        QVERIFY(!bridge.connection->hasPendingRead());
        QCOMPARE(bridge.service.status(), QStringLiteral("Invio fallito: rete giù"));

        bridge.connect();
        bridge.connection->deliver({}, false, QStringLiteral("reset"));
        QTRY_COMPARE(bridge.service.status(), QStringLiteral("Connessione interrotta"));
        test::spin(50);
        QCOMPARE(bridge.connection->reads, 1);
        // The failure that follows a dead link clears the flag and keeps the words.
        bridge.connection->report(Connection::State::Failed, QStringLiteral("timeout"));
        QTRY_VERIFY(!bridge.service.isConnected());
        QCOMPARE(bridge.service.status(), QStringLiteral("Connessione interrotta"));
    }

    void lateCompletionsOfAnOldConnectionDoNothing() {
        test::FakeBridge bridge;
        bridge.connect();
        QPointer<test::FakeConnection> old = bridge.connection;
        QTRY_VERIFY(old->hasPendingRead());
        // The read completes and its work is queued, then the user connects again before
        // that work runs.
        old->deliver(QByteArray("\x00\x00", 2));
        old->completeSend(QStringLiteral("old failure"));
        old->report(Connection::State::Failed, QStringLiteral("old failure"));
        bridge.service.start();
        bridge.connection = bridge.network.last();
        bridge.connection->report(Connection::State::Ready);
        QTRY_VERIFY(bridge.service.isConnected());
        test::spin(50);
        // The old connection's cancelled report came after the new one was ready.
        QVERIFY(bridge.service.isConnected());
        QVERIFY(bridge.service.receiveBuffer().isEmpty());
        QCOMPARE(bridge.service.status(), ready);
        QCOMPARE(bridge.connection->reads, 1);
        QVERIFY(old.isNull());
        // Bytes on the new connection are framed from their own start.
        bridge.deliver(bridge.clipFrame(QStringLiteral("text"), "fresh"));
        QCOMPARE(clipboard()->text(), QStringLiteral("fresh"));
    }

    void pinsTheCertificateOfEachAddress() {
        test::TlsTestServer server;
        test::TlsTestServer stranger(1);
        QVERIFY(server.listen() && stranger.listen());
        quint16 port = server.port();
        SyncService service(toLoopback(&port));
        service.setHost(QStringLiteral(" 127.0.0.1 "));
        service.setToken(token);

        // First use: pinned, and the hello goes out as before.
        service.start();
        QSslSocket* peer = server.waitForClient();
        QVERIFY(peer);
        QTRY_VERIFY(service.isConnected());
        QCOMPARE(service.pinnedFingerprint(QStringLiteral("127.0.0.1")),
                 test::TlsTestServer::fingerprint());
        QCOMPARE(server.readMessages(peer, 1).size(), 1);

        // Another certificate at the same address: closed before a byte of ours is sent.
        port = stranger.port();
        service.start();
        QTRY_VERIFY(service.certificateChanged());
        QCOMPARE(service.status(), changed);
        QCOMPARE(service.peerFingerprint(), test::TlsTestServer::fingerprint(1));
        QVERIFY(!service.isConnected());
        QTRY_COMPARE(stranger.clientsGone(), 1);
        QVERIFY2(!stranger.heardAnything(), "a stranger got bytes, maybe the code");
        stranger.waitForClient(0);  // the one that left, if its handshake was over by then
        QCOMPARE(service.pinnedFingerprint(QStringLiteral("127.0.0.1")),
                 test::TlsTestServer::fingerprint());

        // The user compared and trusts it: pinned, connected, the hello goes out.
        service.trustNewCertificate();
        QVERIFY(!service.certificateChanged());
        QSslSocket* trusted = stranger.waitForClient();
        QVERIFY(trusted);
        QTRY_VERIFY(service.isConnected());
        QCOMPARE(service.pinnedFingerprint(QStringLiteral("127.0.0.1")),
                 test::TlsTestServer::fingerprint(1));
        QCOMPARE(stranger.readMessages(trusted, 1).size(), 1);

        // Another address has a pin of its own, made at its own first session.
        port = server.port();
        service.setHost(QStringLiteral("linux.lan"));
        service.start();
        QVERIFY(server.waitForClient());
        QTRY_VERIFY(service.isConnected());
        QCOMPARE(service.pinnedFingerprint(QStringLiteral("linux.lan")),
                 test::TlsTestServer::fingerprint());
        QCOMPARE(service.pinnedFingerprint(QStringLiteral("127.0.0.1")),
                 test::TlsTestServer::fingerprint(1));
    }

    void reconnectsAfterTheCompanionRestarts() {
        test::TlsTestServer server;
        QVERIFY(server.listen());
        const quint16 port = server.port();
        SyncService service(toPort(port));
        auto* delay = new test::ManualDelay;
        service.setRetryDelay(std::unique_ptr<Delay>(delay));
        service.setReconnects(true);
        service.setHost(QStringLiteral("127.0.0.1"));
        service.setToken(token);
        service.start();
        QSslSocket* peer = server.waitForClient();
        QVERIFY(peer);
        QTRY_VERIFY(service.isConnected());

        // It goes away, and for a while nobody listens: each attempt waits longer.
        server.close();
        peer->disconnectFromHost();
        QTRY_COMPARE(delay->asked, QList<int>{2000});
        QVERIFY(!service.isConnected());
        QVERIFY(service.isReconnecting());
        QCOMPARE(service.status(), waitingFor(2));
        delay->finish();
        QTRY_COMPARE(delay->asked, (QList<int>{2000, 4000}));
        QCOMPARE(service.status(), waitingFor(4));

        // It is back: ready again without a click, and the hello goes out again.
        QVERIFY(server.listen(port));
        delay->finish();
        peer = server.waitForClient();
        QVERIFY(peer);
        QTRY_VERIFY(service.isConnected());
        QVERIFY(!service.isReconnecting());
        QCOMPARE(service.status(), ready);
        QCOMPARE(server.readMessages(peer, 1).value(0)[QStringLiteral("type")].toString(),
                 QStringLiteral("hello"));
    }

    void aDroppedSessionIsRetriedOnlyWhenAsked_data() {
        QTest::addColumn<bool>("reconnects");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("status");

        for (const char* end : {"link fails", "peer closes", "read fails"}) {
            QTest::addRow("box on, %s", end) << true << end << waitingFor(2);
        }
        QTest::addRow("box off, link fails")
            << false << "link fails" << QStringLiteral("Connessione fallita: reset");
        QTest::addRow("box off, read fails")
            << false << "read fails" << QStringLiteral("Connessione interrotta");
        QTest::addRow("box off, peer closes") << false << "peer closes" << ready;
        // Unticked during the wait: no retry, and the line tells how the session ended.
        QTest::addRow("box unticked while waiting")
            << false << "peer closes"
            << QStringLiteral("Connessione fallita: il Linux ha chiuso la connessione");
    }
    void aDroppedSessionIsRetriedOnlyWhenAsked() {
        QFETCH(bool, reconnects);
        QFETCH(QString, end);
        QFETCH(QString, status);

        test::FakeBridge bridge;
        const bool untick = QByteArray(QTest::currentDataTag()).contains("unticked");
        bridge.service.setReconnects(reconnects || untick);
        bridge.connect();
        QTRY_VERIFY(bridge.connection->hasPendingRead());
        if (end == u"link fails") {
            bridge.connection->report(Connection::State::Failed, QStringLiteral("reset"));
        }
        if (end == u"peer closes") bridge.connection->deliver({}, true);
        if (end == u"read fails") bridge.connection->deliver({}, false, QStringLiteral("reset"));
        if (untick) {
            QTRY_VERIFY(bridge.retryDelay->isActive());
            bridge.service.setReconnects(false);
        }
        QTRY_COMPARE(bridge.service.status(), status);
        QCOMPARE(bridge.retryDelay->isActive(), reconnects);
        QCOMPARE(bridge.service.isReconnecting(), reconnects);
        bridge.retryDelay->finish();
        QCOMPARE(bridge.network.made.size(), reconnects ? 2 : 1);
    }

    void retriesBackOffAndStopWhenTheyMust() {
        test::FakeBridge bridge;
        bridge.service.setReconnects(true);
        bridge.network.certificateDigest = QByteArray(32, 'a');
        bridge.connect();
        bridge.connection->report(Connection::State::Failed, QStringLiteral("reset"));
        for (int attempt = 2; attempt <= 8; ++attempt) {
            QTRY_VERIFY(bridge.retryDelay->isActive());
            bridge.retryDelay->finish();
            QCOMPARE(bridge.network.made.size(), attempt);
            bridge.network.last()->report(Connection::State::Waiting, QStringLiteral("rifiutata"));
        }
        QTRY_COMPARE(bridge.retryDelay->asked,
                     (QList<int>{2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000}));
        QCOMPARE(bridge.service.status(), waitingFor(60));

        // "Disconnetti" during a wait ends the retries.
        QVERIFY(bridge.service.isReconnecting());
        bridge.service.stopByUser();
        QVERIFY(!bridge.retryDelay->isActive());
        QVERIFY(!bridge.service.isReconnecting());
        QCOMPARE(bridge.service.status(), QStringLiteral("Disconnesso"));

        // A changed certificate met on a retry is never retried.
        bridge.connect();
        bridge.connection->report(Connection::State::Failed, QStringLiteral("reset"));
        QTRY_VERIFY(bridge.retryDelay->isActive());
        bridge.network.certificateDigest = QByteArray(32, 'b');
        bridge.retryDelay->finish();
        bridge.network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(bridge.service.certificateChanged());
        QCOMPARE(bridge.service.status(), changed);
        QVERIFY(!bridge.service.isReconnecting());
        QVERIFY(!bridge.retryDelay->isActive());
        bridge.service.resumeFromSleep();
        QCOMPARE(bridge.network.made.size(), 10);
    }

    void resumeFromSuspendTriesAtOnce() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY2(bus.isConnected(), "runs under dbus-run-session");
        // A logind of our own on the private bus: it owns logind's name and sends its signal.
        QDBusConnection logind =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("logind"));
        QVERIFY(logind.registerService(QStringLiteral("org.freedesktop.login1")));
        const auto sleep = [&logind](bool sleeping) {
            QDBusMessage signal =
                QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                           QStringLiteral("org.freedesktop.login1.Manager"),
                                           QStringLiteral("PrepareForSleep"));
            signal << sleeping;
            QVERIFY(logind.send(signal));
        };
        SleepWatcher watcher(bus);
        QVERIFY(watcher.isWatching());

        test::FakeBridge bridge;
        connect(&watcher, &SleepWatcher::resumed, &bridge.service, &SyncService::resumeFromSleep);
        bridge.service.setReconnects(true);
        bridge.connect();
        // Waking with a session up: it is opened anew, since the old link may be dead.
        sleep(true);
        sleep(false);
        QTRY_COMPARE(bridge.network.made.size(), 2);
        QVERIFY(bridge.network.made[0].isNull());  // cancelled and gone
        bridge.connection = bridge.network.last();
        bridge.connection->report(Connection::State::Ready);
        QTRY_VERIFY(bridge.service.isConnected());
        // Waking during a wait: no more waiting.
        bridge.connection->report(Connection::State::Failed, QStringLiteral("reset"));
        QTRY_VERIFY(bridge.retryDelay->isActive());
        sleep(false);
        QTRY_COMPARE(bridge.network.made.size(), 3);
        QVERIFY(!bridge.retryDelay->isActive());
        QCOMPARE(bridge.retryDelay->asked, QList<int>{2000});
    }

    void secretsStayHome_data() {
        QTest::addColumn<QByteArray>("hint");
        QTest::addColumn<bool>("sent");
        QTest::addRow("marked secret") << QByteArray("secret") << false;
        QTest::addRow("unmarked") << QByteArray() << true;
    }
    void secretsStayHome() {
        QFETCH(QByteArray, hint);
        QFETCH(bool, sent);
        test::FakeBridge bridge;
        bridge.connect();
        auto* mime = new QMimeData;
        mime->setText(QStringLiteral("hunter2"));
        if (!hint.isNull()) mime->setData(QString::fromLatin1(passwordManagerHintType), hint);
        clipboard()->setMimeData(mime);
        QTRY_COMPARE(bridge.service.lastDigest(), std::optional(contentDigest("text", "hunter2")));
        QCOMPARE(bridge.sentMessages().size(), sent ? 2 : 1);
        QCOMPARE(bridge.service.status(),
                 sent ? ready
                      : QStringLiteral("Password non inviata: copiata da un gestore di password"));
        // Said once: the next looks pass over the known content.
        QSignalSpy notes(&bridge.service, &SyncService::objectWillChange);
        test::spin(1000);
        QCOMPARE(notes.count(), 0);
    }

    void bothWaysOverRealTls() {
        test::TlsTestServer server;
        QVERIFY(server.listen());
        SyncService service(toPort(server.port()));
        service.setHost(QStringLiteral("127.0.0.1"));
        service.setToken(token);
        clipboard()->setText(QStringLiteral("present before connecting"));
        service.start();
        QSslSocket* peer = server.waitForClient();
        QVERIFY(peer);
        QTRY_VERIFY(service.isConnected());
        QCOMPARE(service.status(), ready);

        QList<QJsonObject> messages = server.readMessages(peer, 1);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0][QStringLiteral("type")].toString(), QStringLiteral("hello"));
        QCOMPARE(messages[0][QStringLiteral("token")].toString(), token);
        QCOMPARE(messages[0][QStringLiteral("v")].toInt(), 1);

        // Outbound: text, PNG and a file, each once.
        clipboard()->setText(QStringLiteral("dal Mac"));
        messages = server.readMessages(peer, 1);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].size(), 6);
        QCOMPARE(messages[0][QStringLiteral("kind")].toString(), QStringLiteral("text"));
        QCOMPARE(decodedData(messages[0]), QByteArray("dal Mac"));
        QCOMPARE(messages[0][QStringLiteral("id")].toString().size(), 36);

        const QByteArray png = test::samplePng();
        auto* mime = new QMimeData;
        mime->setData(QStringLiteral("image/png"), png);
        clipboard()->setMimeData(mime);
        messages = server.readMessages(peer, 1);
        QCOMPARE(messages.value(0)[QStringLiteral("kind")].toString(), QStringLiteral("image"));
        QCOMPARE(decodedData(messages.value(0)), png);

        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("note.txt")));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray("a\0b", 3));
        file.close();
        mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(file.fileName())});
        clipboard()->setMimeData(mime);
        messages = server.readMessages(peer, 1);
        QCOMPARE(messages.value(0)[QStringLiteral("kind")].toString(), QStringLiteral("file"));
        QCOMPARE(decodedData(messages.value(0)), QByteArray("note.txt\0a\0b", 12));

        // Inbound: each kind lands, and none is echoed back.
        server.sendFrame(peer, peerClip(QStringLiteral("text"), "da Linux"));
        QTRY_COMPARE(clipboard()->text(), QStringLiteral("da Linux"));
        server.sendFrame(peer, peerClip(QStringLiteral("image"), png + "x"));
        QTRY_COMPARE(clipboard()->mimeData()->data(QStringLiteral("image/png")), png + "x");
        server.sendFrame(peer, peerClip(QStringLiteral("file"), QByteArray("linux.txt\0L", 11)));
        QTRY_COMPARE(clipboard()->mimeData()->urls().size(), 1);
        const QString stored = clipboard()->mimeData()->urls()[0].toLocalFile();
        QVERIFY(stored.startsWith(test::dataHome() + QStringLiteral("/ClipwrenPlus/Received/")));
        QVERIFY(stored.endsWith(QStringLiteral("/linux.txt")));
        // A stranger's message never lands.
        server.sendFrame(
            peer, peerClip(QStringLiteral("text"), "stranger", QStringLiteral("WRONGWRONGWRONG1")));
        messages = server.readMessages(peer, 1, 1500);
        QVERIFY2(messages.isEmpty(), "an applied content was sent back");
        QCOMPARE(clipboard()->mimeData()->urls()[0].toLocalFile(), stored);

        // The peer goes away: the failure shows, the flag drops.
        peer->disconnectFromHost();
        QTRY_VERIFY(!service.isConnected());
        QVERIFY2(service.status().startsWith(QStringLiteral("Connessione fallita: ")),
                 qPrintable(service.status()));
    }

    void waitsUntilThePeerListens() {
        const quint16 port = freePort();
        SyncService service(toPort(port));
        service.setHost(QStringLiteral("127.0.0.1"));
        service.setToken(token);
        service.start();
        QTRY_VERIFY_WITH_TIMEOUT(service.status().startsWith(QStringLiteral("In attesa: ")), 5000);
        QVERIFY(!service.isConnected());

        test::TlsTestServer server;
        QVERIFY(server.listen(port));
        QSslSocket* peer = server.waitForClient(10000);
        QVERIFY(peer);
        QTRY_VERIFY(service.isConnected());
        QCOMPARE(service.status(), ready);
        QCOMPARE(server.readMessages(peer, 1).value(0)[QStringLiteral("type")].toString(),
                 QStringLiteral("hello"));
    }
};

QTEST_MAIN(LifecycleTest)
#include "tst_lifecycle.moc"
