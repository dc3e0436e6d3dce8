#include <sys/stat.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include "platform/SettingsStore.h"
#include "service/PairingCode.h"
#include "service/SyncService.h"
#include "support/FakeConnection.h"
#include "support/TestEnvironment.h"

using namespace clipwren;

namespace {

// What the observer sees at each notification: the values still in place, before the
// assignment that follows it.
struct Observed {
    QString host, token, status;
    bool connected;
};

void clearSettings() {
    QSettings(QStringLiteral("ClipwrenPlus"), QStringLiteral("ClipwrenPlus")).clear();
}

}  // namespace

class ServiceModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }
    void init() { clearSettings(); }

    void constructionWithoutSettings() {
        SyncService service;
        QCOMPARE(service.host(), QString());
        QCOMPARE(service.token(), QString());
        QCOMPARE(service.isConnected(), false);
        QCOMPARE(service.status(), QStringLiteral("Inserisci IP e token per avviare"));
        QVERIFY(!service.lastDigest());
        QVERIFY(service.receiveBuffer().isEmpty());
        QVERIFY(!service.isWatching());
        QCOMPARE(SyncService::port, 47832);
        QCOMPARE(SyncService::maxBytes, 12'582'912);
    }

    void constructionLoadsSavedSettingsAndConnectsNothing() {
        SettingsStore store;
        store.setText(QStringLiteral("host"), QStringLiteral("192.168.1.20"));
        store.setText(QStringLiteral("token"), QStringLiteral("ABCDEFGHJKLMNPQR"));
        test::FakeNetwork network;
        SyncService service(network.factory());
        QCOMPARE(service.host(), QStringLiteral("192.168.1.20"));
        QCOMPARE(service.token(), QStringLiteral("ABCDEFGHJKLMNPQR"));
        QCOMPARE(service.status(), QStringLiteral("Inserisci IP e token per avviare"));
        test::spin(50);
        QVERIFY(network.made.isEmpty());

        // A value that is not text counts as none.
        QSettings(QStringLiteral("ClipwrenPlus"), QStringLiteral("ClipwrenPlus"))
            .setValue(QStringLiteral("host"),
                      QStringList{QStringLiteral("a"), QStringLiteral("b")});
        QCOMPARE(SyncService().host(), QString());
    }

    void settingsFileIsReadableByItsOwnerOnly() {
        SyncService service;
        service.setToken(QStringLiteral("ABCDEFGHJKLMNPQR"));
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

        service.setHost(QStringLiteral("a"));
        service.setHost(QStringLiteral("a"));  // unchanged values are announced too
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0].host, QString());
        QCOMPARE(seen[1].host, QStringLiteral("a"));

        seen.clear();
        service.setToken(QStringLiteral("short"));
        service.start();  // fails validation: the status only
        service.start();
        QCOMPARE(seen.size(), 3);
        QCOMPARE(seen[1].status, QStringLiteral("Inserisci IP e token per avviare"));
        QCOMPARE(service.status(),
                 QStringLiteral("Inserisci l'IP Linux e un codice di almeno 16 caratteri"));

        seen.clear();
        service.stop();  // no connection: still one assignment of false
        QCOMPARE(seen.size(), 1);

        seen.clear();
        service.generateToken();
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].token, QStringLiteral("short"));
        QCOMPARE(service.status(),
                 QStringLiteral("Inserisci l'IP Linux e un codice di almeno 16 caratteri"));
    }

    void deviceIdentifierIsNewAtEveryConstruction() {
        const QRegularExpression form(QStringLiteral(
            "^mac-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"));
        SyncService first;
        SyncService second;
        QCOMPARE(first.deviceID().size(), 40);
        QVERIFY2(form.match(first.deviceID()).hasMatch(), qPrintable(first.deviceID()));
        QVERIFY(form.match(second.deviceID()).hasMatch());
        QVERIFY(first.deviceID() != second.deviceID());
    }

    void generatedTokenIsShownAndSaved() {
        SyncService service;
        service.generateToken();
        QCOMPARE(service.token().size(), 16);
        QVERIFY(pairing::isLongEnough(service.token()));
        QCOMPARE(SettingsStore().text(QStringLiteral("token")), service.token());
        QCOMPARE(SettingsStore().text(QStringLiteral("host")), QString());
        QCOMPARE(service.status(), QStringLiteral("Inserisci IP e token per avviare"));
    }

    void copyTokenPutsTheCodeOnTheClipboard() {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        SyncService service;

        service.copyToken();  // no code: nothing happens, nothing is said
        QCOMPARE(clipboard->text(), QStringLiteral("before"));
        QCOMPARE(service.status(), QStringLiteral("Inserisci IP e token per avviare"));

        auto* image = new QMimeData;
        image->setData(QStringLiteral("image/png"), "png");
        image->setText(QStringLiteral("beside"));
        clipboard->setMimeData(image);
        service.setToken(QStringLiteral("ABCD EFGH jklm 2345"));
        service.copyToken();
        QCOMPARE(clipboard->text(), QStringLiteral("ABCD EFGH jklm 2345"));
        QVERIFY(!clipboard->mimeData()->hasFormat(QStringLiteral("image/png")));
        QCOMPARE(service.status(),
                 QStringLiteral("Token copiato: incollalo nel comando su Kubuntu"));
        // Copying saves nothing.
        QCOMPARE(SettingsStore().text(QStringLiteral("token")), QString());
    }
};

QTEST_MAIN(ServiceModelTest)
#include "tst_servicemodel.moc"
