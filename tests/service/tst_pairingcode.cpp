#include <array>

#include "platform/Crypto.h"
#include "service/PairingCode.h"
#include "support/Testing.h"

using namespace clipwren::pairing;

class PairingCodeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyPositionIsUniform() {
        // Letters and digits that are easily taken for one another never appear.
        for (const QChar c : u"IO01"_s) QVERIFY(!alphabet.contains(c));
        constexpr int codes = 32 * 400;
        std::array<std::array<int, 32>, 16> counts{};
        for (int i = 0; i < codes; ++i) {
            const QString code = generateCode(&secureRandom64);
            QCOMPARE(code.size(), 16);
            for (int p = 0; p < 16; ++p) {
                QVERIFY2(alphabet.contains(code[p]), qPrintable(code));
                ++counts[p][alphabet.indexOf(code[p])];
            }
        }
        // Chi-square with 31 degrees of freedom: a fair generator stays below 84 at all but one
        // position in a million runs; one that never draws a character, or favours some, goes
        // far above it with this many codes.
        const double expected = codes / 32.0;
        for (int p = 0; p < 16; ++p) {
            double chi = 0;
            for (int count : counts[p]) chi += (count - expected) * (count - expected) / expected;
            QVERIFY2(chi < 84.0, qPrintable(u"position %1: %2"_s.arg(p).arg(chi)));
        }
    }

    // The index is the top half of random * n; a low half below (2^64 - n) mod n is drawn again.
    void drawsAreTakenFromTheTopAndRejectedBelowTheThreshold_data() {
        QTest::addColumn<quint64>("n");
        QTest::addColumn<QList<quint64>>("draws");
        QTest::addColumn<quint64>("index");
        const quint64 ones = ~quint64(0);
        // Threshold 0: even a product whose low half is 0 is taken.
        QTest::addRow("32, zero") << quint64(32) << QList<quint64>{0} << quint64(0);
        QTest::addRow("32, all ones") << quint64(32) << QList<quint64>{ones} << quint64(31);
        QTest::addRow("32, top bits") << quint64(32) << QList<quint64>{5ull << 59 | 12345} << 5ull;
        // Threshold 6: 10r = 2^64 + 4 and 0 are rejected, 10r = 2^64 + 14 gives 1.
        QTest::addRow("10, two rejected")
            << quint64(10) << QList<quint64>{1844674407370955162ull, 0, 1844674407370955163ull}
            << quint64(1);
        // 10 (2^64 - 1) = 9 * 2^64 + (2^64 - 10).
        QTest::addRow("10, all ones") << quint64(10) << QList<quint64>{ones} << quint64(9);
        // Threshold 1: 0 is rejected, 3 * 2^63 = 2^64 + 2^63.
        QTest::addRow("3, one rejected") << quint64(3) << QList<quint64>{0, 1ull << 63} << 1ull;
    }
    void drawsAreTakenFromTheTopAndRejectedBelowTheThreshold() {
        QFETCH(quint64, n);
        QFETCH(QList<quint64>, draws);
        QFETCH(quint64, index);
        qsizetype used = 0;
        QCOMPARE(boundedDraw(n, [&] { return draws.value(used++); }), index);
        QCOMPARE(used, draws.size());
    }

    // Sixteen user-perceived characters make a code long enough, not sixteen code units.
    void lengthCountsUserPerceivedCharacters_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("length");
        QTest::addRow("15 letters") << u"ABCDEFGHJKLMNPQ"_s << 15;
        QTest::addRow("any 16 characters") << u"abc def ghi jklm"_s << 16;
        // e + combining acute accent: two code points, one character.
        QTest::addRow("16 accented") << u"e\u0301"_s.repeated(16) << 16;
        QTest::addRow("15 accented") << u"e\u0301"_s.repeated(15) << 15;
        // Flags are pairs of regional indicators; a family is one ZWJ sequence.
        QTest::addRow("16 flags")
            << QString::fromUtf8("\xf0\x9f\x87\xae\xf0\x9f\x87\xb9").repeated(16) << 16;
        const QString family = QString::fromUtf8(
            "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7");
        QTest::addRow("a family") << family << 1;
        QTest::addRow("16 families") << family.repeated(16) << 16;
    }
    void lengthCountsUserPerceivedCharacters() {
        QFETCH(QString, code);
        QFETCH(int, length);
        QCOMPARE(perceivedLength(code), length);
        QCOMPARE(isLongEnough(code), length >= 16);
    }
};

QTEST_GUILESS_MAIN(PairingCodeTest)
#include "tst_pairingcode.moc"
