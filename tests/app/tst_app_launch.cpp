#include <QApplication>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include "AppTestSupport.h"
#include "Autostart.h"
#include "LaunchOptions.h"
#include "PopupPlacement.h"
#include "SingleInstance.h"
#include "StatusPrinter.h"
#include "platform/SettingsStore.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

using test::part;

class LaunchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }
    void init() { test::clearSettings(); }

    void oneServiceHoweverOftenThePanelIsRebuilt() {
        test::FakeNetwork network;
        ClipwrenPlusApp app(network.factory());
        app.launch();
        SyncService* service = &app.sync();
        QTest::keyClicks(part<QLineEdit>(app, "host"), u"10.0.0.7"_s);
        QTest::mouseClick(part<QPushButton>(app, "reveal"), Qt::LeftButton);

        for (int round = 0; round < 3; ++round) {
            delete app.panel();  // what closing the popup does
            QVERIFY(!app.panel());
            app.openPanel();
            QVERIFY(app.panel());
            QCOMPARE(&app.sync(), service);
            QCOMPARE(part<QLineEdit>(app, "host")->text(), u"10.0.0.7"_s);
            QCOMPARE(part<QLineEdit>(app, "token")->echoMode(), QLineEdit::Normal);
        }
        QCOMPARE(app.findChildren<SyncService*>().size(), 1);
        // The rebuilt panel still edits and follows that one service.
        QTest::keyClicks(part<QLineEdit>(app, "token"), u"xyz"_s);
        QCOMPARE(service->token(), u"xyz"_s);
        service->generateToken();
        QTRY_COMPARE(part<QLineEdit>(app, "token")->text(), service->token());
    }

    void closingTheWindowEndsTheProgram() {
        ClipwrenPlusApp app;
        app.launch();  // no tray here: the panel is an ordinary window
        QWidget* panel = app.panel();
        QTimer::singleShot(0, panel, [panel] { panel->close(); });
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });  // rescue only
        QCOMPARE(QApplication::exec(), 0);
    }

    // The real program, started the way a user starts it again, against a first instance
    // that is this test or another real program.
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
        // And this program, once the first, answers by showing its panel.
        ClipwrenPlusApp app;
        app.launch();
        delete app.panel();
        connect(&fresh, &SingleInstance::raiseRequested, &app, &ClipwrenPlusApp::openPanel);
        QProcess fourth;
        launch(fourth);
        QVERIFY(ends(fourth));
        QVERIFY(app.panel() && app.panel()->isVisible());
    }

    void connectOption_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("connect");
        QTest::addColumn<QString>("status");
        const QString idle = u"Inserisci IP e token per avviare"_s;
        const QString code = test::validCode;
        const QString address = u"192.168.1.20"_s;
        QTest::newRow("saved, asked")
            << address << code << true << u"Connessione a 192.168.1.20\u2026"_s;
        QTest::newRow("saved, not asked") << address << code << false << idle;
        QTest::newRow("no address") << QString() << code << true << idle;
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
        SettingsStore store;
        if (!host.isEmpty()) store.setText(u"host"_s, host);
        if (!token.isEmpty()) store.setText(u"token"_s, token);
        test::FakeNetwork network;
        ClipwrenPlusApp app(network.factory());
        app.launch({.connect = connect});
        QCOMPARE(app.sync().status(), status);
        QCOMPARE(network.made.size(), status.startsWith(u"Connessione a"_s) ? 1 : 0);
        if (!network.made.isEmpty()) QCOMPARE(network.last()->host, host);
    }

    void launchOptionsAreParsedAndListed() {
        QCommandLineParser parser;
        describeLaunchOptions(parser);
        QVERIFY(parser.parse({u"clipwren-plus"_s, u"--connect"_s, u"--print-status"_s}));
        LaunchOptions options = readLaunchOptions(parser);
        QVERIFY(options.connect && options.printStatus);

        QCommandLineParser plain;
        describeLaunchOptions(plain);
        QVERIFY(plain.parse({u"clipwren-plus"_s}));
        options = readLaunchOptions(plain);
        QVERIFY(!options.connect && !options.printStatus);
        // Italian only (Qt's English lines are not there); --help-all is the same help.
        QVERIFY(plain.helpText().contains("-h, --help, -?  Mostra questo aiuto ed esce."_L1));
        QVERIFY(!plain.helpText().contains("Displays"_L1) &&
                !plain.helpText().contains("help-all"_L1));
        QVERIFY(plain.parse({u"clipwren-plus"_s, u"--help-all"_s}));
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

    void quitEndsTheEventLoopWithoutStop() {
        test::FakeNetwork network;
        ClipwrenPlusApp app(network.factory());
        app.launch();
        QTest::keyClicks(part<QLineEdit>(app, "host"), u"127.0.0.1"_s);
        QTest::keyClicks(part<QLineEdit>(app, "token"), test::validCode);
        QTest::mouseClick(part<QPushButton>(app, "connect"), Qt::LeftButton);
        network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(app.sync().isConnected());

        QPushButton* quit = part<QPushButton>(app, "quit");
        QTimer::singleShot(0, quit, [quit] { QTest::mouseClick(quit, Qt::LeftButton); });
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });  // rescue only
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(app.sync().isConnected());
        QVERIFY(network.last() && !network.last()->abandoned);
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
        QVERIFY(!outline.isNull() && !filled.isNull());
        QVERIFY(outline != filled);
        QVERIFY(outline.pixelColor(16, 16).alpha() < filled.pixelColor(16, 16).alpha());
    }
};

QTEST_MAIN(LaunchTest)
#include "tst_app_launch.moc"
