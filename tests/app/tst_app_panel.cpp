#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include "AppTestSupport.h"
#include "Autostart.h"
#include "PopupPlacement.h"
#include "SingleInstance.h"
#include "StatusPrinter.h"
#include "platform/PlatformSetup.h"
#include "platform/SelfSignedCertificate.h"
#include "platform/SettingsStore.h"
#include "support/TlsTestServer.h"

using test::Launched;

namespace {
const QString idle = u"Inserisci IP e token per avviare"_s;
}  // namespace

class PanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        test::isolateUserFolders();
        QVERIFY(installPlatformTranslation(*QCoreApplication::instance()));
    }
    void init() { test::clearSettings(); }

    // A clipboard that works in some other way than usual is said so, and only then.
    void clipboardNoticeIsShownOnlyWhenThereIsOne() {
        QVERIFY(!Launched().part("clipboardNotice"));
        ClipwrenPlusApp noticed({}, {nullptr, u"Gli appunti passano da Xwayland"_s});
        noticed.launch();
        QCOMPARE(noticed.panel()->findChild<QLabel*>(u"clipboardNotice"_s)->text(),
                 u"Gli appunti passano da Xwayland"_s);
    }

    // Return presses no button; the code is shown and hidden as typed, also in a panel built
    // anew (as after closing the popup), which edits the same service.
    void typingRevealingAndRebuilding() {
        Launched panel;
        QTest::keyClicks(panel.field("host"), u"127.0.0.1"_s);
        QTest::keyClicks(panel.field("token"), u"abc"_s);
        QCOMPARE(panel.field("token")->echoMode(), QLineEdit::Password);
        QSignalSpy changes(&panel.app.sync(), &SyncService::objectWillChange);
        QTest::keyClick(panel.field("host"), Qt::Key_Return);
        QTest::keyClick(panel.field("token"), Qt::Key_Return);
        panel.click("reveal");
        QTest::keyClick(panel.field("token"), Qt::Key_Enter);
        QCoreApplication::processEvents();
        QCOMPARE(changes.count(), 0);
        QCOMPARE(panel.field("token")->echoMode(), QLineEdit::Normal);
        QCOMPARE(panel.text("reveal"), u"Nascondi"_s);

        SyncService* service = &panel.app.sync();
        delete panel.app.panel();
        panel.app.openPanel();
        QCOMPARE(&panel.app.sync(), service);
        QCOMPARE(panel.app.findChildren<SyncService*>().size(), 1);
        QCOMPARE(panel.field("host")->text(), u"127.0.0.1"_s);
        QCOMPARE(panel.field("token")->echoMode(), QLineEdit::Normal);
        QTest::keyClicks(panel.field("token"), u"def"_s);
        panel.click("reveal");
        QCOMPARE(panel.field("token")->echoMode(), QLineEdit::Password);
        QCOMPARE(panel.text("reveal"), u"Mostra"_s);
        QCOMPARE(service->token(), u"abcdef"_s);
        // Typing in the middle: the redraw that follows leaves the cursor where it was.
        QTest::keyClick(panel.field("token"), Qt::Key_Home);
        QTest::keyClick(panel.field("token"), Qt::Key_X);
        QCoreApplication::processEvents();
        QCOMPARE(panel.field("token")->text(), u"xabcdef"_s);
        QCOMPARE(panel.field("token")->cursorPosition(), 1);
    }

    // One session through the panel: the buttons that leave it alone, and the ways
    // "Connetti" and "Disconnetti" end it or start it anew.
    void aSessionThroughThePanel() {
        Launched panel;
        panel.connect();
        QVERIFY(panel.ready());
        QVERIFY(panel.trayShows(icons::filled()) && !panel.trayShows(icons::outline()));
        panel.click("generate");
        QTRY_VERIFY(panel.field("token")->text() != test::validCode);
        QCOMPARE(panel.field("token")->text(), panel.app.sync().token());
        panel.click("copy");
        QTRY_COMPARE(panel.text("status"), u"Token copiato: incollalo nel comando su Kubuntu"_s);
        QCOMPARE(QGuiApplication::clipboard()->text(), panel.app.sync().token());
        QVERIFY(!panel.network.last()->abandoned);  // neither touched the connection

        // The service takes a failure before the panel has redrawn: the stale "Disconnetti"
        // starts anew, as the service's own state says.
        panel.network.last()->report(Connection::State::Failed, u"Rete irraggiungibile"_s);
        QCoreApplication::sendPostedEvents(&panel.app.sync(), QEvent::MetaCall);
        QVERIFY(!panel.app.sync().isConnected());
        QCOMPARE(panel.text("connect"), u"Disconnetti"_s);
        panel.click("connect");
        QCOMPARE(panel.network.made.size(), 2);
        QVERIFY(panel.network.last()->started);
        QTRY_COMPARE(panel.text("status"), u"Connessione a 127.0.0.1\u2026"_s);
        QCOMPARE(panel.text("connect"), u"Connetti"_s);

        // With the box ticked, and saved, a dropped session waits to be tried again;
        // "Disconnetti" ends the wait.
        QVERIFY(panel.ready());
        panel.part<QCheckBox>("reconnect")->click();
        QCOMPARE(SettingsStore().text(u"reconnect"_s), u"true"_s);
        panel.network.last()->report(Connection::State::Failed, u"reset"_s);
        QTRY_VERIFY(panel.text("status").startsWith(u"In attesa: "_s));
        QCOMPARE(panel.text("connect"), u"Disconnetti"_s);
        panel.click("connect");
        QTRY_COMPARE(panel.text("status"), u"Disconnesso"_s);
        QVERIFY(!panel.app.sync().isReconnecting());

        // On a live session it stops the connection, and starts none.
        panel.click("connect");
        QVERIFY(panel.ready());
        panel.click("connect");
        QVERIFY(panel.network.last()->abandoned);
        QCOMPARE(panel.network.made.size(), 3);
        QTRY_COMPARE(panel.text("connect"), u"Connetti"_s);
        QTRY_VERIFY(panel.trayShows(icons::outline()));
        QCOMPARE(panel.app.trayItem()->icon().toolTip(), u"Clipwren+\nDisconnesso"_s);
    }

    // Real TLS servers on 127.0.0.1 play the peer and a stranger at its address: the first
    // session pins the certificate of its address, and the panel shows it; another
    // certificate there hears nothing until the user trusts it.
    void certificatesArePinnedShownAndTrusted() {
        test::LoopbackPeer loopback;
        test::TlsTestServer stranger(1);
        QVERIFY(loopback.listening && stranger.listen());
        Launched panel(loopback.factory());
        SyncService& service = panel.app.sync();
        const auto pin = [&service](const char* address) {
            return service.pinnedFingerprint(QString::fromLatin1(address));
        };
        panel.connect();
        QVERIFY(test::LoopbackPeer::session(loopback.server, service));
        QCOMPARE(pin("127.0.0.1"), test::TlsTestServer::fingerprint());
        QTRY_COMPARE(panel.text("status"), u"Connesso \u2022 sincronizzazione attiva"_s);

        // In the form the peer prints, to be compared by eye or selected and copied whole:
        // two lines of sixteen pairs, inside the panel.
        auto* fingerprint = panel.part<QTextEdit>("fingerprint");
        QTRY_VERIFY(fingerprint->isVisible());
        QVERIFY(fingerprint->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        fingerprint->selectAll();
        QCOMPARE(fingerprint->textCursor().selectedText(), test::TlsTestServer::fingerprint());
        const QTextLayout* lines = fingerprint->document()->firstBlock().layout();
        QCOMPARE(lines->lineCount(), 2);
        QCOMPARE(lines->lineAt(0).textLength(), 48);
        QVERIFY(fingerprint->viewport()->rect().contains(lines->boundingRect().toAlignedRect()));
        QVERIFY(panel.app.panel()->rect().contains(fingerprint->geometry()));

        // Another certificate at the same address: closed before a byte of ours is sent.
        loopback.port = stranger.port();
        service.start();
        QTRY_VERIFY(panel.part("trust")->isVisible());
        QCOMPARE(panel.text("status"),
                 u"Il certificato del Linux \u00e8 cambiato: verifica l'impronta"_s);
        QCOMPARE(fingerprint->toPlainText(), test::TlsTestServer::fingerprint(1));
        QCOMPARE(panel.text("connect"), u"Connetti"_s);
        QTRY_COMPARE(stranger.clientsGone(), 1);
        QVERIFY2(!stranger.heardAnything(), "a stranger got bytes, maybe the code");
        stranger.waitForClient(0);  // the one that left, if its handshake was over by then
        QCOMPARE(pin("127.0.0.1"), test::TlsTestServer::fingerprint());

        // The user compared and trusts it: pinned, connected, the hello goes out.
        panel.click("trust");
        QSslSocket* trusted = test::LoopbackPeer::session(stranger, service);
        QVERIFY(trusted);
        QTRY_VERIFY(!panel.part("trust")->isVisible());
        QCOMPARE(pin("127.0.0.1"), test::TlsTestServer::fingerprint(1));
        QCOMPARE(stranger.readMessages(trusted, 1).size(), 1);

        // It goes away: the description is Qt's own, in Italian like the rest of the line.
        trusted->close();
        QTRY_VERIFY(panel.text("status").startsWith(u"Connessione fallita: "_s));
        QVERIFY2(!panel.text("status").contains(u"closed"_s), qPrintable(panel.text("status")));
        QTRY_COMPARE(panel.text("connect"), u"Connetti"_s);

        // Another address has a pin of its own, made at its own first session; the attempt is
        // about another peer, maybe, so the old fingerprint goes at once.
        loopback.port = loopback.server.port();
        service.setHost(u"linux.lan"_s);
        panel.click("connect");
        QCoreApplication::sendPostedEvents(panel.app.panel(), QEvent::MetaCall);
        QVERIFY(!fingerprint->isVisible());
        QVERIFY(test::LoopbackPeer::session(loopback.server, service));
        QCOMPARE(pin("linux.lan"), test::TlsTestServer::fingerprint());
        QCOMPARE(pin("127.0.0.1"), test::TlsTestServer::fingerprint(1));
    }

    void autostartBoxWritesAndRemovesTheEntry() {
        Launched panel;
        const QString path = panel.app.autostart().filePath();
        QCOMPARE(path, test::configHome() + u"/autostart/org.clipwren.ClipwrenPlus.desktop"_s);
        auto* box = panel.part<QCheckBox>("autostart");
        QVERIFY(!box->isChecked());
        box->click();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        QVERIFY(
            lines.contains(u"Exec="_s + QCoreApplication::applicationFilePath() + u" --connect"_s));
        QVERIFY(lines.contains(u"Icon=org.clipwren.ClipwrenPlus"_s));
        const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_s);
        if (!validator.isEmpty()) {
            QProcess validate;
            validate.start(validator, {path});
            QVERIFY(validate.waitForFinished());
            QVERIFY2(validate.exitCode() == 0 && validate.readAll().isEmpty(),
                     validate.readAllStandardError().constData());
        }
        // A panel built anew reads the entry back; unticking takes it away.
        delete panel.app.panel();
        panel.app.openPanel();
        box = panel.part<QCheckBox>("autostart");
        QVERIFY(box->isChecked());
        box->click();
        QVERIFY(!QFile::exists(path));

        // Where the entry cannot be written the box stays as the file is, and says why.
        QVERIFY(test::blockWithFile(QFileInfo(path).path()));
        box->click();
        QVERIFY(!box->isChecked());
        QVERIFY(panel.part("autostartError")->isVisible());
        QVERIFY2(panel.text("autostartError").startsWith(u"Avvio all'accesso non modificato: "_s),
                 qPrintable(panel.text("autostartError")));
        QVERIFY(QFile::remove(QFileInfo(path).path()));
    }

    void longStatusWrapsInsteadOfBeingCut() {
        Launched panel;
        panel.connect();
        QTRY_VERIFY(panel.text("status").startsWith(u"Connessione a "_s));
        const int width = panel.app.panel()->width();
        const QString reason =
            u"la rete non risponde e nessun tentativo "
            "riesce ad arrivare alla macchina indicata"_s.repeated(4);
        panel.network.last()->report(Connection::State::Failed, reason);
        QTRY_COMPARE(panel.text("status"), u"Connessione fallita: "_s + reason);
        auto* status = panel.part<QLabel>("status");
        QVERIFY(status->heightForWidth(status->width()) > 3 * status->fontMetrics().height());
        QTRY_VERIFY(status->height() >= status->heightForWidth(status->width()));
        QCOMPARE(panel.app.panel()->width(), width);
        QVERIFY(panel.app.panel()->rect().contains(status->geometry()));
    }

    // Closing the window (there is no tray here) or "Esci" ends the program; "Esci" leaves the
    // session as it is, with no stop.
    void theProgramEnds_data() {
        QTest::addColumn<QString>("how");
        QTest::addRow("window closed") << u"close"_s;
        QTest::addRow("Esci while connected") << u"quit"_s;
    }
    void theProgramEnds() {
        QFETCH(QString, how);
        Launched panel;
        panel.connect();
        QVERIFY(panel.ready());
        QTimer::singleShot(0, panel.app.panel(), [&panel, how] {
            if (how == u"close") panel.app.panel()->close();
            if (how == u"quit") panel.click("quit");
        });
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });  // rescue only
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(panel.app.sync().isConnected());
        QVERIFY(!panel.network.last()->abandoned);
    }

    // The real program, started the way a user starts it again, against a first instance
    // that is another real program or this test.
    void oneInstancePerSession() {
        QTemporaryDir runtime;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        environment.insert(u"XDG_CONFIG_HOME"_s, test::configHome());
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        const auto launch = [&](QProcess& program) {
            program.setProcessEnvironment(environment);
            program.start(QStringLiteral(CLIPWREN_PLUS_PATH), QStringList());
        };
        // The event loop keeps running meanwhile: the first instance may be this test.
        const auto ends = [](QProcess& program) {
            return QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; },
                                   15000) &&
                   program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
        };

        // A first program, then a second one that hands over to it and ends.
        QProcess first;
        launch(first);
        SingleInstance probe(runtime.path());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(probe.socketPath()), 15000);
        QProcess second;
        launch(second);
        QVERIFY2(ends(second), second.readAllStandardError().constData());
        QCOMPARE(first.state(), QProcess::Running);

        // The first one crashes and leaves its lock and socket behind: a new start is not
        // blocked, and it is the one that the next launch reaches.
        first.kill();
        QVERIFY(first.waitForFinished());
        QVERIFY(QFileInfo::exists(probe.socketPath()));
        SingleInstance fresh(runtime.path());
        QSignalSpy raised(&fresh, &SingleInstance::raiseRequested);
        QCOMPARE(fresh.claim(), SingleInstance::Claim::Running);
        QProcess third;
        launch(third);
        QVERIFY2(ends(third), third.readAllStandardError().constData());
        QCOMPARE(raised.count(), 1);
    }

    void connectOption_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("connect");
        QTest::addColumn<QString>("status");
        const QString idle = u"Inserisci IP e token per avviare"_s;
        const QString address = u"192.168.1.20"_s;
        QTest::newRow("saved, asked")
            << address << test::validCode << true << u"Connessione a 192.168.1.20\u2026"_s;
        QTest::newRow("saved, not asked") << address << test::validCode << false << idle;
        QTest::newRow("no address") << QString() << test::validCode << true << idle;
        QTest::newRow("no code") << address << QString() << true << idle;
        QTest::newRow("short code, as Connetti would")
            << address << u"abc"_s << true
            << u"Inserisci l'IP Linux e un codice di almeno 16 caratteri"_s;
    }
    void connectOption() {
        QFETCH(QString, host);
        QFETCH(QString, token);
        QFETCH(bool, connect);
        QFETCH(QString, status);
        if (!host.isEmpty()) SettingsStore().setText(u"host"_s, host);
        if (!token.isEmpty()) SettingsStore().setText(u"token"_s, token);
        Launched panel({}, {.connect = connect});
        QCOMPARE(panel.app.sync().status(), status);
        QCOMPARE(panel.network.made.size(), status.startsWith(u"Connessione a"_s) ? 1 : 0);
        if (!panel.network.made.isEmpty()) QCOMPARE(panel.network.last()->host, host);
    }

    void launchOptionsAreParsedAndListedInItalian() {
        QCommandLineParser parser;
        describeLaunchOptions(parser);
        QVERIFY(parser.parse({u"clipwren-plus"_s, u"--print-status"_s}));
        QVERIFY(!readLaunchOptions(parser).connect && readLaunchOptions(parser).printStatus);
        // Qt's English lines are not there; --help-all is the same help.
        QVERIFY(parser.helpText().contains("-h, --help, -?  Mostra questo aiuto ed esce."_L1));
        QVERIFY(!parser.helpText().contains("Displays"_L1));
        QVERIFY(!parser.helpText().contains("help-all"_L1));
        QVERIFY(parser.parse({u"clipwren-plus"_s, u"--help-all"_s}));
    }

    void printsEachNewStatusOnce() {
        test::FakeNetwork network;
        SyncService service(network.factory());
        QStringList lines;
        StatusPrinter printer(service, [&lines](const QString& line) { lines.append(line); });
        service.setHost(u"127.0.0.1"_s);
        service.start();  // no code: rejected
        service.start();  // the same text again is no news
        service.setToken(test::validCode);
        service.start();
        network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(lines.size(), 4);
        QCOMPARE(lines, (QStringList{
                            u"Inserisci IP e token per avviare"_s,
                            u"Inserisci l'IP Linux e un codice di almeno 16 caratteri"_s,
                            u"Connessione a 127.0.0.1\u2026"_s,
                            u"Connesso \u2022 sincronizzazione attiva"_s,
                        }));
    }

    void popupHangsFromTheIcon_data() {
        QTest::addColumn<QRect>("icon");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QPoint>("expected");
        const QPoint anywhere(700, 400);
        QTest::newRow("bar at the top") << QRect(900, 0, 24, 24) << anywhere << QPoint(761, 28);
        QTest::newRow("bar at the bottom")
            << QRect(900, 1056, 24, 24) << anywhere << QPoint(761, 852);
        QTest::newRow("icon in the corner, kept on screen")
            << QRect(1896, 0, 24, 24) << anywhere << QPoint(1620, 28);
        QTest::newRow("tray that does not say, at the pointer")
            << QRect() << QPoint(10, 500) << QPoint(0, 505);
    }
    void popupHangsFromTheIcon() {
        QFETCH(QRect, icon);
        QFETCH(QPoint, pointer);
        QFETCH(QPoint, expected);
        QCOMPARE(popupPosition(QSize(300, 200), icon, pointer, QRect(0, 0, 1920, 1080)), expected);
    }

    void execArgumentIsQuotedForDesktopEntries_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("written");
        QTest::addRow("plain") << u"/usr/bin/clipwren-plus"_s << u"/usr/bin/clipwren-plus"_s;
        QTest::addRow("blank") << u"/opt/I miei programmi/clipwren-plus"_s
                               << u"\"/opt/I miei programmi/clipwren-plus\""_s;
        QTest::addRow("quote, dollar, backslash")
            << u"/tmp/a\"b$c\\d"_s << u"\"/tmp/a\\\\\"b\\\\$c\\\\\\\\d\""_s;
        QTest::addRow("percent") << u"/tmp/100%/x"_s << u"/tmp/100%%/x"_s;
        QTest::addRow("line break") << u"/tmp/a\nb"_s << u"\"/tmp/a\\nb\""_s;
    }
    void execArgumentIsQuotedForDesktopEntries() {
        QFETCH(QString, path);
        QFETCH(QString, written);
        QCOMPARE(execArgument(path), written);
    }
};

QTEST_MAIN(PanelTest)
#include "tst_app_panel.moc"
