#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

#include "AppTestSupport.h"
#include "Autostart.h"
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

    void launchShowsTheSavedCodeMaskedAndConnectsNothing() {
        SettingsStore().setText(u"token"_s, test::validCode);
        Launched panel;
        QVERIFY(panel.app.panel()->isVisible());  // no tray here: an ordinary window
        QCOMPARE(panel.field("token")->text(), test::validCode);
        QCOMPARE(panel.field("token")->echoMode(), QLineEdit::Password);
        QCOMPARE(panel.text("status"), idle);
        QCOMPARE(panel.app.trayItem()->icon().toolTip(), u"Clipwren+\n"_s + idle);
        QVERIFY(panel.trayShows(icons::outline()));
        QVERIFY(!panel.part("fingerprint")->isVisible() && !panel.part("trust")->isVisible());
        QVERIFY(!panel.part("clipboardNotice"));
        QCoreApplication::processEvents();
        QVERIFY(panel.network.made.isEmpty());

        // A clipboard that works in some other way than usual is said so.
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

    void generateAndCopyWorkWhileConnected() {
        Launched panel;
        panel.connect();
        QVERIFY(panel.ready());
        QVERIFY(panel.trayShows(icons::filled()));
        panel.click("generate");
        QTRY_VERIFY(panel.field("token")->text() != test::validCode);
        QCOMPARE(panel.field("token")->text(), panel.app.sync().token());
        panel.click("copy");
        QTRY_COMPARE(panel.text("status"), u"Token copiato: incollalo nel comando su Kubuntu"_s);
        QCOMPARE(QGuiApplication::clipboard()->text(), panel.app.sync().token());
        // Neither touched the connection; "Disconnetti" stops it, and says so.
        QCOMPARE(panel.text("connect"), u"Disconnetti"_s);
        QVERIFY(!panel.network.last()->abandoned);
        panel.click("connect");
        QVERIFY(panel.network.last()->abandoned);
        QCOMPARE(panel.network.made.size(), 1);
        QTRY_COMPARE(panel.text("connect"), u"Connetti"_s);
        QTRY_VERIFY(panel.trayShows(icons::outline()));
        QCOMPARE(panel.app.trayItem()->icon().toolTip(), u"Clipwren+\nDisconnesso"_s);
    }

    void followsARealTlsConnectionUntilThePeerGoes() {
        test::LoopbackPeer loopback;
        QVERIFY(loopback.listening);
        Launched panel(loopback.factory());
        panel.connect();
        QSslSocket* client = test::LoopbackPeer::session(loopback.server, panel.app.sync());
        QVERIFY(client);
        QTRY_COMPARE(panel.text("connect"), u"Disconnetti"_s);
        QCOMPARE(panel.text("status"), u"Connesso \u2022 sincronizzazione attiva"_s);

        // The certificate the server presented, in the form the peer prints, to be compared by
        // eye or selected and copied whole: two lines of sixteen pairs, inside the panel.
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

        // The description is Qt's own, in Italian like the rest of the line.
        client->close();
        QTRY_VERIFY(panel.text("status").startsWith(u"Connessione fallita: "_s));
        QVERIFY2(!panel.text("status").contains(u"closed"_s), qPrintable(panel.text("status")));
        QTRY_COMPARE(panel.text("connect"), u"Connetti"_s);
        // A new attempt is about another peer, maybe: the old fingerprint goes.
        panel.click("connect");
        QTRY_VERIFY(!fingerprint->isVisible());
    }

    void reconnectBoxAndTrustButton() {
        Launched panel;
        panel.network.certificateDigest = QByteArray(32, 'a');
        panel.part<QCheckBox>("reconnect")->click();
        QVERIFY(panel.app.sync().reconnects());
        QCOMPARE(SettingsStore().text(u"reconnect"_s), u"true"_s);

        // A dropped session waits to be tried again; "Disconnetti" ends that.
        panel.connect();
        QVERIFY(panel.ready());
        panel.network.last()->report(Connection::State::Failed, u"reset"_s);
        QTRY_VERIFY(panel.text("status").startsWith(u"In attesa: "_s));
        QCOMPARE(panel.text("connect"), u"Disconnetti"_s);
        panel.click("connect");
        QTRY_COMPARE(panel.text("status"), u"Disconnesso"_s);
        QVERIFY(!panel.app.sync().isReconnecting());
        QCOMPARE(panel.text("connect"), u"Connetti"_s);

        // Another certificate: the button shows with the new fingerprint, and trusts it.
        panel.network.certificateDigest = QByteArray(32, 'b');
        panel.click("connect");
        panel.network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(panel.part("trust")->isVisible());
        QCOMPARE(panel.part<QTextEdit>("fingerprint")->toPlainText(),
                 fingerprintText(panel.network.certificateDigest));
        panel.click("trust");
        QCOMPARE(panel.network.made.size(), 3);
        QVERIFY(panel.ready());
        QVERIFY(!panel.part("trust")->isVisible());
    }

    void staleDisconnectLabelStillStarts() {
        Launched panel;
        panel.connect();
        QVERIFY(panel.ready());
        // The service takes the failure; the panel has not redrawn yet.
        panel.network.last()->report(Connection::State::Failed, u"Rete irraggiungibile"_s);
        QCoreApplication::sendPostedEvents(&panel.app.sync(), QEvent::MetaCall);
        QVERIFY(!panel.app.sync().isConnected());
        QCOMPARE(panel.text("connect"), u"Disconnetti"_s);

        panel.click("connect");
        QCOMPARE(panel.network.made.size(), 2);
        QVERIFY(panel.network.last()->started);
        QTRY_COMPARE(panel.text("status"), u"Connessione a 127.0.0.1\u2026"_s);
        QCOMPARE(panel.text("connect"), u"Connetti"_s);
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
};

QTEST_MAIN(PanelTest)
#include "tst_app_panel.moc"
