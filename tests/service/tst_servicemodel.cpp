#include <sys/stat.h>

#include <QRegularExpression>
#include <QSettings>

#include "platform/SettingsStore.h"
#include "service/PairingCode.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

namespace {

const QString idle = u"Inserisci IP e token per avviare"_s;
const QString invalid = u"Inserisci l'IP Linux e un codice di almeno 16 caratteri"_s;

QString saved(const QString& key) {
    return SettingsStore().text(key);
}

}  // namespace

class ServiceModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }
    void init() { test::clearSettings(); }

    void constructionLoadsSavedSettingsAndConnectsNothing() {
        SettingsStore store;
        store.setText(u"host"_s, u"192.168.1.20"_s);
        store.setText(u"token"_s, u"ABCDEFGHJKLMNPQR"_s);
        test::FakeNetwork network;
        SyncService service(network.factory());
        QCOMPARE(service.host(), u"192.168.1.20"_s);
        QCOMPARE(service.token(), u"ABCDEFGHJKLMNPQR"_s);
        QCOMPARE(service.status(), idle);
        test::spin(50);
        QVERIFY(network.made.isEmpty());
        // A value that is not text counts as none.
        QSettings(u"ClipwrenPlus"_s, u"ClipwrenPlus"_s).setValue(u"host"_s, QStringList{u"a"_s});
        QCOMPARE(SyncService().host(), QString());

        // Each service is a device of its own, named by a random UUID.
        const QRegularExpression form(
            u"^mac-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"_s);
        QVERIFY2(form.match(service.deviceID()).hasMatch(), qPrintable(service.deviceID()));
        QVERIFY(SyncService().deviceID() != service.deviceID());
    }

    void generatedCodeIsSavedForItsOwnerOnly() {
        SyncService service;
        service.generateToken();
        QVERIFY(pairing::isLongEnough(service.token()));
        QCOMPARE(saved(u"token"_s), service.token());
        QVERIFY(saved(u"host"_s).isNull());
        QCOMPARE(service.status(), idle);
        const QString file = SettingsStore::fileName();
        QVERIFY(file.startsWith(test::configHome()));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }

    void everyAssignmentIsAnnouncedBeforeItHappens() {
        test::FakeNetwork network;
        SyncService service(network.factory());
        // What the observer sees at each notification: the values still in place.
        QStringList seen;
        connect(&service, &SyncService::objectWillChange, this, [&] {
            seen.append(service.host() + u'/' + service.token() +
                        (service.status() == idle ? u"/idle"_s : u"/refused"_s));
        });
        service.setHost(u"a"_s);
        service.setHost(u"a"_s);  // unchanged values are announced too
        service.setToken(u"short"_s);
        service.start();  // fails validation: the status only
        service.start();
        service.stop();  // no connection: still one assignment of false
        service.generateToken();
        QCOMPARE(seen,
                 (QStringList{u"//idle"_s, u"a//idle"_s, u"a//idle"_s, u"a/short/idle"_s,
                              u"a/short/refused"_s, u"a/short/refused"_s, u"a/short/refused"_s}));
        QCOMPARE(service.status(), invalid);
    }

    void copyTokenPutsTheCodeOnTheClipboard() {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(u"before"_s);
        SyncService service;
        service.copyToken();  // no code: nothing happens, nothing is said
        QCOMPARE(clipboard->text(), u"before"_s);
        QCOMPARE(service.status(), idle);

        auto* image = new QMimeData;
        image->setData(u"image/png"_s, "png");
        image->setText(u"beside"_s);
        clipboard->setMimeData(image);
        service.setToken(u"ABCD EFGH jklm 2345"_s);
        service.copyToken();
        QCOMPARE(clipboard->text(), u"ABCD EFGH jklm 2345"_s);
        QVERIFY(!clipboard->mimeData()->hasFormat(u"image/png"_s));
        QCOMPARE(service.status(), u"Token copiato: incollalo nel comando su Kubuntu"_s);
        QVERIFY(saved(u"token"_s).isNull());  // copying saves nothing
    }
};

QTEST_MAIN(ServiceModelTest)
#include "tst_servicemodel.moc"
