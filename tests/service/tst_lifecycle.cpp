// The connection's life against a real TLS server on 127.0.0.1 that plays the peer, and,
// where a socket cannot produce the case at a chosen moment, against a fake connection.
#include <QClipboard>
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
#include "platform/TlsConnection.h"
#include "protocol/Message.h"
#include "support/FakeConnection.h"
#include "support/TestEnvironment.h"
#include "support/TlsTestServer.h"

using namespace clipwren;

namespace {

const QString token = QStringLiteral("ABCDEFGHJKLMNPQR");
const QString ready = QStringLiteral("Connesso \u2022 sincronizzazione attiva");

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

// The real TLS connection, pointed at the test server's port instead of the peer's.
SyncService::ConnectionFactory toPort(quint16 port) {
    return [port](const QString& host, quint16) {
        return std::make_unique<TlsConnection>(host, port);
    };
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
