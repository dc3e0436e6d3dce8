// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// The connection's life on a fake connection, whose every report and completion the test makes
// at a chosen moment. The pinned certificates meet real TLS servers in the panel's test.
#if CLIPWREN_LINUX_BACKENDS
#include <QDBusConnection>
#include <QDBusMessage>

#include "platform/SleepWatcher.h"
#endif

#include "clipboard/Digest.h"
#include "platform/SettingsStore.h"
#include "platform/clipboard/PasswordManagerHint.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

const QString token = u"ABCDEFGHJKLMNPQR"_s;
const QString ready = u"Connesso \u2022 sincronizzazione attiva"_s;
const QString invalid = u"Inserisci l'IP Linux e un codice di almeno 16 caratteri"_s;

class LifecycleTest : public QObject {
    Q_OBJECT

    QClipboard* const clipboard = QGuiApplication::clipboard();

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }
    void init() {
        test::clearSettings();
        clipboard->clear();
    }

    // What start() refuses: nothing saved, the field at fault named until it is edited, and an
    // attempt already under way left alone.
    void inputIsCheckedWhereItIsTyped_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("status");
        QTest::addColumn<SyncService::Field>("field");
        const auto host = SyncService::Field::Host;
        const auto code = SyncService::Field::Token;
        QTest::addRow("only blanks") << u" \t\n"_s << token << invalid << host;
        QTest::addRow("blank inside") << u"127.0. 0.1"_s << token << invalid << host;
        QTest::addRow("half an IPv4 address") << u"192.168.1"_s << token << invalid << host;
        QTest::addRow("not a name") << u"linux_pc!"_s << token << invalid << host;
        QTest::addRow("a name ending in digits") << u"linux.7"_s << token << invalid << host;
        QTest::addRow("15 characters") << u"10.0.0.1"_s << token.chopped(1) << invalid << code;
        QTest::addRow("pasted far too long")
            << u"10.0.0.1"_s << QString(200'000, u'A')
            << u"Codice pairing troppo lungo: al massimo 1024 caratteri"_s << code;
        const QString ok = u"Connessione a "_s;
        QTest::addRow("IPv6") << u"fe80::1%eth0"_s << token << ok << SyncService::Field::None;
        QTest::addRow("name") << u"linux.lan."_s << token << ok << SyncService::Field::None;
        QTest::addRow("1024 characters")
            << u"10.0.0.1"_s << QString(1024, u'A') << ok << SyncService::Field::None;
    }
    void inputIsCheckedWhereItIsTyped() {
        QFETCH(QString, host);
        QFETCH(QString, code);
        QFETCH(QString, status);
        QFETCH(SyncService::Field, field);
        test::FakeBridge bridge;
        bridge.connect();
        bridge.service.setHost(host);
        bridge.service.setToken(code);
        bridge.service.start();
        QVERIFY2(bridge.service.status().startsWith(status), qPrintable(bridge.service.status()));
        QCOMPARE(bridge.service.invalidField(), field);
        const bool refused = field != SyncService::Field::None;
        QCOMPARE(bridge.network.made.size(), refused ? 1 : 2);
        QCOMPARE(bridge.network.made.first()->abandoned, !refused);
        QCOMPARE(SettingsStore().text(u"host"_s), refused ? u"127.0.0.1"_s : host.trimmed());
        if (!refused) return;
        // Editing the field at fault clears the mark; the other field's edits do not.
        (field == SyncService::Field::Host ? bridge.service.setToken(code)
                                           : bridge.service.setHost(host));
        QCOMPARE(bridge.service.invalidField(), field);
        (field == SyncService::Field::Host ? bridge.service.setHost(host)
                                           : bridge.service.setToken(code));
        QCOMPARE(bridge.service.invalidField(), SyncService::Field::None);
    }

    // What the companion says of the code, and a companion that closes without a word.
    void refusalsAreNamedAndSilentClosesBackOff_data() {
        QTest::addColumn<bool>("reconnects");
        QTest::addColumn<QByteArray>("end");  // what the companion sends before closing
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("retried");
        const QString wrongCode =
            u"Il Linux ha rifiutato il codice pairing: controlla che sia quello salvato sul "
            "Linux, poi premi Connetti"_s;
        const QByteArray refusal = test::FakeBridge::noticeFrame(SessionNotice::WrongCode);
        QTest::addRow("wrong code, box on") << true << refusal << wrongCode << false;
        QTest::addRow("wrong code, box off") << false << refusal << wrongCode << false;
        QTest::addRow("too many strangers, box on")
            << true << test::FakeBridge::noticeFrame(SessionNotice::TooManyStrangers)
            << u"In attesa: nuovo tentativo tra 2 s"_s << true;
        QTest::addRow("too many strangers, box off")
            << false << test::FakeBridge::noticeFrame(SessionNotice::TooManyStrangers)
            << u"Connessione fallita: il Linux \u00e8 occupato da troppe connessioni sconosciute, "
               "riprova tra poco"_s
            << false;
        QTest::addRow("a refusal of another version, box off")
            << false << *encodeFrame(R"({"type":"refused","reason":"code","v":2})")
            << u"Connessione fallita: il Linux ha chiuso la connessione"_s << false;
        QTest::addRow("silent close, box off")
            << false << QByteArray() << u"Connessione fallita: il Linux ha chiuso la connessione"_s
            << false;
    }
    void refusalsAreNamedAndSilentClosesBackOff() {
        QFETCH(bool, reconnects);
        QFETCH(QByteArray, end);
        QFETCH(QString, status);
        QFETCH(bool, retried);
        test::FakeBridge bridge;
        bridge.service.setReconnects(reconnects);
        QStringList shown;
        connect(
            &bridge.service, &SyncService::objectWillChange, this,
            [&] { shown.append(bridge.service.status()); }, Qt::QueuedConnection);
        bridge.connect(false);
        bridge.connection->deliver(end, true);
        QTRY_COMPARE(bridge.service.status(), status);
        QCOMPARE(bridge.retryDelay->isActive(), retried);
        QVERIFY(!bridge.service.isConnected());
        QCOMPARE(bridge.service.codeRefused(), status.contains(u"codice"_s));
        QCOMPARE(bridge.service.needsUser(), bridge.service.codeRefused());
        QTest::qWait(SyncService::acceptanceGraceMs + 100);
        QVERIFY2(!shown.contains(ready), qPrintable(shown.join(u" | "_s)));
        QCOMPARE(bridge.network.made.size(), 1);

        // A companion that keeps closing right after the hello: each wait is longer, and
        // after a few the session asks for the user.
        if (!retried) return;
        for (int attempt = 0; attempt < SyncService::failuresBeforeAttention + 1; ++attempt) {
            bridge.retryDelay->finish();
            bridge.connection = bridge.network.last();
            bridge.connection->report(Connection::State::Ready);
            QTRY_VERIFY(bridge.connection->hasPendingRead());
            bridge.connection->deliver({}, true);
            QTRY_VERIFY(bridge.retryDelay->isActive());
        }
        QCOMPARE(bridge.retryDelay->asked, (QList<int>{2000, 4000, 8000, 16000, 32000}));
        QVERIFY(bridge.service.needsUser());
        QVERIFY(!shown.contains(ready));
    }

    void readyReportsAndStop() {
        test::FakeBridge bridge;
        clipboard->setText(u"already here"_s);
        bridge.connect();
        QCOMPARE(bridge.service.lastDigest(), std::optional(contentDigest("text", "already here")));
        // The hello only: what was there at connect time stays here.
        QCOMPARE(bridge.connection->sent,
                 QByteArrayList{*helloMessage(token, bridge.service.deviceID()).toFrame()});
        QCOMPARE(bridge.connection->reads, 2);  // the first, and the one after the notice

        // A second ready leaves one timer, not two.
        bridge.connection->report(Connection::State::Ready);
        QTRY_COMPARE(bridge.connection->reads, 3);
        QCOMPARE(bridge.service.findChildren<QTimer*>().size(), 1);

        // Waiting only talks; stop keeps the status.
        bridge.connection->report(Connection::State::Waiting, u"why"_s);
        QTRY_COMPARE(bridge.service.status(), u"In attesa: why"_s);
        QVERIFY(bridge.service.isConnected());
        bridge.service.stop();
        QCOMPARE(bridge.service.status(), u"In attesa: why"_s);
    }

    void lateCompletionsOfAnOldConnectionDoNothing() {
        test::FakeBridge bridge;
        bridge.connect();
        QPointer<test::FakeConnection> old = bridge.connection;
        QTRY_VERIFY(old->hasPendingRead());
        // The old connection's completions and reports are queued, then the user connects
        // again before that work runs.
        old->deliver(QByteArray("\x00\x00", 2));
        old->completeSend(Failure{u"old failure"_s});
        old->report(Connection::State::Failed, u"old failure"_s);
        bridge.connect();
        QTest::qWait(50);
        QCOMPARE(bridge.service.status(), ready);
        QCOMPARE(bridge.connection->reads, 2);
        QVERIFY(old.isNull());
        // Bytes on the new connection are framed from their own start.
        bridge.deliver(bridge.clipFrame(u"text"_s, "fresh"));
        QCOMPARE(clipboard->text(), u"fresh"_s);
    }

    void aDroppedSessionIsRetriedOnlyWhenAsked_data() {
        QTest::addColumn<bool>("reconnects");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("status");
        for (const char* end : {"link fails", "peer closes", "read fails"}) {
            QTest::addRow("box on, %s", end)
                << true << end << u"In attesa: nuovo tentativo tra 2 s"_s;
        }
        QTest::addRow("box off, link fails")
            << false << "link fails" << u"Connessione fallita: reset"_s;
        QTest::addRow("box off, peer closes") << false << "peer closes" << ready;
        QTest::addRow("box off, read fails")
            << false << "read fails" << u"Connessione interrotta"_s;
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
        if (end == u"link fails") bridge.connection->report(Connection::State::Failed, u"reset"_s);
        if (end == u"peer closes") bridge.connection->deliver({}, true);
        if (end == u"read fails") bridge.connection->deliver({}, false, Failure{u"reset"_s});
        if (untick) {
            QTRY_VERIFY(bridge.retryDelay->isActive());
            bridge.service.setReconnects(false);
        }
        QTRY_COMPARE(bridge.service.status(), status);
        if (status ==
            u"Connessione interrotta"_s) {  // said once: the failure that follows keeps it
            bridge.connection->report(Connection::State::Failed, u"timeout"_s);
            QTRY_VERIFY(!bridge.service.isConnected());
            QCOMPARE(bridge.service.status(), status);
        }
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
        bridge.connection->report(Connection::State::Failed, u"reset"_s);
        // A retry that finds nobody is one attempt: the next wait is longer.
        for (int attempt = 2; attempt <= 8; ++attempt) {
            QTRY_VERIFY(bridge.retryDelay->isActive());
            bridge.retryDelay->finish();
            QCOMPARE(bridge.network.made.size(), attempt);
            bridge.network.last()->report(Connection::State::Waiting, u"rifiutata"_s);
        }
        QTRY_COMPARE(bridge.retryDelay->asked,
                     (QList<int>{2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000}));
        QCOMPARE(bridge.service.status(), u"In attesa: nuovo tentativo tra 60 s"_s);

        // "Disconnetti" during a wait ends the retries.
        bridge.service.stopByUser();
        QVERIFY(!bridge.retryDelay->isActive() && !bridge.service.isReconnecting());
        QCOMPARE(bridge.service.status(), u"Disconnesso"_s);

        // A session that comes back is ready as before, and the waits start again from two
        // seconds; a changed certificate met on a retry is never retried.
        bridge.connect();
        bridge.connection->report(Connection::State::Failed, u"reset"_s);
        QTRY_VERIFY(bridge.retryDelay->isActive());
        bridge.retryDelay->finish();
        bridge.network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(bridge.service.status(), ready);
        QVERIFY(!bridge.service.isReconnecting());
        bridge.network.last()->report(Connection::State::Failed, u"reset"_s);
        QTRY_COMPARE(bridge.retryDelay->asked.mid(8), (QList<int>{2000, 2000}));
        bridge.network.certificateDigest = QByteArray(32, 'b');
        bridge.retryDelay->finish();
        bridge.network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(bridge.service.certificateChanged());
        QCOMPARE(bridge.service.status(),
                 u"Il certificato del Linux \u00e8 cambiato: verifica l'impronta"_s);
        QVERIFY(!bridge.service.isReconnecting() && !bridge.retryDelay->isActive());
        bridge.service.resumeFromSleep();
        QCOMPARE(bridge.network.made.size(), 11);
    }

    // The first certificate at an address is pinned under the address as trimmed; another one
    // there hears nothing, not even the hello, until the user trusts it; each address has its
    // own pin.
    void certificatesArePinnedPerAddress() {
        test::FakeBridge bridge;
        bridge.network.certificateDigest = QByteArray(32, 'a');
        bridge.connect();
        const QString first = bridge.service.peerFingerprint();
        QCOMPARE(bridge.service.pinnedFingerprint(u"127.0.0.1"_s), first);

        bridge.network.certificateDigest = QByteArray(32, 'b');
        bridge.service.setHost(u"  127.0.0.1 "_s);
        bridge.service.start();
        QVERIFY(bridge.service.peerFingerprint().isEmpty());  // the old one goes as it starts
        test::FakeConnection* stranger = bridge.network.last();
        stranger->report(Connection::State::Ready);
        QCoreApplication::sendPostedEvents(&bridge.service, QEvent::MetaCall);
        QVERIFY(bridge.service.certificateChanged() && !bridge.service.isConnected());
        QCOMPARE(stranger->sent, QByteArrayList());
        QVERIFY(bridge.service.peerFingerprint() != first);
        QCOMPARE(bridge.service.pinnedFingerprint(u"127.0.0.1"_s), first);

        bridge.service.trustNewCertificate();
        bridge.network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(bridge.service.isConnected());
        QCOMPARE(bridge.network.last()->sent.size(), 1);  // the hello
        const QString second = bridge.service.peerFingerprint();
        QCOMPARE(bridge.service.pinnedFingerprint(u"127.0.0.1"_s), second);

        bridge.network.certificateDigest = QByteArray(32, 'a');
        bridge.service.setHost(u"linux.lan"_s);
        bridge.connect();
        QCOMPARE(bridge.service.pinnedFingerprint(u"linux.lan"_s), first);
        QCOMPARE(bridge.service.pinnedFingerprint(u"127.0.0.1"_s), second);
    }

#if CLIPWREN_LINUX_BACKENDS
    void resumeFromSuspendTriesAtOnce() {
        QDBusConnection bus = QDBusConnection::sessionBus();  // dbus-run-session gives its own
        // A logind of our own on the private bus: it owns logind's name and sends its signal.
        QDBusConnection logind =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"logind"_s);
        QVERIFY(logind.registerService(u"org.freedesktop.login1"_s));
        SleepWatcher watcher(bus);
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
        bridge.network.last()->report(Connection::State::Failed, u"reset"_s);
        QTRY_VERIFY(bridge.retryDelay->isActive());
        bridge.service.resumeFromSleep();
        QCOMPARE(bridge.network.made.size(), 3);
        QVERIFY(!bridge.retryDelay->isActive());
        QCOMPARE(bridge.retryDelay->asked, QList<int>{2000});
    }
#endif

    void eachContentIsSentOrExplainedOnce_data() {
        QTest::addColumn<QByteArray>("hint");
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<QString>("status");
        QTest::addRow("plain") << QByteArray() << qsizetype(7) << ready;
        QTest::addRow("marked secret")
            << QByteArray("secret") << qsizetype(7)
            << u"Password non inviata: copiata da un gestore di password"_s;
        QTest::addRow("too large") << QByteArray() << qsizetype(maxBytes + 1)
                                   << u"Contenuto troppo grande da inviare (massimo 12 MiB)"_s;
        // Lost on the way: not sent again, and the next one goes on the same connection.
        QTest::addRow("send fails") << QByteArray() << qsizetype(7) << u"Invio fallito: giù"_s;
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
        clipboard->setMimeData(mime);
        QTRY_COMPARE(bridge.service.lastDigest(),
                     std::optional(contentDigest("text", text.toUtf8())));
        const int sent = status == ready || status.startsWith(u"Invio"_s) ? 2 : 1;
        QCOMPARE(bridge.connection->sent.size(), sent);
        if (QTest::currentDataTag() == "send fails"_ba) {
            bridge.connection->completeSend();  // the hello
            bridge.connection->completeSend(Failure{u"giù"_s});
        }
        QTRY_COMPARE(bridge.service.status(), status);
        QVERIFY(bridge.service.isConnected());
        // Once: the next ticks pass over the known content, and the watch goes on.
        QSignalSpy notes(&bridge.service, &SyncService::objectWillChange);
        QTest::qWait(500);
        QCOMPARE(notes.count(), 0);
        QCOMPARE(bridge.connection->sent.size(), sent);
        clipboard->setText(u"next"_s);
        QTRY_COMPARE(bridge.connection->sent.size(), sent + 1);
    }
};

QTEST_MAIN(LifecycleTest)
#include "tst_lifecycle.moc"
