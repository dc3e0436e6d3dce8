// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include <sys/stat.h>

#include <QRegularExpression>
#include <QSettings>
#include <array>

#include "platform/Crypto.h"
#include "platform/SettingsStore.h"
#include "protocol/PairingCode.h"
#include "service/SyncService.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

namespace {

const QString idle = u"Inserisci IP e token per avviare"_s;

}  // namespace

class ServiceModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }
    void init() { test::clearSettings(); }

    // Saved settings are loaded by the launch tests, which connect with them; here, what they
    // cannot see: only text is read, each service is a new device, a code made is kept private,
    // a code copied is not saved.
    void aNewServiceAndTheCodeItMakes() {
        QSettings(u"ClipwrenPlus"_s, u"ClipwrenPlus"_s).setValue(u"host"_s, QStringList{u"a"_s});
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(u"before"_s);
        test::IdleService fakes;
        SyncService& service = fakes.service;
        QCOMPARE(service.host(), QString());
        const QRegularExpression form(
            u"^mac-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"_s);
        QVERIFY2(form.match(service.deviceID()).hasMatch(), qPrintable(service.deviceID()));
        QVERIFY(test::IdleService().service.deviceID() != service.deviceID());
        service.copyToken();  // no code: nothing happens, nothing is said
        QCOMPARE(clipboard->text(), u"before"_s);
        QCOMPARE(service.status(), idle);

        service.generateToken();
        const QString made = service.token();
        QVERIFY(pairing::isLongEnough(made));
        QCOMPARE(SettingsStore().text(u"token"_s), made);
        const QString file = SettingsStore::fileName();
        QVERIFY(file.startsWith(test::configHome()));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);

        service.setToken(u"ABCD EFGH jklm 2345"_s);
        service.copyToken();
        QCOMPARE(clipboard->text(), u"ABCD EFGH jklm 2345"_s);
        QCOMPARE(service.status(), u"Token copiato: incollalo nel comando su Kubuntu"_s);
        QCOMPARE(SettingsStore().text(u"token"_s), made);
    }

    void everyAssignmentIsAnnouncedBeforeItHappens() {
        test::IdleService fakes;
        SyncService& service = fakes.service;
        // What the observer sees at each notification: the values still in place.
        QStringList seen;
        connect(&service, &SyncService::objectWillChange, this, [&] {
            seen.append(service.host() + u'/' + service.token() +
                        (service.status() == idle ? u"/idle"_s : u"/refused"_s));
        });
        service.setHost(u"a"_s);
        service.setHost(u"a"_s);  // unchanged values are announced too
        service.setToken(u"short"_s);
        service.start();          // fails validation: the field at fault, then the status
        service.stop();           // no connection: still one assignment of false
        service.generateToken();  // a new code is no longer the one at fault
        QCOMPARE(seen, (QStringList{u"//idle"_s, u"a//idle"_s, u"a//idle"_s, u"a/short/idle"_s,
                                    u"a/short/idle"_s, u"a/short/refused"_s, u"a/short/refused"_s,
                                    u"a/"_s + service.token() + u"/refused"_s}));
        QCOMPARE(service.status(), u"Inserisci l'IP Linux e un codice di almeno 16 caratteri"_s);
    }

    void everyPositionIsUniform() {
        for (const QChar c : u"IO01"_s) QVERIFY(!pairing::alphabet.contains(c));  // easily misread
        constexpr int codes = 32 * 400;
        std::array<std::array<int, 32>, 16> counts{};
        for (int i = 0; i < codes; ++i) {
            const QString code = pairing::generateCode(&secureRandom64);
            QCOMPARE(code.size(), 16);
            for (int p = 0; p < 16; ++p) {
                QVERIFY2(pairing::alphabet.contains(code[p]), qPrintable(code));
                ++counts[p][pairing::alphabet.indexOf(code[p])];
            }
        }
        // Chi-square, 31 degrees of freedom: a fair generator stays below 84 at all but one
        // position in a million runs; one that skips or favours characters goes far above.
        const double expected = codes / 32.0;
        for (int p = 0; p < 16; ++p) {
            double chi = 0;
            for (int count : counts[p]) chi += (count - expected) * (count - expected) / expected;
            QVERIFY2(chi < 84.0, qPrintable(u"position %1: %2"_s.arg(p).arg(chi)));
        }
    }

    // The index is the top bits of one draw, and no draw is thrown away.
    void drawsAreTakenFromTheTop() {
        int used = 0;
        const auto draw = [&] { return ++used, 5ull << 59 | 12345; };
        QCOMPARE(pairing::boundedDraw(32, draw), 5ull);
        QCOMPARE(used, 1);
    }

    // Sixteen user-perceived characters make a code long enough, not sixteen code units.
    void lengthCountsUserPerceivedCharacters_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("length");
        QTest::addRow("16 with blanks") << u"abc def ghi jklm"_s << 16;
        // e + combining acute accent: two code points, one character.
        QTest::addRow("15 accented") << u"e\u0301"_s.repeated(15) << 15;
        // Flags are pairs of regional indicators; a family is one ZWJ sequence.
        QTest::addRow("16 flags") << u"\U0001F1EE\U0001F1F9"_s.repeated(16) << 16;
        QTest::addRow("15 families")
            << u"\U0001F468\u200D\U0001F469\u200D\U0001F467"_s.repeated(15) << 15;
    }
    void lengthCountsUserPerceivedCharacters() {
        QFETCH(QString, code);
        QFETCH(int, length);
        QCOMPARE(pairing::perceivedLength(code), length);
        QCOMPARE(pairing::isLongEnough(code), length >= 16);
    }
};

QTEST_MAIN(ServiceModelTest)
#include "tst_servicemodel.moc"
