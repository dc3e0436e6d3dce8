#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include "AppTestSupport.h"
#include "Autostart.h"
#include "platform/PlatformSetup.h"
#include "platform/SelfSignedCertificate.h"
#include "platform/SettingsStore.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"
#include "support/TlsTestServer.h"

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
    // Types a valid address and code and presses "Connetti".
    void connect() const {
        type(u"127.0.0.1"_s, test::validCode);
        click("connect");
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
        store.setText(u"host"_s, u"192.168.1.20"_s);
        store.setText(u"token"_s, test::validCode);
        test::FakeNetwork network;
        Launched panel(network);

        QVERIFY(panel.app.panel()->isVisible());  // no tray here: an ordinary window
        QCOMPARE(panel.app.panel()->windowTitle(), u"Clipwren+"_s);
        QCOMPARE(part<QLabel>(panel.app, "title")->text(), u"Clipwren+"_s);
        QCOMPARE(panel.status()->text(), u"Inserisci IP e token per avviare"_s);
        QCOMPARE(panel.host()->text(), u"192.168.1.20"_s);
        QCOMPARE(panel.host()->placeholderText(), u"IP Linux"_s);
        QCOMPARE(panel.token()->text(), test::validCode);
        QCOMPARE(panel.token()->placeholderText(), u"Codice pairing"_s);
        QCOMPARE(panel.token()->echoMode(), QLineEdit::Password);
        for (const auto& [name, text] : {std::pair{"reveal", "Mostra"},
                                         {"connect", "Connetti"},
                                         {"generate", "Genera token"},
                                         {"copy", "Copia token"},
                                         {"quit", "Esci da Clipwren+"}}) {
            QCOMPARE(panel.button(name)->text(), QString::fromUtf8(text));
        }
        QCOMPARE(panel.app.trayItem()->icon().toolTip(),
                 u"Clipwren+\nInserisci IP e token per avviare"_s);
        QVERIFY(!part<QTextEdit>(panel.app, "fingerprint")->isVisible());
        QVERIFY(test::showsOutlineIcon(panel.app));
        QCoreApplication::processEvents();
        QVERIFY(network.made.isEmpty());
    }

    void clipboardNoticeIsShownOnlyWhenThereIsOne() {
        QVERIFY(!part<QLabel>(Launched().app, "clipboardNotice"));
        ClipwrenPlusApp app(SyncService::tlsConnectionFactory(),
                            {nullptr, u"Gli appunti passano da Xwayland"_s});
        app.launch();
        QCOMPARE(part<QLabel>(app, "clipboardNotice")->text(),
                 u"Gli appunti passano da Xwayland"_s);
    }

    void revealKeepsTheTypedTextInBothForms() {
        Launched panel;
        QTest::keyClicks(panel.token(), u"abc"_s);
        panel.click("reveal");
        QCOMPARE(panel.token()->echoMode(), QLineEdit::Normal);
        QCOMPARE(panel.button("reveal")->text(), u"Nascondi"_s);
        QCOMPARE(panel.token()->text(), u"abc"_s);

        QTest::keyClicks(panel.token(), u"def"_s);
        panel.click("reveal");
        QCOMPARE(panel.token()->echoMode(), QLineEdit::Password);
        QCOMPARE(panel.button("reveal")->text(), u"Mostra"_s);
        QCOMPARE(panel.token()->text(), u"abcdef"_s);
        QCOMPARE(panel.app.sync().token(), u"abcdef"_s);

        // Typing in the middle: the redraw that follows leaves the cursor where it was.
        QTest::keyClick(panel.token(), Qt::Key_Home);
        QTest::keyClick(panel.token(), Qt::Key_X);
        QCoreApplication::processEvents();
        QCOMPARE(panel.token()->text(), u"xabcdef"_s);
        QCOMPARE(panel.token()->cursorPosition(), 1);
    }

    void returnDoesNothingAndAShortCodeIsRejected() {
        test::FakeNetwork network;
        Launched panel(network);
        panel.type(u"127.0.0.1"_s, test::validCode.chopped(1));
        QSignalSpy changes(&panel.app.sync(), &SyncService::objectWillChange);
        QTest::keyClick(panel.host(), Qt::Key_Return);
        QTest::keyClick(panel.token(), Qt::Key_Return);
        panel.click("reveal");
        QTest::keyClick(panel.token(), Qt::Key_Enter);
        QCoreApplication::processEvents();
        QCOMPARE(changes.count(), 0);
        QCOMPARE(panel.status()->text(), u"Inserisci IP e token per avviare"_s);

        panel.click("connect");
        QTRY_COMPARE(panel.status()->text(),
                     u"Inserisci l'IP Linux e un codice di almeno 16 caratteri"_s);
        QCOMPARE(panel.button("connect")->text(), u"Connetti"_s);
        QVERIFY(network.made.isEmpty());
    }

    void generateAndCopyWorkWhileConnected() {
        test::FakeNetwork network;
        Launched panel(network);
        panel.connect();
        QCOMPARE(network.made.size(), 1);
        network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(panel.button("connect")->text(), u"Disconnetti"_s);
        QVERIFY(test::showsFilledIcon(panel.app));

        panel.click("generate");
        QTRY_VERIFY(panel.token()->text() != test::validCode);
        QCOMPARE(panel.token()->text(), panel.app.sync().token());
        QCOMPARE(panel.token()->text().size(), 16);

        panel.click("copy");
        QTRY_COMPARE(panel.status()->text(), u"Token copiato: incollalo nel comando su Kubuntu"_s);
        QCOMPARE(QGuiApplication::clipboard()->text(), panel.app.sync().token());
        // Neither action touched the connection.
        QCOMPARE(network.made.size(), 1);
        QVERIFY(!network.last()->abandoned);
        QCOMPARE(panel.button("connect")->text(), u"Disconnetti"_s);

        panel.click("connect");
        QVERIFY(network.last()->abandoned);  // stop, not a new start
        QCOMPARE(network.made.size(), 1);
        QTRY_COMPARE(panel.button("connect")->text(), u"Connetti"_s);
        QTRY_VERIFY(test::showsOutlineIcon(panel.app));
        QCOMPARE(panel.status()->text(), u"Disconnesso"_s);
        QCOMPARE(panel.app.trayItem()->icon().toolTip(), u"Clipwren+\nDisconnesso"_s);
    }

    void oversizedContentIsReportedOnceAndTheWatchGoesOn() {
        test::FakeNetwork network;
        Launched panel(network);
        panel.connect();
        network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(panel.app.sync().isWatching());
        const QList<QByteArray>& sent = network.last()->sent;
        QCOMPARE(sent.size(), 1);  // the hello

        const QString tooLarge = u"Contenuto troppo grande da inviare (massimo 12 MiB)"_s;
        QGuiApplication::clipboard()->setText(QString(SyncService::maxBytes + 1, u'x'));
        QTRY_COMPARE(panel.status()->text(), tooLarge);
        QCOMPARE(panel.app.trayItem()->icon().toolTip(), u"Clipwren+\n"_s + tooLarge);

        // The ticks that follow know it: no message, and not even the same text again.
        QSignalSpy changes(&panel.app.sync(), &SyncService::objectWillChange);
        QSignalSpy ticks(panel.app.sync().findChild<QTimer*>(), &QTimer::timeout);
        QTRY_VERIFY(ticks.count() >= 2);
        QCoreApplication::processEvents();
        QCOMPARE(changes.count(), 0);
        QCOMPARE(sent.size(), 1);

        QGuiApplication::clipboard()->setText(u"piccolo"_s);
        QTRY_COMPARE(sent.size(), 2);
        QVERIFY(panel.app.sync().isConnected());
    }

    void followsARealTlsConnectionUntilThePeerGoes() {
        test::LoopbackPeer loopback;
        QVERIFY(loopback.listening);
        Launched panel(loopback.factory());
        panel.connect();
        QSslSocket* client = test::LoopbackPeer::session(loopback.server, panel.app.sync());
        QVERIFY(client);
        QTRY_COMPARE(panel.button("connect")->text(), u"Disconnetti"_s);
        QCOMPARE(panel.status()->text(), u"Connesso \u2022 sincronizzazione attiva"_s);
        QVERIFY(test::showsFilledIcon(panel.app));

        // The certificate the server presented, in the form the peer prints, to be compared by
        // eye or selected and copied whole.
        auto* fingerprint = part<QTextEdit>(panel.app, "fingerprint");
        QTRY_VERIFY(fingerprint->isVisible());
        QCOMPARE(fingerprint->toPlainText(), test::TlsTestServer::fingerprint());
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
        QTRY_VERIFY(panel.status()->text().startsWith(u"Connessione fallita: "_s));
        QTRY_COMPARE(panel.button("connect")->text(), u"Connetti"_s);
        QVERIFY(test::showsOutlineIcon(panel.app));
        // The description is Qt's own, in Italian like the rest of the line.
        QVERIFY2(!panel.status()->text().contains(u"closed"_s), qPrintable(panel.status()->text()));

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
        QCOMPARE(box->text(), u"Riconnetti automaticamente"_s);
        QVERIFY(!box->isChecked());
        QCOMPARE(trust->text(), u"Fidati del nuovo certificato"_s);
        QVERIFY(!trust->isVisible());
        box->click();
        QVERIFY(panel.app.sync().reconnects());
        QCOMPARE(SettingsStore().text(u"reconnect"_s), u"true"_s);

        // A dropped session waits to be tried again; "Disconnetti" ends that.
        panel.connect();
        network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(panel.button("connect")->text(), u"Disconnetti"_s);
        network.last()->report(Connection::State::Failed, u"reset"_s);
        QTRY_VERIFY(panel.status()->text().startsWith(u"In attesa: "_s));
        QCOMPARE(panel.button("connect")->text(), u"Disconnetti"_s);
        panel.click("connect");
        QTRY_COMPARE(panel.status()->text(), u"Disconnesso"_s);
        QVERIFY(!panel.app.sync().isReconnecting());
        QCOMPARE(panel.button("connect")->text(), u"Connetti"_s);

        // Another certificate: the button shows with the new fingerprint, and trusts it.
        network.certificateDigest = QByteArray(32, 'b');
        panel.click("connect");
        network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(trust->isVisible());
        QCOMPARE(part<QTextEdit>(panel.app, "fingerprint")->toPlainText(),
                 fingerprintText(network.certificateDigest));
        QTest::mouseClick(trust, Qt::LeftButton);
        network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(panel.button("connect")->text(), u"Disconnetti"_s);
        QVERIFY(!trust->isVisible());
        QCOMPARE(network.made.size(), 3);
    }

    void staleDisconnectLabelStillStarts() {
        test::FakeNetwork network;
        Launched panel(network);
        panel.connect();
        network.last()->report(Connection::State::Ready);
        QTRY_COMPARE(panel.button("connect")->text(), u"Disconnetti"_s);

        // The service takes the failure; the panel has not redrawn yet.
        network.last()->report(Connection::State::Failed, u"Rete irraggiungibile"_s);
        QCoreApplication::sendPostedEvents(&panel.app.sync(), QEvent::MetaCall);
        QVERIFY(!panel.app.sync().isConnected());
        QCOMPARE(panel.button("connect")->text(), u"Disconnetti"_s);

        panel.click("connect");
        QCOMPARE(network.made.size(), 2);
        QVERIFY(network.last()->started);
        QTRY_COMPARE(panel.status()->text(), u"Connessione a 127.0.0.1\u2026"_s);
        QCOMPARE(panel.button("connect")->text(), u"Connetti"_s);
    }

    void autostartBoxWritesAndRemovesTheEntry() {
        Launched panel;
        const Autostart& autostart = panel.app.autostart();
        QCOMPARE(autostart.filePath(),
                 test::configHome() + u"/autostart/org.clipwren.ClipwrenPlus.desktop"_s);
        auto* box = part<QCheckBox>(panel.app, "autostart");
        QCOMPARE(box->text(), u"Avvia all'accesso"_s);
        QVERIFY(!box->isChecked());

        box->click();
        QVERIFY(box->isChecked());
        QFile file(autostart.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        QVERIFY(
            lines.contains(u"Exec="_s + QCoreApplication::applicationFilePath() + u" --connect"_s));
        QVERIFY(lines.contains(u"Icon=org.clipwren.ClipwrenPlus"_s));
        const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_s);
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
        QVERIFY(test::blockWithFile(folder));
        box->click();
        QVERIFY(!box->isChecked());
        auto* error = part<QLabel>(panel.app, "autostartError");
        QVERIFY(error->isVisible());
        QVERIFY2(error->text().startsWith(u"Avvio all'accesso non modificato: "_s),
                 qPrintable(error->text()));
        QVERIFY(QFile::remove(folder));
    }

    void longStatusWrapsInsteadOfBeingCut() {
        test::FakeNetwork network;
        Launched panel(network);
        panel.connect();
        QTRY_VERIFY(panel.status()->text().startsWith(u"Connessione a "_s));
        const int width = panel.app.panel()->width();

        const QString reason =
            u"la rete non risponde e nessun tentativo "
            "riesce ad arrivare alla macchina indicata"_s.repeated(4);
        network.last()->report(Connection::State::Failed, reason);
        QTRY_COMPARE(panel.status()->text(), u"Connessione fallita: "_s + reason);
        QLabel* status = panel.status();
        QVERIFY(status->heightForWidth(status->width()) > 3 * status->fontMetrics().height());
        QTRY_VERIFY(status->height() >= status->heightForWidth(status->width()));
        QCOMPARE(panel.app.panel()->width(), width);
        QVERIFY(panel.app.panel()->rect().contains(status->geometry()));
    }
};

QTEST_MAIN(PanelTest)
#include "tst_app_panel.moc"
