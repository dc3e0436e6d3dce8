#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include "AppTestSupport.h"
#include "Autostart.h"
#include "platform/PlatformSetup.h"
#include "platform/SelfSignedCertificate.h"
#include "platform/SettingsStore.h"
#include "platform/TlsConnection.h"
#include "support/FakeConnection.h"
#include "support/TestEnvironment.h"
#include "support/TlsTestServer.h"

using namespace clipwren;
using test::part;

namespace {

// The panel of a launched program on a fake network, with the handles the tests press.
struct Launched {
    explicit Launched(SyncService::ConnectionFactory factory = SyncService::tlsConnectionFactory())
        : app(std::move(factory)) {
        app.launch();
    }
    explicit Launched(test::FakeNetwork& network) : Launched(network.factory()) {}

    QLabel* status() const { return part<QLabel>(app, "status"); }
    QLineEdit* host() const { return part<QLineEdit>(app, "host"); }
    QLineEdit* token() const { return part<QLineEdit>(app, "token"); }
    QPushButton* button(const char* name) const { return part<QPushButton>(app, name); }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    void type(const QString& address, const QString& code) const {
        QTest::keyClicks(host(), address);
        QTest::keyClicks(token(), code);
    }

    ClipwrenPlusApp app;
};

}  // namespace

class PanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        test::isolateUserFolders();
        QVERIFY(installPlatformTranslation(*QCoreApplication::instance()));
    }
    void init() { test::clearSettings(); }

    void launchShowsSavedValuesMaskedAndDisconnected() {
        SettingsStore store;
        store.setText(QStringLiteral("host"), QStringLiteral("192.168.1.20"));
        store.setText(QStringLiteral("token"), test::validCode);
        test::FakeNetwork network;
        Launched panel(network);

        QVERIFY(panel.app.panel()->isVisible());  // no tray here: an ordinary window
        QCOMPARE(panel.app.panel()->windowTitle(), QStringLiteral("Clipwren+"));
        QCOMPARE(part<QLabel>(panel.app, "title")->text(), QStringLiteral("Clipwren+"));
        QVERIFY(part<QLabel>(panel.app, "title")->font().bold());
        QCOMPARE(panel.status()->text(), QStringLiteral("Inserisci IP e token per avviare"));
        QCOMPARE(panel.host()->text(), QStringLiteral("192.168.1.20"));
        QCOMPARE(panel.host()->placeholderText(), QStringLiteral("IP Linux"));
        QCOMPARE(panel.host()->width(), 240);
        QCOMPARE(panel.token()->text(), test::validCode);
        QCOMPARE(panel.token()->placeholderText(), QStringLiteral("Codice pairing"));
        QCOMPARE(panel.token()->width(), 210);
        QCOMPARE(panel.token()->echoMode(), QLineEdit::Password);
        QCOMPARE(panel.button("reveal")->text(), QStringLiteral("Mostra"));
        QCOMPARE(panel.button("connect")->text(), QStringLiteral("Connetti"));
        QCOMPARE(panel.button("generate")->text(), QStringLiteral("Genera token"));
        QCOMPARE(panel.button("copy")->text(), QStringLiteral("Copia token"));
        QCOMPARE(panel.button("quit")->text(), QStringLiteral("Esci da Clipwren+"));
        QCOMPARE(panel.app.panel()->layout()->spacing(), 10);
        QCOMPARE(panel.app.panel()->layout()->contentsMargins(), QMargins(12, 12, 12, 12));
        QCOMPARE(panel.app.trayItem()->icon().toolTip(),
                 QStringLiteral("Clipwren+\nInserisci IP e token per avviare"));
        QVERIFY(!part<QTextEdit>(panel.app, "fingerprint")->isVisible());
        QVERIFY(test::showsOutlineIcon(panel.app));
        QCoreApplication::processEvents();
        QVERIFY(network.made.isEmpty());
    }

    void clipboardNoticeIsShownOnlyWhenThereIsOne() {
        QVERIFY(!part<QLabel>(Launched().app, "clipboardNotice"));
        ClipwrenPlusApp app(SyncService::tlsConnectionFactory(),
                            {nullptr, QStringLiteral("Gli appunti passano da Xwayland")});
        app.launch();
        QCOMPARE(part<QLabel>(app, "clipboardNotice")->text(),
                 QStringLiteral("Gli appunti passano da Xwayland"));
    }

    void revealKeepsTheTypedTextInBothForms() {
        Launched panel;
        QTest::keyClicks(panel.token(), QStringLiteral("abc"));
        panel.click("reveal");
        QCOMPARE(panel.token()->echoMode(), QLineEdit::Normal);
        QCOMPARE(panel.button("reveal")->text(), QStringLiteral("Nascondi"));
        QCOMPARE(panel.token()->text(), QStringLiteral("abc"));

        QTest::keyClicks(panel.token(), QStringLiteral("def"));
        panel.click("reveal");
        QCOMPARE(panel.token()->echoMode(), QLineEdit::Password);
        QCOMPARE(panel.button("reveal")->text(), QStringLiteral("Mostra"));
        QCOMPARE(panel.token()->text(), QStringLiteral("abcdef"));
        QCOMPARE(panel.app.sync().token(), QStringLiteral("abcdef"));

        // Typing in the middle: the redraw that follows leaves the cursor where it was.
        QTest::keyClick(panel.token(), Qt::Key_Home);
        QTest::keyClick(panel.token(), Qt::Key_X);
        QCoreApplication::processEvents();
        QCOMPARE(panel.token()->text(), QStringLiteral("xabcdef"));
        QCOMPARE(panel.token()->cursorPosition(), 1);
    }

    void returnInEitherFieldDoesNothing() {
        test::FakeNetwork network;
        Launched panel(network);
        panel.type(QStringLiteral("127.0.0.1"), test::validCode);
        QSignalSpy changes(&panel.app.sync(), &SyncService::objectWillChange);
        QTest::keyClick(panel.host(), Qt::Key_Return);
        QTest::keyClick(panel.token(), Qt::Key_Return);
        panel.click("reveal");
        QTest::keyClick(panel.token(), Qt::Key_Enter);
        QCoreApplication::processEvents();
        QCOMPARE(changes.count(), 0);
        QVERIFY(network.made.isEmpty());
        QCOMPARE(panel.status()->text(), QStringLiteral("Inserisci IP e token per avviare"));
    }

    void shortCodeIsRejectedAndTheButtonStaysOnConnect() {
        test::FakeNetwork network;
        Launched panel(network);
        panel.type(QStringLiteral("127.0.0.1"), test::validCode.chopped(1));
        panel.click("connect");
        QTRY_COMPARE(panel.status()->text(),
                     QStringLiteral("Inserisci l'IP Linux e un codice di almeno 16 caratteri"));
        QCOMPARE(panel.button("connect")->text(), QStringLiteral("Connetti"));
        QVERIFY(network.made.isEmpty());
    }

    void generateAndCopyWorkWhileConnected() {
        test::FakeNetwork network;
        Launched panel(network);
        panel.type(QStringLiteral("127.0.0.1"), test::validCode);
        panel.click("connect");
        QCOMPARE(network.made.size(), 1);
        network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(panel.button("connect")->text(), QStringLiteral("Disconnetti"));
        QVERIFY(test::showsFilledIcon(panel.app));

        panel.click("generate");
        QTRY_VERIFY(panel.token()->text() != test::validCode);
        QCOMPARE(panel.token()->text(), panel.app.sync().token());
        QCOMPARE(panel.token()->text().size(), 16);

        panel.click("copy");
        QTRY_COMPARE(panel.status()->text(),
                     QStringLiteral("Token copiato: incollalo nel comando su Kubuntu"));
        QCOMPARE(QGuiApplication::clipboard()->text(), panel.app.sync().token());
        // Neither action touched the connection.
        QCOMPARE(network.made.size(), 1);
        QVERIFY(!network.last()->abandoned);
        QCOMPARE(panel.button("connect")->text(), QStringLiteral("Disconnetti"));

        panel.click("connect");
        QVERIFY(network.last()->abandoned);  // stop, not a new start
        QCOMPARE(network.made.size(), 1);
        QTRY_COMPARE(panel.button("connect")->text(), QStringLiteral("Connetti"));
        QTRY_VERIFY(test::showsOutlineIcon(panel.app));
        QCOMPARE(panel.status()->text(), QStringLiteral("Disconnesso"));
        QCOMPARE(panel.app.trayItem()->icon().toolTip(), QStringLiteral("Clipwren+\nDisconnesso"));
    }

    void oversizedContentIsReportedOnceAndTheWatchGoesOn() {
        test::FakeNetwork network;
        Launched panel(network);
        panel.type(QStringLiteral("127.0.0.1"), test::validCode);
        panel.click("connect");
        network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(panel.app.sync().isWatching());
        const QList<QByteArray>& sent = network.last()->sent;
        QCOMPARE(sent.size(), 1);  // the hello

        const QString tooLarge =
            QStringLiteral("Contenuto troppo grande da inviare (massimo 12 MiB)");
        QGuiApplication::clipboard()->setText(QString(SyncService::maxBytes + 1, u'x'));
        QTRY_COMPARE(panel.status()->text(), tooLarge);
        QCOMPARE(panel.app.trayItem()->icon().toolTip(), QStringLiteral("Clipwren+\n") + tooLarge);

        // The ticks that follow know it: no message, and not even the same text again.
        QSignalSpy changes(&panel.app.sync(), &SyncService::objectWillChange);
        QSignalSpy ticks(panel.app.sync().findChild<QTimer*>(), &QTimer::timeout);
        QTRY_VERIFY(ticks.count() >= 2);
        QCoreApplication::processEvents();
        QCOMPARE(changes.count(), 0);
        QCOMPARE(sent.size(), 1);

        QGuiApplication::clipboard()->setText(QStringLiteral("piccolo"));
        QTRY_COMPARE(sent.size(), 2);
        QVERIFY(panel.app.sync().isConnected());
    }

    void followsARealTlsConnectionUntilThePeerGoes() {
        test::TlsTestServer server;
        QVERIFY(server.listen());
        const quint16 port = server.port();
        Launched panel([port](const QString& host, quint16) {
            return std::make_unique<TlsConnection>(host, port);
        });
        panel.type(QStringLiteral("127.0.0.1"), test::validCode);
        panel.click("connect");
        QSslSocket* client = server.waitForClient();
        QVERIFY(client);
        QTRY_COMPARE(panel.button("connect")->text(), QStringLiteral("Disconnetti"));
        QCOMPARE(panel.status()->text(), QStringLiteral("Connesso \u2022 sincronizzazione attiva"));
        QVERIFY(test::showsFilledIcon(panel.app));

        // The certificate the server presented, in the form the peer prints, to be compared by
        // eye or selected and copied whole.
        auto* fingerprint = part<QTextEdit>(panel.app, "fingerprint");
        QTRY_VERIFY(fingerprint->isVisible());
        QCOMPARE(fingerprint->toPlainText(), test::TlsTestServer::fingerprint());
        QVERIFY(fingerprint->toPlainText().contains(
            QRegularExpression(QStringLiteral("^([0-9A-F]{2}:){31}[0-9A-F]{2}$"))));
        QVERIFY(fingerprint->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        fingerprint->selectAll();
        QCOMPARE(fingerprint->textCursor().selectedText(), test::TlsTestServer::fingerprint());
        // Drawn as two lines of sixteen pairs, all of it inside the panel.
        const QTextLayout* lines = fingerprint->document()->firstBlock().layout();
        QCOMPARE(lines->lineCount(), 2);
        QCOMPARE(lines->lineAt(0).textLength(), 48);
        QVERIFY(fingerprint->viewport()->rect().contains(lines->boundingRect().toAlignedRect()));
        QVERIFY(panel.app.panel()->rect().contains(fingerprint->geometry()));

        client->close();
        QTRY_VERIFY(panel.status()->text().startsWith(QStringLiteral("Connessione fallita: ")));
        QTRY_COMPARE(panel.button("connect")->text(), QStringLiteral("Connetti"));
        QVERIFY(test::showsOutlineIcon(panel.app));
        // The description is Qt's own, in Italian like the rest of the line.
        QVERIFY2(!panel.status()->text().contains(QStringLiteral("closed")),
                 qPrintable(panel.status()->text()));

        // A new attempt is about another peer, maybe: the old fingerprint goes.
        panel.click("connect");
        QTRY_VERIFY(!fingerprint->isVisible());
    }

    void reconnectBoxAndTrustButton() {
        test::FakeNetwork network;
        network.certificateDigest = QByteArray(32, 'a');
        Launched panel(network);
        auto* box = part<QCheckBox>(panel.app, "reconnect");
        QPushButton* trust = panel.button("trust");
        QCOMPARE(box->text(), QStringLiteral("Riconnetti automaticamente"));
        QVERIFY(!box->isChecked());
        QCOMPARE(trust->text(), QStringLiteral("Fidati del nuovo certificato"));
        QVERIFY(!trust->isVisible());
        box->click();
        QVERIFY(panel.app.sync().reconnects());
        QCOMPARE(SettingsStore().text(QStringLiteral("reconnect")), QStringLiteral("true"));

        // A dropped session waits to be tried again; "Disconnetti" ends that.
        panel.type(QStringLiteral("127.0.0.1"), test::validCode);
        panel.click("connect");
        network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(panel.button("connect")->text(), QStringLiteral("Disconnetti"));
        network.last()->report(Connection::State::Failed, QStringLiteral("reset"));
        QTRY_VERIFY(panel.status()->text().startsWith(QStringLiteral("In attesa: ")));
        QCOMPARE(panel.button("connect")->text(), QStringLiteral("Disconnetti"));
        panel.click("connect");
        QTRY_COMPARE(panel.status()->text(), QStringLiteral("Disconnesso"));
        QVERIFY(!panel.app.sync().isReconnecting());
        QCOMPARE(panel.button("connect")->text(), QStringLiteral("Connetti"));

        // Another certificate: the button shows with the new fingerprint, and trusts it.
        network.certificateDigest = QByteArray(32, 'b');
        panel.click("connect");
        network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(trust->isVisible());
        QCOMPARE(part<QTextEdit>(panel.app, "fingerprint")->toPlainText(),
                 fingerprintText(network.certificateDigest));
        QTest::mouseClick(trust, Qt::LeftButton);
        network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(panel.button("connect")->text(), QStringLiteral("Disconnetti"));
        QVERIFY(!trust->isVisible());
        QCOMPARE(network.made.size(), 3);
    }

    void staleDisconnectLabelStillStarts() {
        test::FakeNetwork network;
        Launched panel(network);
        panel.type(QStringLiteral("127.0.0.1"), test::validCode);
        panel.click("connect");
        network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(panel.button("connect")->text(), QStringLiteral("Disconnetti"));

        // The service takes the failure; the panel has not redrawn yet.
        network.last()->report(Connection::State::Failed, QStringLiteral("Rete irraggiungibile"));
        QCoreApplication::sendPostedEvents(&panel.app.sync(), QEvent::MetaCall);
        QVERIFY(!panel.app.sync().isConnected());
        QCOMPARE(panel.button("connect")->text(), QStringLiteral("Disconnetti"));

        panel.click("connect");
        QCOMPARE(network.made.size(), 2);
        QVERIFY(network.last()->started);
        QTRY_COMPARE(panel.status()->text(), QStringLiteral("Connessione a 127.0.0.1\u2026"));
        QCOMPARE(panel.button("connect")->text(), QStringLiteral("Connetti"));
    }

    void autostartBoxWritesAndRemovesTheEntry() {
        Launched panel;
        const Autostart& autostart = panel.app.autostart();
        QCOMPARE(
            autostart.filePath(),
            test::configHome() + QStringLiteral("/autostart/org.clipwren.ClipwrenPlus.desktop"));
        auto* box = part<QCheckBox>(panel.app, "autostart");
        QCOMPARE(box->text(), QStringLiteral("Avvia all'accesso"));
        QVERIFY(!box->isChecked());

        box->click();
        QVERIFY(box->isChecked());
        QFile file(autostart.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        QVERIFY(lines.contains(QStringLiteral("Exec=") + QCoreApplication::applicationFilePath() +
                               QStringLiteral(" --connect")));
        QVERIFY(lines.contains(QStringLiteral("Icon=org.clipwren.ClipwrenPlus")));
        const QString validator =
            QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (!validator.isEmpty()) {
            QProcess validate;
            validate.start(validator, {autostart.filePath()});
            QVERIFY(validate.waitForFinished());
            QVERIFY2(validate.exitCode() == 0 && validate.readAll().isEmpty(),
                     validate.readAllStandardError().constData());
        }
        // A panel built anew reads the entry back; unticking takes it away.
        delete panel.app.panel();
        panel.app.openPanel();
        box = part<QCheckBox>(panel.app, "autostart");
        QVERIFY(box->isChecked());
        box->click();
        QVERIFY(!box->isChecked());
        QVERIFY(!QFile::exists(autostart.filePath()));

        // Where the entry cannot be written the box stays as the file is, and says why.
        const QString folder = QFileInfo(autostart.filePath()).path();
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        box->click();
        QVERIFY(!box->isChecked());
        auto* error = part<QLabel>(panel.app, "autostartError");
        QVERIFY(error->isVisible());
        QVERIFY2(error->text().startsWith(QStringLiteral("Avvio all'accesso non modificato: ")),
                 qPrintable(error->text()));
        QVERIFY(blocker.remove());
    }

    void longStatusWrapsInsteadOfBeingCut() {
        test::FakeNetwork network;
        Launched panel(network);
        panel.type(QStringLiteral("127.0.0.1"), test::validCode);
        panel.click("connect");
        QTRY_VERIFY(panel.status()->text().startsWith(QStringLiteral("Connessione a ")));
        const int width = panel.app.panel()->width();

        const QString reason = QStringLiteral(
                                   "la rete non risponde e nessun tentativo "
                                   "riesce ad arrivare alla macchina indicata")
                                   .repeated(4);
        network.last()->report(Connection::State::Failed, reason);
        QTRY_COMPARE(panel.status()->text(), QStringLiteral("Connessione fallita: ") + reason);
        QLabel* status = panel.status();
        QVERIFY(status->heightForWidth(status->width()) > 3 * status->fontMetrics().height());
        QTRY_VERIFY(status->height() >= status->heightForWidth(status->width()));
        QCOMPARE(panel.app.panel()->width(), width);
        QVERIFY(panel.app.panel()->rect().contains(status->geometry()));
    }
};

QTEST_MAIN(PanelTest)
#include "tst_app_panel.moc"
