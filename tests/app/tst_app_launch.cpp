#include <QApplication>
#include <QCommandLineParser>
#include <QProcess>
#include <QTimer>

#include "AppTestSupport.h"
#include "Autostart.h"
#include "PopupPlacement.h"
#include "SingleInstance.h"
#include "StatusPrinter.h"
#include "platform/SettingsStore.h"

using test::Launched;

class LaunchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }
    void init() { test::clearSettings(); }

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

    void iconsTellTheTwoStatesApart() {
        const QImage outline = test::picture(icons::outline());
        const QImage filled = test::picture(icons::filled());
        QVERIFY(!outline.isNull() && outline != filled);
        QVERIFY(outline.pixelColor(16, 16).alpha() < filled.pixelColor(16, 16).alpha());
    }
};

QTEST_MAIN(LaunchTest)
#include "tst_app_launch.moc"
