// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cmath>

#include "Autostart.h"
#include "ClipboardIcons.h"
#include "ClipwrenPlusApp.h"
#include "ControlPanel.h"
#include "FingerprintView.h"
#include "PopupPlacement.h"
#include "SingleInstance.h"
#include "StatusPrinter.h"
#include "TrayItem.h"
#include "platform/PlatformSetup.h"
#include "platform/SettingsStore.h"
#include "service/ClientSession.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

namespace {

const QString idle = u"Inserisci IP e token per avviare"_s;
const QString validCode = u"ABCDEFGHJKLMNPQR"_s;

// The program, launched on a fake network, with the parts of its panel that the tests read and
// press.
struct Launched {
    explicit Launched(const LaunchOptions& options = {}, ClipboardReach reach = ClipboardReach::Own)
        : app(network.factory(), {std::make_unique<QtPasteboard>(), reach, {}},
              [this] { return trayThere; }) {
        app.launch(options);
    }

    template <typename Widget = QWidget>
    Widget* part(const char* name) const {
        return app.panel() ? app.panel()->findChild<Widget*>(QString::fromLatin1(name)) : nullptr;
    }
    QString text(const char* name) const { return part(name)->property("text").toString(); }
    QLineEdit* field(const char* name) const { return part<QLineEdit>(name); }
    void click(const char* name) const {
        QTest::mouseClick(part<QAbstractButton>(name), Qt::LeftButton);
    }
    // The fake connection made last says it is ready; the panel follows.
    bool ready() const {
        network.last()->report(Connection::State::Ready);
        return QTest::qWaitFor([this] { return text("connect") == u"Disconnetti"_s; });
    }
    bool trayShows(icons::Look look) const {
        const QSize size(32, 32);
        const QIcon& shown = app.trayItem()->icon().icon();
        return app.trayItem()->look() == look &&
               shown.pixmap(size).toImage() == icons::forLook(look).pixmap(size).toImage();
    }
    QAction* menuItem(const char* name) const {
        return app.trayItem()->menu().findChild<QAction*>(QString::fromLatin1(name));
    }

    test::FakeNetwork network;
    bool trayThere = false;
    ClipwrenPlusApp app;
};

// WCAG's contrast between pixel, drawn over panel, and panel.
double contrastOver(QRgb pixel, QRgb panel) {
    const auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const double alpha = qAlpha(pixel) / 255.0;
    double drawn = 0.05, under = 0.05;
    for (const auto& [weight, shift] : {std::pair(0.2126, 16), {0.7152, 8}, {0.0722, 0}}) {
        const double below = (panel >> shift & 0xff) / 255.0;
        drawn += weight * linear(alpha * (pixel >> shift & 0xff) / 255.0 + (1 - alpha) * below);
        under += weight * linear(below);
    }
    return std::max(drawn, under) / std::min(drawn, under);
}

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
        const Launched noticed({}, ClipboardReach::ThroughXwayland);
        QVERIFY(
            noticed.text("clipboardNotice").startsWith(u"Le copie si vedono tramite Xwayland"_s));
    }

    // The code is shown and hidden as typed, also in a panel built anew (as after closing the
    // popup), which edits the same service.
    void typingRevealingAndRebuilding() {
        Launched panel;
        QTest::keyClicks(panel.field("host"), u"127.0.0.1"_s);
        QTest::keyClicks(panel.field("token"), u"abc"_s);
        panel.click("reveal");
        delete panel.app.panel();
        panel.app.openPanel();
        QCOMPARE(panel.field("host")->text(), u"127.0.0.1"_s);
        QCOMPARE(panel.app.panel()->focusWidget(), panel.part("connect"));  // both fields filled
        QCOMPARE(panel.field("token")->echoMode(), QLineEdit::Normal);
        QCOMPARE(panel.text("reveal"), u"Nascondi"_s);
        QTest::keyClicks(panel.field("token"), u"def"_s);
        panel.click("reveal");
        QCOMPARE(panel.field("token")->echoMode(), QLineEdit::Password);
        QCOMPARE(panel.text("reveal"), u"Mostra"_s);
        QCOMPARE(panel.app.sync().token(), u"abcdef"_s);
        // Typing in the middle: the redraw that follows leaves the cursor where it was.
        QTest::keyClick(panel.field("token"), Qt::Key_Home);
        QTest::keyClick(panel.field("token"), Qt::Key_X);
        QCoreApplication::processEvents();
        QCOMPARE(panel.field("token")->text(), u"xabcdef"_s);
        QCOMPARE(panel.field("token")->cursorPosition(), 1);
    }

    void autostartBoxWritesAndRemovesTheEntry() {
        Launched panel;
        const QString path = panel.app.panelState().autostart().filePath();
        QCOMPARE(path, test::configHome() + u"/autostart/org.clipwren.ClipwrenPlus.desktop"_s);
        auto* box = panel.part<QCheckBox>("autostart");
        box->click();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        QVERIFY(
            lines.contains(u"Exec="_s + QCoreApplication::applicationFilePath() + u" --connect"_s));
        QVERIFY(lines.contains(u"Icon=org.clipwren.ClipwrenPlus"_s));
        QProcess validate;
        validate.start(u"desktop-file-validate"_s, {path});
        QVERIFY(validate.waitForFinished());
        QVERIFY2(validate.exitCode() == 0 && validate.readAll().isEmpty(),
                 validate.readAllStandardError().constData());
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

    // Closing the window (there is no tray here) ends nothing; "Esci", on the panel or in the
    // tray's menu, ends the program and leaves the session as it is, with no stop.
    void theProgramEnds() {
        SettingsStore().setText(u"host"_s, u"127.0.0.1"_s);
        SettingsStore().setText(u"token"_s, validCode);
        for (const bool byButton : {false, true}) {
            Launched panel({.connect = true});
            QVERIFY(panel.ready());
            bool quitPressed = false;
            QTimer::singleShot(0, &panel.app, [&] {
                panel.app.panel()->close();  // would post its end of the loop before this:
                QTimer::singleShot(0, &panel.app, [&] {
                    quitPressed = true;
                    byButton ? panel.click("quit") : panel.menuItem("quit")->trigger();
                });
            });
            QTimer::singleShot(10000, &panel.app, [] { QCoreApplication::exit(1); });  // rescue
            QCOMPARE(QApplication::exec(), 0);
            QVERIFY(quitPressed);
            QVERIFY(panel.app.sync().isConnected());
            QVERIFY(!panel.network.last()->abandoned);
        }
    }

    // A tray that comes after the start (at login) takes the icon; its menu follows the service.
    void aTrayThatComesLateAndItsMenu() {
        Launched panel;
        QVERIFY(panel.app.isWindow() && !panel.app.trayItem()->icon().isVisible());
        panel.trayThere = true;
        QTRY_VERIFY(panel.app.trayItem()->icon().isVisible());
        QVERIFY(!panel.app.isWindow() && !panel.app.panel());
        QCOMPARE(panel.app.trayItem()->icon().contextMenu(), &panel.app.trayItem()->menu());
        panel.app.sync().setHost(u"127.0.0.1"_s);
        panel.app.sync().setToken(validCode);
        panel.menuItem("connect")->trigger();
        panel.network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(panel.menuItem("connect")->text(), u"Disconnetti"_s);
        panel.menuItem("pause")->trigger();
        QTRY_COMPARE(panel.menuItem("pause")->text(), u"Riprendi sincronizzazione"_s);
        QTRY_VERIFY(panel.trayShows(icons::Look::Paused));
        // This tray does not say where its icon is: the popup goes to the pointer's corner.
        QCursor::setPos(1200, 10);
        panel.app.openPanel();
        QCOMPARE(panel.app.panel()->geometry().topRight(), QPoint(1279, 0));
    }

    // The real program, started again (with this test's settings and platform) against a first
    // instance that is another real program or this test.
    void oneInstancePerSession() {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        // The event loop keeps running meanwhile: the first instance may be this test.
        const auto handsOverAndEnds = [] {
            QProcess program;
            program.start(QStringLiteral(CLIPWREN_PLUS_PATH));
            return QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; },
                                   15000) &&
                   program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
        };

        // A first program, then a second one that hands over to it and ends.
        QProcess first;
        first.start(QStringLiteral(CLIPWREN_PLUS_PATH));
        SingleInstance probe(runtime.path());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(probe.socketPath()), 15000);
        QVERIFY(handsOverAndEnds());
        QCOMPARE(first.state(), QProcess::Running);

        // The first one crashes, leaving lock and socket: a new instance claims and is reached.
        first.kill();
        QVERIFY(first.waitForFinished());
        QVERIFY(QFileInfo::exists(probe.socketPath()));
        SingleInstance fresh(runtime.path());
        QSignalSpy raised(&fresh, &SingleInstance::raiseRequested);
        QCOMPARE(fresh.claim(), SingleInstance::Claim::Running);
        QVERIFY(handsOverAndEnds());
        QCOMPARE(raised.count(), 1);
    }

    // --connect connects once, with an address and a code saved; --help-all is known.
    void commandLine_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("status");
        const QString address = u"192.168.1.20"_s;
        QTest::newRow("saved, asked")
            << address << validCode << u"--connect"_s << u"Connessione a "_s + address + u'\u2026';
        QTest::newRow("saved, not asked") << address << validCode << u"--help-all"_s << idle;
        QTest::newRow("no address") << QString() << validCode << u"--connect"_s << idle;
        QTest::newRow("no code") << address << QString() << u"--connect"_s << idle;
    }
    void commandLine() {
        QFETCH(QString, host);
        QFETCH(QString, token);
        QFETCH(QString, option);
        QFETCH(QString, status);
        if (!host.isEmpty()) SettingsStore().setText(u"host"_s, host);
        if (!token.isEmpty()) SettingsStore().setText(u"token"_s, token);
        QCommandLineParser parser;
        describeLaunchOptions(parser);
        QVERIFY(parser.parse({u"clipwren-plus"_s, option}));
        Launched panel(readLaunchOptions(parser));
        QCOMPARE(panel.app.sync().status(), status);
        QCOMPARE(panel.network.made.size(), status.startsWith(u"Connessione a"_s) ? 1 : 0);
    }

    void printsEachNewStatusOnce() {
        test::IdleService fakes;
        SyncService& service = fakes.service;
        QStringList lines;
        StatusPrinter printer(service, [&lines](const QString& line) { lines.append(line); });
        service.setHost(u"127.0.0.1"_s);
        service.start();  // no code: rejected
        service.start();  // the same text again is no news
        service.setToken(validCode);
        service.start();
        fakes.network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(lines.size(), 4);  // the first, the refusal, connecting, connected
        QCOMPARE(lines.last(), service.status());
    }

    void popupHangsFromTheIcon_data() {
        QTest::addColumn<QRect>("icon");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("expected");
        const QRect fullHd(0, 0, 1920, 1080);
        QTest::newRow("bar at the top") << QRect(900, 0, 24, 24) << fullHd << QPoint(761, 28);
        QTest::newRow("bar at the bottom")
            << QRect(900, 1056, 24, 24) << fullHd << QPoint(761, 852);
        QTest::newRow("icon in the corner, kept on screen")
            << QRect(1896, 0, 24, 24) << fullHd << QPoint(1620, 28);
        QTest::newRow("second screen, to the right")
            << QRect(3000, 0, 22, 22) << QRect(1920, 30, 1280, 770) << QPoint(2860, 30);
        QTest::newRow("taller than the screen: top-left kept")
            << QRect(600, 0, 24, 24) << QRect(0, 0, 800, 150) << QPoint(461, 0);
    }
    void popupHangsFromTheIcon() {
        QFETCH(QRect, icon);
        QFETCH(QRect, area);
        QFETCH(QPoint, expected);
        QCOMPARE(popupPosition(QSize(300, 200), icon, area), expected);
    }

    // Without an icon position: the corner along the panel's edge, on the pointer's side.
    void popupGoesToACornerWithoutAnIcon_data() {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("bar at the top, pointer stale, low left")
            << QPoint(100, 900) << QRect(0, 32, 1920, 1048) << QPoint(0, 32);
        QTest::newRow("dock on the left")
            << QPoint(1800, 30) << QRect(64, 0, 1856, 1080) << QPoint(64, 0);
    }
    void popupGoesToACornerWithoutAnIcon() {
        QFETCH(QPoint, pointer);
        QFETCH(QRect, area);
        QFETCH(QPoint, expected);
        QCOMPARE(cornerPosition(QSize(300, 200), pointer, QRect(0, 0, 1920, 1080), area), expected);
    }

    // With the panel left open, every state it shows: it fits its content, stays on the
    // 1280x800 screen, hangs from its icon, shows a fingerprint in two lines, and the tray
    // shows the state's look.
    void thePanelFitsEveryState_data() {
        QTest::addColumn<QRect>("icon");
        QTest::addRow("bar at the top, right") << QRect(1252, 2, 24, 24);
        QTest::addRow("bar at the bottom, right") << QRect(1252, 774, 24, 24);
    }
    void thePanelFitsEveryState() {
        QFETCH(QRect, icon);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(screen, QRect(0, 0, 1280, 800));
        Launched panel;
        panel.network.certificateDigest = QByteArray(32, '\x5a');
        panel.app.sync().setRetryDelay(std::make_unique<test::ManualDelay>());
        delete panel.app.panel();
        panel.app.openPanelUnder(icon);
        QWidget* popup = panel.app.panel();
        const auto shows = [&](const char* state, icons::Look look) {
            // The redraw is queued, the new size laid out after it.
            QTRY_COMPARE(panel.text("status"), panel.app.sync().status());
            QTRY_COMPARE(popup->size(), popup->sizeHint());
            const QRect at = popup->geometry();
            const bool hangs = icon.top() < screen.center().y() ? at.top() == icon.bottom() + 5
                                                                : at.bottom() == icon.top() - 5;
            QString where;
            QDebug(&where) << state << at;
            QVERIFY2(screen.contains(at) && hangs && at.left() <= icon.center().x() &&
                         icon.center().x() <= at.right(),
                     qPrintable(where));
            // As the companion prints it, to be compared: two lines of sixteen pairs, selectable.
            auto* fingerprint = panel.part<QLabel>("fingerprint");
            if (fingerprint->isVisible()) {
                QCOMPARE(fingerprint->text().remove(u'\n'), panel.app.sync().peerFingerprint());
                QVERIFY(fingerprint->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
                QCOMPARE(fingerprint->text().count(u'\n'), 1);
                QVERIFY(popup->rect().contains(fingerprint->geometry()));
                QCOMPARE(fingerprint->size(), fingerprint->sizeHint());
            }
            QTRY_VERIFY2(panel.trayShows(look), state);
        };
        shows("idle", icons::Look::NotConnected);

        // An address typed wrong is marked and focused, and nothing starts.
        QTest::keyClicks(panel.field("host"), u"127.0. 0.1"_s);
        QTest::keyClicks(panel.field("token"), validCode);
        panel.click("connect");
        QTRY_VERIFY(panel.field("host")->property("invalid").toBool());
        QTRY_VERIFY(panel.field("host")->hasFocus());
        panel.field("host")->clear();
        QTest::keyClicks(panel.field("host"), u"127.0.0.1"_s);
        QTRY_VERIFY(!panel.field("host")->property("invalid").toBool());
        // Return in a field presses "Connetti".
        QTest::keyClick(panel.field("token"), Qt::Key_Return);
        QCOMPARE(panel.network.made.size(), 1);
        shows("connecting", icons::Look::NotConnected);
        // A wait offers "Riprova ora", which tries at once, and "Annulla".
        panel.network.last()->report(Connection::State::Waiting, u"rifiutata"_s);
        QTRY_COMPARE(panel.text("connect"), u"Riprova ora"_s);
        QVERIFY(panel.part("cancelWait")->isVisible());
        shows("waiting", icons::Look::NotConnected);
        // A long reason wraps: the panel grows downwards, never wider.
        const int width = popup->width();
        panel.click("connect");
        QCOMPARE(panel.network.made.size(), 2);
        const QString reason = u"la rete non risponde e nessun tentativo riesce "_s.repeated(7);
        panel.network.last()->report(Connection::State::Waiting, reason);
        QTRY_COMPARE(panel.text("status"), u"In attesa: %1, nuovo tentativo tra 2 s"_s.arg(reason));
        shows("a long reason", icons::Look::NotConnected);
        auto* status = panel.part<QLabel>("status");
        QVERIFY(status->heightForWidth(status->width()) > 3 * status->fontMetrics().height());
        QTRY_VERIFY(status->height() >= status->heightForWidth(status->width()));
        QCOMPARE(popup->width(), width);
        QVERIFY(popup->rect().contains(status->geometry()));
        // "Annulla" ends the wait, and the panel offers to connect again.
        panel.click("cancelWait");
        QTRY_COMPARE(panel.text("connect"), u"Connetti"_s);
        QVERIFY(!panel.part("cancelWait")->isVisible());
        panel.click("connect");
        QVERIFY(panel.ready());
        test::FakeConnection* link = panel.network.last();
        link->deliver(test::FakeBridge::noticeFrame(SessionNotice::Accepted));
        QTRY_VERIFY(panel.part("fingerprint")->isVisible());
        shows("connected", icons::Look::Connected);
        // A new code, the code copied and Return in a field leave the session alone.
        QTest::keyClick(panel.field("host"), Qt::Key_Return);
        panel.click("generate");
        QTRY_COMPARE(panel.field("token")->text(), panel.app.sync().token());
        QVERIFY(panel.app.sync().token() != validCode);
        panel.click("copy");
        QCOMPARE(QGuiApplication::clipboard()->text(), panel.app.sync().token());
        QVERIFY(!link->abandoned);

        // The service takes a failure before the panel has redrawn: the stale "Disconnetti"
        // starts anew, as the service's own state says.
        link->report(Connection::State::Failed, u"Rete irraggiungibile"_s);
        QCoreApplication::sendPostedEvents(panel.app.sync().findChild<ClientSession*>(),
                                           QEvent::MetaCall);
        QCOMPARE(panel.text("connect"), u"Disconnetti"_s);
        panel.click("connect");
        QCOMPARE(panel.network.made.size(), 4);
        QVERIFY(panel.ready());
        link = panel.network.last();

        panel.part<QCheckBox>("reconnect")->click();
        QCOMPARE(SettingsStore().text(u"reconnect"_s), u"true"_s);
        link->report(Connection::State::Failed, u"reset"_s);
        QTRY_VERIFY(panel.text("status").startsWith(u"In attesa: "_s));
        // An address typed wrong during the wait ends it: the line keeps saying why.
        QTest::keyClick(panel.field("host"), Qt::Key_End);
        QTest::keyClicks(panel.field("host"), u"\b\b"_s);
        panel.click("connect");
        QTRY_COMPARE(panel.text("connect"), u"Connetti"_s);
        QVERIFY(!panel.app.sync().isWaiting());
        QCOMPARE(panel.text("status"),
                 u"Inserisci l'IP Linux e un codice di almeno 16 caratteri"_s);

        panel.network.certificateDigest = QByteArray(32, '\x7e');
        QTest::keyClicks(panel.field("host"), u".1"_s);
        panel.click("connect");
        panel.network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(panel.part("trust")->isVisible());
        shows("certificate changed", icons::Look::NeedsUser);

        // Trusted, the focus goes to the session's button, not to the address.
        panel.click("trust");
        QVERIFY(panel.ready());
        QCOMPARE(popup->focusWidget(), panel.part("connect"));

        // "Disconnetti" ends a live session, starting nothing.
        const qsizetype made = panel.network.made.size();
        panel.click("connect");
        QVERIFY(panel.network.last()->abandoned);
        QCOMPARE(panel.network.made.size(), made);
        QTRY_COMPARE(panel.text("status"), u"Disconnesso"_s);
        shows("disconnected", icons::Look::NotConnected);
        QCOMPARE(panel.app.trayItem()->icon().toolTip(), u"Clipwren+\nDisconnesso"_s);

        // Closed and opened again, it looks the same.
        const QSize size = popup->size();
        delete popup;
        panel.app.openPanelUnder(icon);
        QCOMPARE(panel.app.panel()->size(), size);
    }

    // On dark and light panels alike, at least 15 % of every look's pixels have 3:1 against both
    // (WCAG's rule for graphics), at every common tray size; no two looks have one shape.
    void iconsShowOnAnyPanel_data() {
        QTest::addColumn<int>("look");
        QTest::addRow("not connected") << int(icons::Look::NotConnected);
        QTest::addRow("connected") << int(icons::Look::Connected);
        QTest::addRow("needs the user") << int(icons::Look::NeedsUser);
        QTest::addRow("paused") << int(icons::Look::Paused);
    }
    void iconsShowOnAnyPanel() {
        QFETCH(int, look);
        const auto image = [](int shown, int side) {
            return icons::forLook(icons::Look(shown)).pixmap(side).toImage();
        };
        for (const int side : {16, 22, 24, 32}) {
            const QImage drawn = image(look, side).convertToFormat(QImage::Format_ARGB32);
            const auto* pixels = reinterpret_cast<const QRgb*>(drawn.constBits());
            const auto standing = std::count_if(pixels, pixels + side * side, [](QRgb pixel) {
                return contrastOver(pixel, 0x2b2b2b) >= 3 && contrastOver(pixel, 0xe8e8e8) >= 3;
            });
            QVERIFY2(standing >= 0.15 * side * side, qPrintable(QString::number(standing)));
        }
        for (int other = 0; other < look; ++other)
            QVERIFY(image(look, 22).createAlphaMask() != image(other, 22).createAlphaMask());
    }

    // The panel opens with the focus in the first empty field; Tab reaches every control, and
    // each shows that it has the focus.
    void everyControlShowsItsFocus() {
        Launched panel;
        QVERIFY(QTest::qWaitForWindowActive(panel.app.panel()));
        QStringList reached;
        for (QWidget* focused = panel.app.panel()->focusWidget();
             !reached.contains(focused->objectName()); focused = focused->window()->focusWidget()) {
            reached << focused->objectName();
            const QImage shown = focused->grab().toImage();
            QTest::keyClick(focused, Qt::Key_Tab);
            QVERIFY2(focused->grab().toImage() != shown, qPrintable(reached.last()));
        }
        QCOMPARE(reached.join(u' '),
                 u"host token reveal connect generate copy reconnect autostart notify quit"_s);
    }

    // On the Mac the login entry is a LaunchAgent: launchd starts the program once, with --connect.
    void launchAgentStartsTheProgramAtLogin() {
        const Autostart agent(u"/Applications/A & <B>.app/Contents/MacOS/clipwren-plus"_s,
                              u"/Agents"_s, Autostart::Kind::LaunchAgent);
        QCOMPARE(agent.filePath(), u"/Agents/org.clipwren.ClipwrenPlus.plist"_s);
        QVERIFY(
            agent.entry().contains("<key>ProgramArguments</key>\n\t<array>\n\t\t<string>"
                                   "/Applications/A &amp; &lt;B&gt;.app/Contents/MacOS/"
                                   "clipwren-plus</string>\n\t\t<string>--connect</string>"));
        QVERIFY(agent.entry().contains("<key>RunAtLoad</key>\n\t<true/>"));
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
