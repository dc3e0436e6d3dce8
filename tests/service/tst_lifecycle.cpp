// The connection's life on a fake connection, whose every report and completion the test makes
// at a chosen moment. The pinned certificates meet real TLS servers in the panel's test.
#include <QDBusConnection>
#include <QDBusMessage>

#include "clipboard/Digest.h"
#include "platform/PasswordManagerHint.h"
#include "platform/SettingsStore.h"
#include "platform/SleepWatcher.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

namespace {

const QString token = u"ABCDEFGHJKLMNPQR"_s;
const QString ready = u"Connesso \u2022 sincronizzazione attiva"_s;
const QString invalid = u"Inserisci l'IP Linux e un codice di almeno 16 caratteri"_s;
const QString changed = u"Il certificato del Linux \u00e8 cambiato: verifica l'impronta"_s;

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

QString saved(const QString& key) {
    return SettingsStore().text(key);
}

// The status between two attempts.
QString waitingFor(int seconds) {
    return u"In attesa: nuovo tentativo tra %1 s"_s.arg(seconds);
}

void fail(test::FakeConnection* connection, const QString& why = u"reset"_s) {
    connection->report(Connection::State::Failed, why);
}

}  // namespace

class LifecycleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }
    void init() {
        test::clearSettings();
        clipboard()->clear();
    }

    void validationSavesNothingAndKeepsTheAttempt() {
        test::FakeNetwork network;
        SyncService service(network.factory());
        const auto start = [&service](const QString& host, const QString& code) {
            service.setHost(host);
            service.setToken(code);
            service.start();
        };
        start(u" \t\n"_s, token);
        QVERIFY(network.made.isEmpty());
        start(u"10.0.0.1"_s, token.chopped(1));
        QCOMPARE(service.status(), invalid);
        QVERIFY(network.made.isEmpty());
        QVERIFY(saved(u"host"_s).isNull() && saved(u"token"_s).isNull());

        // A valid start, saved trimmed; then a refused one leaves the attempt in progress alone.
        start(u" 192.168.1.20\n"_s, token);
        QCOMPARE(network.made.size(), 1);
        QCOMPARE(network.last()->host, u"192.168.1.20"_s);
        QCOMPARE(service.status(), u"Connessione a 192.168.1.20\u2026"_s);
        QCOMPARE(service.host(), u" 192.168.1.20\n"_s);
        QCOMPARE(saved(u"host"_s), u"192.168.1.20"_s);
        start(u"192.168.1.20"_s, u"short"_s);
        QCOMPARE(service.status(), invalid);
        QVERIFY(!network.last()->abandoned);
        QCOMPARE(saved(u"token"_s), token);
    }

    void readyReportsAndStop() {
        test::FakeBridge bridge;
        clipboard()->setText(u"already here"_s);
        bridge.connect();
        QCOMPARE(bridge.service.lastDigest(), std::optional(contentDigest("text", "already here")));
        // The hello only: what was there at connect time stays here.
        const QString device = bridge.service.deviceID();
        const QJsonObject hello{
            {u"type"_s, u"hello"_s}, {u"device"_s, device}, {u"token"_s, token}, {u"v"_s, 1}};
        QCOMPARE(bridge.sentMessages(), QList<QJsonObject>{hello});
        QCOMPARE(bridge.connection->reads, 1);

        // A second ready leaves one timer, not two.
        bridge.connection->report(Connection::State::Ready);
        QTRY_COMPARE(bridge.connection->reads, 2);
        QCOMPARE(bridge.service.findChildren<QTimer*>(Qt::FindDirectChildrenOnly).size(), 1);
        // With the tick held back, the change itself sends the new content, at once.
        bridge.service.findChild<QTimer*>()->stop();
        clipboard()->setText(u"new"_s);
        QTRY_COMPARE(bridge.sentMessages().size(), 3);  // two hellos, then one clip
        const QJsonObject clip = bridge.sentMessages()[2];
        QCOMPARE(clip[u"id"_s].toString().size(), 36);
        QCOMPARE(clip, (QJsonObject{{u"data"_s, u"bmV3"_s},
                                    {u"device"_s, device},
                                    {u"id"_s, clip[u"id"_s]},
                                    {u"kind"_s, u"text"_s},
                                    {u"token"_s, token},
                                    {u"v"_s, 1}}));

        // Waiting only talks; stop clears the bridge and keeps the status and the known content.
        bridge.connection->report(Connection::State::Waiting, u"why"_s);
        QTRY_COMPARE(bridge.service.status(), u"In attesa: why"_s);
        QVERIFY(bridge.service.isConnected());
        bridge.deliver(QByteArray("\x00\x00", 2));
        QCOMPARE(bridge.service.receiveBuffer().size(), 2);
        bridge.service.stop();
        QVERIFY(!bridge.service.isConnected() && !bridge.service.isWatching());
        QVERIFY(bridge.service.receiveBuffer().isEmpty());
        QCOMPARE(bridge.service.status(), u"In attesa: why"_s);
        QVERIFY(bridge.service.lastDigest());
    }

    void readAndSendErrorsAreReported() {
        test::FakeBridge bridge;
        bridge.connect();
        bridge.connection->completeSend();  // the hello went out
        clipboard()->setText(u"lost"_s);
        QTRY_COMPARE(bridge.connection->sent.size(), 2);
        bridge.connection->completeSend(u"rete giù"_s);
        QTRY_COMPARE(bridge.service.status(), u"Invio fallito: rete giù"_s);
        QVERIFY(bridge.service.isConnected());
        // The lost content is not retried; the next one goes on the same connection.
        test::spin(600);
        QCOMPARE(bridge.connection->sent.size(), 2);
        clipboard()->setText(u"next"_s);
        QTRY_COMPARE(bridge.connection->sent.size(), 3);

        // Ten bytes with the end of the stream: parsed, no further read, nothing said.
        QTRY_VERIFY(bridge.connection->hasPendingRead());
        bridge.connection->deliver(QByteArray(10, 'x').prepend(QByteArray("\x00\x00\x00\x20", 4)),
                                   true);
        QTRY_COMPARE(bridge.service.receiveBuffer().size(), 14);
        test::spin(50);
        QVERIFY(!bridge.connection->hasPendingRead());
        QCOMPARE(bridge.service.status(), u"Invio fallito: rete giù"_s);

        // A dead link found under a read, with no retries asked for: said once, in these words,
        // and the failure that follows clears the flag and keeps them.
        bridge.connect();
        bridge.connection->deliver({}, false, u"reset"_s);
        QTRY_COMPARE(bridge.service.status(), u"Connessione interrotta"_s);
        test::spin(50);
        QCOMPARE(bridge.connection->reads, 1);
        fail(bridge.connection, u"timeout"_s);
        QTRY_VERIFY(!bridge.service.isConnected());
        QCOMPARE(bridge.service.status(), u"Connessione interrotta"_s);
    }

    void lateCompletionsOfAnOldConnectionDoNothing() {
        test::FakeBridge bridge;
        bridge.connect();
        QPointer<test::FakeConnection> old = bridge.connection;
        QTRY_VERIFY(old->hasPendingRead());
        // The old connection's completions and reports are queued, then the user connects
        // again before that work runs.
        old->deliver(QByteArray("\x00\x00", 2));
        old->completeSend(u"old failure"_s);
        fail(old, u"old failure"_s);
        bridge.connect();
        test::spin(50);
        QVERIFY(bridge.service.isConnected());
        QVERIFY(bridge.service.receiveBuffer().isEmpty());
        QCOMPARE(bridge.service.status(), ready);
        QCOMPARE(bridge.connection->reads, 1);
        QVERIFY(old.isNull());
        // Bytes on the new connection are framed from their own start.
        bridge.deliver(bridge.clipFrame(u"text"_s, "fresh"));
        QCOMPARE(clipboard()->text(), u"fresh"_s);
    }

    void aDroppedSessionIsRetriedOnlyWhenAsked_data() {
        QTest::addColumn<bool>("reconnects");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("status");
        for (const char* end : {"link fails", "peer closes", "read fails"}) {
            QTest::addRow("box on, %s", end) << true << end << waitingFor(2);
        }
        QTest::addRow("box off, link fails")
            << false << "link fails" << u"Connessione fallita: reset"_s;
        QTest::addRow("box off, peer closes") << false << "peer closes" << ready;
        // Unticked during the wait: no retry, and the line tells how the session ended.
        QTest::addRow("box unticked while waiting")
            << false << "peer closes"
            << u"Connessione fallita: il Linux ha chiuso la connessione"_s;
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
        if (end == u"link fails") fail(bridge.connection);
        if (end == u"peer closes") bridge.connection->deliver({}, true);
        if (end == u"read fails") bridge.connection->deliver({}, false, u"reset"_s);
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
        fail(bridge.connection);
        // A retry that finds nobody is one attempt: the next wait is longer.
        for (int attempt = 2; attempt <= 8; ++attempt) {
            QTRY_VERIFY(bridge.retryDelay->isActive());
            bridge.retryDelay->finish();
            QCOMPARE(bridge.network.made.size(), attempt);
            bridge.network.last()->report(Connection::State::Waiting, u"rifiutata"_s);
        }
        QTRY_COMPARE(bridge.retryDelay->asked,
                     (QList<int>{2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000}));
        QCOMPARE(bridge.service.status(), waitingFor(60));

        // "Disconnetti" during a wait ends the retries.
        QVERIFY(bridge.service.isReconnecting());
        bridge.service.stopByUser();
        QVERIFY(!bridge.retryDelay->isActive() && !bridge.service.isReconnecting());
        QCOMPARE(bridge.service.status(), u"Disconnesso"_s);

        // A session that comes back is ready as before, and the waits start again from two
        // seconds; a changed certificate met on a retry is never retried.
        bridge.connect();
        fail(bridge.connection);
        QTRY_VERIFY(bridge.retryDelay->isActive());
        bridge.retryDelay->finish();
        bridge.network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(bridge.service.status(), ready);
        QVERIFY(!bridge.service.isReconnecting());
        fail(bridge.network.last());
        QTRY_COMPARE(bridge.retryDelay->asked.mid(8), (QList<int>{2000, 2000}));
        bridge.network.certificateDigest = QByteArray(32, 'b');
        bridge.retryDelay->finish();
        bridge.network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(bridge.service.certificateChanged());
        QCOMPARE(bridge.service.status(), changed);
        QVERIFY(!bridge.service.isReconnecting() && !bridge.retryDelay->isActive());
        bridge.service.resumeFromSleep();
        QCOMPARE(bridge.network.made.size(), 11);
    }

    void resumeFromSuspendTriesAtOnce() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY2(bus.isConnected(), "runs under dbus-run-session");
        // A logind of our own on the private bus: it owns logind's name and sends its signal.
        QDBusConnection logind =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"logind"_s);
        QVERIFY(logind.registerService(u"org.freedesktop.login1"_s));
        SleepWatcher watcher(bus);
        QVERIFY(watcher.isWatching());
        test::FakeBridge bridge;
        connect(&watcher, &SleepWatcher::resumed, &bridge.service, &SyncService::resumeFromSleep);
        bridge.service.setReconnects(true);
        bridge.connect();

        // Waking with a session up: it is opened anew, since the old link may be dead.
        for (const bool sleeping : {true, false}) {
            QDBusMessage signal = QDBusMessage::createSignal(u"/org/freedesktop/login1"_s,
                                                             u"org.freedesktop.login1.Manager"_s,
                                                             u"PrepareForSleep"_s);
            QVERIFY(logind.send(signal << sleeping));
        }
        QTRY_COMPARE(bridge.network.made.size(), 2);
        QVERIFY(bridge.network.made[0].isNull());  // cancelled and gone
        // Waking during a wait: no more waiting.
        fail(bridge.network.last());
        QTRY_VERIFY(bridge.retryDelay->isActive());
        bridge.service.resumeFromSleep();
        QCOMPARE(bridge.network.made.size(), 3);
        QVERIFY(!bridge.retryDelay->isActive());
        QCOMPARE(bridge.retryDelay->asked, QList<int>{2000});
    }

    void eachContentIsSentOrExplainedOnce_data() {
        QTest::addColumn<QByteArray>("hint");
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<QString>("status");
        QTest::addRow("plain") << QByteArray() << qsizetype(7) << ready;
        QTest::addRow("marked secret")
            << QByteArray("secret") << qsizetype(7)
            << u"Password non inviata: copiata da un gestore di password"_s;
        QTest::addRow("too large") << QByteArray() << qsizetype(SyncService::maxBytes + 1)
                                   << u"Contenuto troppo grande da inviare (massimo 12 MiB)"_s;
    }
    void eachContentIsSentOrExplainedOnce() {
        QFETCH(QByteArray, hint);
        QFETCH(qsizetype, size);
        QFETCH(QString, status);
        test::FakeBridge bridge;
        bridge.connect();
        const QString text(size, u'x');
        auto* mime = new QMimeData;
        mime->setText(text);
        if (!hint.isNull()) mime->setData(QString::fromLatin1(passwordManagerHintType), hint);
        clipboard()->setMimeData(mime);
        QTRY_COMPARE(bridge.service.lastDigest(),
                     std::optional(contentDigest("text", text.toUtf8())));
        const int sent = status == ready ? 2 : 1;
        QCOMPARE(bridge.sentMessages().size(), sent);
        QCOMPARE(bridge.service.status(), status);
        // Once: the next ticks pass over the known content, and the watch goes on.
        QSignalSpy notes(&bridge.service, &SyncService::objectWillChange);
        test::spin(1000);
        QCOMPARE(notes.count(), 0);
        QCOMPARE(bridge.sentMessages().size(), sent);
        clipboard()->setText(u"next"_s);
        QTRY_COMPARE(bridge.sentMessages().size(), sent + 1);
    }
};

QTEST_MAIN(LifecycleTest)
#include "tst_lifecycle.moc"
