// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// The connection's life on a fake connection, whose every report and completion the test makes
// at a chosen moment.
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
const QString wrongCode =
    u"Il Linux ha rifiutato il codice pairing: controlla che sia quello salvato sul Linux, poi "
    "premi Connetti"_s;

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
        QTest::addRow("blank inside the code")
            << u"10.0.0.1"_s << u"ABCDEFGH JKLMNPQR"_s
            << u"Il codice pairing non pu\u00f2 contenere spazi"_s << code;
        const QString ok = u"Connessione a "_s;
        QTest::addRow("blanks around the code")
            << u"10.0.0.1"_s << u" \t"_s + token + u"\n"_s << ok << SyncService::Field::None;
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
        // The code in use is the one saved once the Linux machine has taken it, and only then.
        QCOMPARE(bridge.service.token(), code.trimmed());
        QCOMPARE(SettingsStore().text(u"token"_s), token);
        if (!refused) {
            bridge.connection = bridge.network.last();
            bridge.connection->report(Connection::State::Ready);
            bridge.deliver(test::FakeBridge::noticeFrame(SessionNotice::Accepted));
            QCOMPARE(SettingsStore().text(u"token"_s), code.trimmed());
            return;
        }
        // Editing the field at fault clears the mark; the other field's edits do not.
        (field == SyncService::Field::Host ? bridge.service.setToken(code)
                                           : bridge.service.setHost(host));
        QCOMPARE(bridge.service.invalidField(), field);
        (field == SyncService::Field::Host ? bridge.service.setHost(host)
                                           : bridge.service.setToken(code));
        QCOMPARE(bridge.service.invalidField(), SyncService::Field::None);
    }

    // How a session ends: refused, closed before or after the code was taken, or a link or a
    // read that fails. Only a session that was taken is ever shown as syncing.
    void howASessionEnds_data() {
        QTest::addColumn<bool>("reconnects");
        QTest::addColumn<QByteArray>("said");  // what the companion sends before the end
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("status");
        const auto retrying = [](const QString& why) -> QString {
            return u"In attesa: "_s + why + u", nuovo tentativo tra 2 s"_s;
        };
        const QString gone = u"il Linux ha chiuso la connessione"_s;
        const QString closed = u"Connessione fallita: "_s + gone;
        const QString busyReason =
            u"il Linux \u00e8 occupato da troppe connessioni sconosciute, riprova tra poco"_s;
        const QByteArray refusal = test::FakeBridge::noticeFrame(SessionNotice::WrongCode);
        const QByteArray busy = test::FakeBridge::noticeFrame(SessionNotice::TooManyStrangers);
        const QByteArray taken = test::FakeBridge::noticeFrame(SessionNotice::Accepted);
        QTest::addRow("wrong code, box on") << true << refusal << u"closes"_s << wrongCode;
        QTest::addRow("wrong code, box off") << false << refusal << u"closes"_s << wrongCode;
        QTest::addRow("too many strangers, box on")
            << true << busy << u"closes"_s << retrying(busyReason);
        QTest::addRow("too many strangers, box off")
            << false << busy << u"closes"_s << QString(u"Connessione fallita: "_s + busyReason);
        QTest::addRow("a refusal of another version, box off")
            << false
            << *Message().set("type", u"refused"_s).set("reason", u"code"_s).set("v", 2).toFrame()
            << u"closes"_s << closed;
        QTest::addRow("silent close, box off") << false << QByteArray() << u"closes"_s << closed;
        for (const QString& end : {u"link fails"_s, u"closes"_s, u"read fails"_s}) {
            QTest::addRow("taken, box on, %s", qPrintable(end))
                << true << taken << end << retrying(end == u"closes"_s ? gone : u"reset"_s);
        }
        QTest::addRow("taken, box off, link fails")
            << false << taken << u"link fails"_s << u"Connessione fallita: reset"_s;
        QTest::addRow("taken, box off, closes") << false << taken << u"closes"_s << ready;
        QTest::addRow("taken, box off, read fails")
            << false << taken << u"read fails"_s << u"Connessione interrotta"_s;
        // Unticked during the wait: no retry, and the line tells how the session ended.
        QTest::addRow("taken, box unticked while waiting")
            << false << taken << u"closes"_s << closed;
    }
    void howASessionEnds() {
        QFETCH(bool, reconnects);
        QFETCH(QByteArray, said);
        QFETCH(QString, end);
        QFETCH(QString, status);
        test::FakeBridge bridge;
        const bool untick = QByteArray(QTest::currentDataTag()).contains("unticked");
        bridge.service.setReconnects(reconnects || untick);
        QStringList shown;
        // Read once the assignment is done; ends with the service, whatever is still queued.
        connect(
            &bridge.service, &SyncService::objectWillChange, &bridge.service,
            [&] { shown.append(bridge.service.status()); }, Qt::QueuedConnection);
        const bool taken = said == test::FakeBridge::noticeFrame(SessionNotice::Accepted);
        bridge.connect(taken);
        QTRY_VERIFY(bridge.connection->hasPendingRead());
        if (end == u"link fails") bridge.connection->report(Connection::State::Failed, u"reset"_s);
        if (end == u"read fails") bridge.connection->deliver({}, false, Failure{u"reset"_s});
        if (end == u"closes") bridge.connection->deliver(taken ? QByteArray() : said, true);
        if (untick) {
            QTRY_VERIFY(bridge.retryDelay->isActive());
            bridge.service.setReconnects(false);
        }
        QTRY_COMPARE(bridge.service.status(), status);
        // A broken read is said once: the failure that follows keeps it.
        if (status == u"Connessione interrotta"_s) {
            bridge.connection->report(Connection::State::Failed, u"timeout"_s);
            QTRY_VERIFY(!bridge.service.isConnected());
            QCOMPARE(bridge.service.status(), status);
        }
        const bool retried = status.startsWith(u"In attesa"_s);
        QCOMPARE(bridge.retryDelay->isActive(), retried);
        QCOMPARE(bridge.service.isReconnecting(), retried);
        QCOMPARE(bridge.service.isConnected(), status == ready);
        QCOMPARE(bridge.service.codeRefused(), status == wrongCode);
        QCOMPARE(bridge.service.needsUser(), bridge.service.codeRefused());
        if (!taken) {
            bridge.acceptanceDelay->finish();  // the grace running out after the end
            QCoreApplication::processEvents();
            QVERIFY2(!shown.contains(ready), qPrintable(shown.join(u" | "_s)));
        }
        bridge.endWait();
        QCOMPARE(bridge.network.made.size(), retried ? 2 : 1);
        if (!retried) return;
        // "Connetti" during the attempt that follows ends the reconnection, starting nothing.
        bridge.service.connectOrDisconnect();
        QCOMPARE(bridge.network.made.size(), 2);
        QCOMPARE(bridge.service.status(), u"Disconnesso"_s);
    }

    void readyReportsAndStop() {
        test::FakeBridge bridge;
        clipboard->setText(u"already here"_s);
        bridge.connect();
        // The hello only: what was there at connect time stays here.
        QCOMPARE(bridge.connection->sent,
                 QByteArrayList{*helloMessage(token, bridge.service.deviceID()).toFrame()});
        QCOMPARE(bridge.connection->reads, 2);  // the first, and the one after the notice

        // Waiting only talks; stop keeps the status.
        bridge.connection->report(Connection::State::Waiting, u"why"_s);
        QTRY_COMPARE(bridge.service.status(), u"In attesa: why"_s);
        QVERIFY(bridge.service.isConnected());
        bridge.service.stop();
        QCOMPARE(bridge.service.status(), u"In attesa: why"_s);
    }

    // Late completions of an old connection do nothing; the new one reads in turns, applies each
    // frame as it is cut, and ends the link at a corrupt length.
    void eachConnectionIsReadFromItsOwnStart() {
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
        QTRY_VERIFY(old.isNull());  // gone after its queued work
        QCOMPARE(bridge.service.status(), ready);
        const QByteArray one = bridge.clipFrame(u"text"_s, "one");
        bridge.deliver(one.left(2));
        QCOMPARE(bridge.service.receiveBuffer(), one.left(2));
        bridge.deliver(one.mid(2));
        QCOMPARE(clipboard->text(), u"one"_s);
        // The first read, then one after each delivery (the companion's notice was one).
        QCOMPARE(bridge.connection->reads, 4);
        QCOMPARE(bridge.connection->lastReadMax, socketReadSlice);

        const QPointer<test::FakeConnection> connection = bridge.connection;
        bridge.deliver(bridge.clipFrame(u"text"_s, "kept") + QByteArray(4, '\0') +
                       bridge.clipFrame(u"text"_s, "never"));
        QCOMPARE(clipboard->text(), u"kept"_s);
        QVERIFY(!bridge.service.isConnected());
        QVERIFY(bridge.service.receiveBuffer().isEmpty());
        QVERIFY(!bridge.service.isWatching());
        QCOMPARE(bridge.service.status(), u"Connessione interrotta"_s);
        QTRY_VERIFY(connection.isNull());  // cancelled, then gone
    }

    void retriesBackOffAndStopWhenTheyMust() {
        test::FakeBridge bridge;
        bridge.service.setReconnects(true);
        bridge.network.certificateDigest = QByteArray(32, 'a');
        bridge.connect();
        bridge.connection->report(Connection::State::Failed, u"reset"_s);
        // A retry that finds nobody is one attempt, and so is one whose companion closes right
        // after the hello: each wait is longer, and after a few the user is asked to look.
        QList<int> waits;
        for (int attempt = 2; attempt <= 8; ++attempt) {
            QTRY_VERIFY(bridge.service.isWaiting());
            waits.append(bridge.service.waitLeft());
            QCOMPARE(bridge.service.needsUser(), attempt > SyncService::failuresBeforeAttention);
            bridge.endWait();
            QCOMPARE(bridge.network.made.size(), attempt);
            test::FakeConnection* retry = bridge.network.last();
            if (attempt % 2) {
                retry->report(Connection::State::Waiting, u"rifiutata"_s);
                continue;
            }
            retry->report(Connection::State::Ready);
            QTRY_VERIFY(retry->hasPendingRead());
            QVERIFY(bridge.service.status().startsWith(u"Connessione a"_s));
            retry->deliver({}, true);
        }
        QTRY_VERIFY(bridge.service.isWaiting());
        waits.append(bridge.service.waitLeft());
        QCOMPARE(waits, (QList<int>{2, 4, 8, 16, 32, 60, 60, 60}));
        // The line counts down, second by second.
        const QString closed = u"il Linux ha chiuso la connessione"_s;
        QCOMPARE(bridge.service.status(), u"In attesa: %1, nuovo tentativo tra 60 s"_s.arg(closed));
        bridge.retryDelay->finish();
        QCOMPARE(bridge.service.status(), u"In attesa: %1, nuovo tentativo tra 59 s"_s.arg(closed));

        // "Riprova ora" tries at once; "Annulla" ends the wait, saying how the last try ended.
        bridge.service.connectOrDisconnect();
        QCOMPARE(bridge.network.made.size(), 9);
        bridge.network.last()->report(Connection::State::Waiting, u"rifiutata"_s);
        QTRY_COMPARE(bridge.service.status(), u"In attesa: rifiutata, nuovo tentativo tra 2 s"_s);
        bridge.service.cancelWait();
        QVERIFY(!bridge.service.isWaiting() && !bridge.retryDelay->isActive());
        QVERIFY(!bridge.service.isReconnecting());
        QCOMPARE(bridge.service.status(), u"Connessione fallita: rifiutata"_s);

        // A session that comes back is ready as before, and the waits start again from two
        // seconds.
        bridge.connect();
        bridge.connection->report(Connection::State::Failed, u"reset"_s);
        QTRY_VERIFY(bridge.retryDelay->isActive());
        bridge.endWait();
        bridge.network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(bridge.acceptanceDelay->isActive());  // a silent companion: the grace
        bridge.acceptanceDelay->finish();
        QCOMPARE(bridge.service.status(), ready);
        QVERIFY(!bridge.service.isReconnecting());
        bridge.network.last()->report(Connection::State::Failed, u"reset"_s);
        QTRY_COMPARE(bridge.service.waitLeft(), 2);
        // The network back cuts a wait short, and the next wait is longer still.
        bridge.service.networkReturned();
        QCOMPARE(bridge.network.made.size(), 12);
        bridge.network.last()->report(Connection::State::Waiting, u"rete"_s);
        QTRY_COMPARE(bridge.service.waitLeft(), 4);
        // Waking from sleep during a wait tries at once; a changed certificate met on a retry is
        // never retried.
        bridge.network.certificateDigest = QByteArray(32, 'b');
        bridge.service.resumeFromSleep();
        QCOMPARE(bridge.network.made.size(), 13);
        QVERIFY(!bridge.retryDelay->isActive());
        bridge.network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(bridge.service.certificateChanged());
        QCOMPARE(bridge.service.status(),
                 u"Il certificato del Linux \u00e8 cambiato: verifica l'impronta"_s);
        QVERIFY(!bridge.service.isReconnecting() && !bridge.retryDelay->isActive());
        bridge.service.resumeFromSleep();
        QCOMPARE(bridge.network.made.size(), 13);
    }

    // The first certificate at an address is pinned under the address as trimmed; another one
    // there hears nothing, not even the hello, until the user trusts it; each address has its
    // own pin.
    void certificatesArePinnedPerAddress() {
        test::FakeBridge bridge;
        bridge.network.certificateDigest = QByteArray(32, 'a');
        bridge.service.setHost(u"127.0.0.1 "_s);
        bridge.connect();
        const QString first = bridge.service.peerFingerprint();
        QCOMPARE(bridge.service.pinnedFingerprint(u"127.0.0.1"_s), first);

        bridge.network.certificateDigest = QByteArray(32, 'b');
        bridge.service.setHost(u"  127.0.0.1 "_s);
        bridge.service.start();
        QVERIFY(bridge.service.peerFingerprint().isEmpty());  // the old one goes as it starts
        test::FakeConnection* stranger = bridge.network.last();
        stranger->report(Connection::State::Ready);
        QTRY_VERIFY(bridge.service.certificateChanged());
        QVERIFY(!bridge.service.isConnected());
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

    // A code taken but not saved would be gone at the next start: the line says so.
    void aFailedSaveIsSaid() {
        const QString folder = QFileInfo(SettingsStore::fileName()).path();
        QVERIFY(test::blockWithFile(folder));
        test::FakeBridge bridge;
        bridge.connect();
        QCOMPARE(bridge.service.status(),
                 u"Non riesco a salvare le impostazioni in "_s + SettingsStore::fileName());
        QVERIFY(QFile::remove(folder));
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
    }
#endif

    void eachContentIsSentOrExplainedOnce_data() {
        QTest::addColumn<QByteArray>("hint");
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<QString>("status");
        QTest::addRow("marked secret")
            << QByteArray("secret") << qsizetype(7)
            << u"Password non inviata: copiata da un gestore di password"_s;
        QTest::addRow("too large")
            << QByteArray() << qsizetype(maxBytes + 1)
            << u"Non inviato: il testo copiato supera il massimo di 12 MiB"_s;
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
        const auto before = bridge.service.lastDigest();
        auto* mime = new QMimeData;
        mime->setText(text);
        if (!hint.isNull()) mime->setData(QString::fromLatin1(passwordManagerHintType), hint);
        clipboard->setMimeData(mime);
        QTRY_VERIFY(bridge.service.lastDigest() != before);
        // The hello, then the content or what says it did not cross; a secret, nothing.
        const int sent = status.startsWith(u"Password"_s) ? 1 : 2;
        QCOMPARE(bridge.connection->sent.size(), sent);
        if (QTest::currentDataTag() == "send fails"_ba) {
            bridge.connection->completeSend();  // the hello
            bridge.connection->completeSend(Failure{u"giù"_s});
        }
        QTRY_COMPARE(bridge.service.status(), status);
        QVERIFY(bridge.service.isConnected());
        // Once: the next looks pass over the known content, and the watch goes on.
        QSignalSpy notes(&bridge.service, &SyncService::objectWillChange);
        bridge.lookTwice();
        QCOMPARE(notes.count(), 0);
        QCOMPARE(bridge.connection->sent.size(), sent);
        clipboard->setText(u"next"_s);
        QTRY_COMPARE(bridge.connection->sent.size(), sent + 1);
        // What crossed since is what the line tells.
        QCOMPARE(bridge.service.status(), ready);
    }

    // Paused, nothing crosses, even on a new session; resumed, only what is copied afterwards.
    void pauseStopsBothWays() {
        test::FakeBridge bridge;
        bridge.connect();
        bridge.service.setPaused(true);
        clipboard->setText(u"copied while paused"_s);
        bridge.deliver(bridge.clipFrame(u"text"_s, "dropped"));
        bridge.connect();
        QCOMPARE(bridge.service.status(), u"Sincronizzazione sospesa"_s);
        QVERIFY(bridge.service.isConnected() && !bridge.service.isWatching());
        QCOMPARE(clipboard->text(), u"copied while paused"_s);
        bridge.service.setPaused(false);
        QCOMPARE(bridge.service.status(), ready);
        QCOMPARE(bridge.service.lastDigest(),
                 std::optional(contentDigest("text", "copied while paused")));
        clipboard->setText(u"after"_s);
        QTRY_COMPARE(bridge.connection->sent.size(), 2);  // the hello, then "after"
    }
};

QTEST_MAIN(LifecycleTest)
#include "tst_lifecycle.moc"
