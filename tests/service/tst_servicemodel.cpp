#include <sys/stat.h>

#include <QRegularExpression>
#include <QSettings>

#include "platform/SettingsStore.h"
#include "service/PairingCode.h"
#include "service/SyncService.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

namespace {

// What the observer sees at each notification: the values still in place, before the
// assignment that follows it.
struct Observed {
    QString host, token, status;
    bool connected;
};

}  // namespace

class ServiceModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }
    void init() { test::clearSettings(); }

    void constructionWithoutSettings() {
        SyncService service;
        QCOMPARE(service.host(), QString());
        QCOMPARE(service.token(), QString());
        QCOMPARE(service.isConnected(), false);
        QCOMPARE(service.status(), u"Inserisci IP e token per avviare"_s);
        QVERIFY(!service.lastDigest());
        QVERIFY(service.receiveBuffer().isEmpty());
        QVERIFY(!service.isWatching());
    }

    void constructionLoadsSavedSettingsAndConnectsNothing() {
        SettingsStore store;
        store.setText(u"host"_s, u"192.168.1.20"_s);
        store.setText(u"token"_s, u"ABCDEFGHJKLMNPQR"_s);
        test::FakeNetwork network;
        SyncService service(network.factory());
        QCOMPARE(service.host(), u"192.168.1.20"_s);
        QCOMPARE(service.token(), u"ABCDEFGHJKLMNPQR"_s);
        QCOMPARE(service.status(), u"Inserisci IP e token per avviare"_s);
        test::spin(50);
        QVERIFY(network.made.isEmpty());

        // A value that is not text counts as none.
        QSettings(u"ClipwrenPlus"_s, u"ClipwrenPlus"_s)
            .setValue(u"host"_s, QStringList{u"a"_s, u"b"_s});
        QCOMPARE(SyncService().host(), QString());
    }

    void settingsFileIsReadableByItsOwnerOnly() {
        SyncService service;
        service.setToken(u"ABCDEFGHJKLMNPQR"_s);
        service.generateToken();
        const QString file = SettingsStore::fileName();
        QVERIFY(file.startsWith(test::configHome()));
        QVERIFY(QFile::exists(file));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }

    void everyAssignmentIsAnnouncedBeforeItHappens() {
        test::FakeNetwork network;
        SyncService service(network.factory());
        QList<Observed> seen;
        connect(&service, &SyncService::objectWillChange, this, [&] {
            seen.append({service.host(), service.token(), service.status(), service.isConnected()});
        });

        service.setHost(u"a"_s);
        service.setHost(u"a"_s);  // unchanged values are announced too
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0].host, QString());
        QCOMPARE(seen[1].host, u"a"_s);

        seen.clear();
        service.setToken(u"short"_s);
        service.start();  // fails validation: the status only
        service.start();
        QCOMPARE(seen.size(), 3);
        QCOMPARE(seen[1].status, u"Inserisci IP e token per avviare"_s);
        QCOMPARE(service.status(), u"Inserisci l'IP Linux e un codice di almeno 16 caratteri"_s);

        seen.clear();
        service.stop();  // no connection: still one assignment of false
        QCOMPARE(seen.size(), 1);

        seen.clear();
        service.generateToken();
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].token, u"short"_s);
        QCOMPARE(service.status(), u"Inserisci l'IP Linux e un codice di almeno 16 caratteri"_s);
    }

    void deviceIdentifierIsNewAtEveryConstruction() {
        const QRegularExpression form(
            u"^mac-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"_s);
        SyncService first;
        SyncService second;
        QVERIFY2(form.match(first.deviceID()).hasMatch(), qPrintable(first.deviceID()));
        QVERIFY(form.match(second.deviceID()).hasMatch());
        QVERIFY(first.deviceID() != second.deviceID());
    }

    void generatedTokenIsShownAndSaved() {
        SyncService service;
        service.generateToken();
        QCOMPARE(service.token().size(), 16);
        QVERIFY(pairing::isLongEnough(service.token()));
        QCOMPARE(SettingsStore().text(u"token"_s), service.token());
        QCOMPARE(SettingsStore().text(u"host"_s), QString());
        QCOMPARE(service.status(), u"Inserisci IP e token per avviare"_s);
    }

    void copyTokenPutsTheCodeOnTheClipboard() {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(u"before"_s);
        SyncService service;

        service.copyToken();  // no code: nothing happens, nothing is said
        QCOMPARE(clipboard->text(), u"before"_s);
        QCOMPARE(service.status(), u"Inserisci IP e token per avviare"_s);

        auto* image = new QMimeData;
        image->setData(u"image/png"_s, "png");
        image->setText(u"beside"_s);
        clipboard->setMimeData(image);
        service.setToken(u"ABCD EFGH jklm 2345"_s);
        service.copyToken();
        QCOMPARE(clipboard->text(), u"ABCD EFGH jklm 2345"_s);
        QVERIFY(!clipboard->mimeData()->hasFormat(u"image/png"_s));
        QCOMPARE(service.status(), u"Token copiato: incollalo nel comando su Kubuntu"_s);
        // Copying saves nothing.
        QCOMPARE(SettingsStore().text(u"token"_s), QString());
    }
};

QTEST_MAIN(ServiceModelTest)
#include "tst_servicemodel.moc"
