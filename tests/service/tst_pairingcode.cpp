#include <array>
#include <deque>

#include "platform/Crypto.h"
#include "service/PairingCode.h"
#include "support/Testing.h"

using namespace clipwren::pairing;

namespace {
RandomSource sequence(std::deque<quint64> values) {
    return [values = std::move(values)]() mutable {
        const quint64 next = values.front();
        values.pop_front();
        return next;
    };
}
}  // namespace

class PairingCodeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyPositionIsUniform() {
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
        // Letters and digits that are easily taken for one another never appear.
        for (const QChar c : u"IO01"_s) QVERIFY(!alphabet.contains(c));
        const double expected = codes / 32.0;
        for (int p = 0; p < 16; ++p) {
            double chi = 0;
            for (int count : counts[p]) chi += (count - expected) * (count - expected) / expected;
            QVERIFY2(chi < 84.0, qPrintable(u"position %1: %2"_s.arg(p).arg(chi)));
        }
    }

    void boundedDrawTakesTopBitsForThirtyTwo() {
        QCOMPARE(boundedDraw(32, sequence({0})), 0u);
        QCOMPARE(boundedDraw(32, sequence({~quint64(0)})), 31u);
        QCOMPARE(boundedDraw(32, sequence({quint64(5) << 59 | 12345})), 5u);
        // Threshold 0: even a product whose low half is 0 is taken, one draw per character.
        int draws = 0;
        const QString code = generateCode([&draws] {
            ++draws;
            return quint64(0);
        });
        QCOMPARE(code, QString(16, u'A'));
        QCOMPARE(draws, 16);
    }

    void boundedDrawRejectsBelowTheThreshold() {
        // n = 10: threshold (2^64 - 10) mod 10 = 6.
        // r = 1844674407370955162: 10r = 2^64 + 4, low 4 < 6, rejected.
        // r = 0: low 0, rejected. r = 1844674407370955163: 10r = 2^64 + 14, index 1.
        QCOMPARE(boundedDraw(10, sequence({1844674407370955162ull, 0, 1844674407370955163ull})),
                 1u);
        // 10 (2^64 - 1) = 9 * 2^64 + (2^64 - 10): index 9 at once.
        QCOMPARE(boundedDraw(10, sequence({~quint64(0)})), 9u);
        // n = 3: threshold 1; r = 0 is rejected, r = 2^63 gives 3 * 2^63 = 2^64 + 2^63.
        QCOMPARE(boundedDraw(3, sequence({0, quint64(1) << 63})), 1u);
    }

    // Sixteen user-perceived characters make a code long enough, not sixteen code units.
    void lengthCountsUserPerceivedCharacters_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("length");
        QTest::addRow("empty") << QString() << 0;
        QTest::addRow("15 letters") << u"ABCDEFGHJKLMNPQ"_s << 15;
        QTest::addRow("16 letters") << u"ABCDEFGHJKLMNPQR"_s << 16;
        QTest::addRow("any text will do") << u"abc def ghi jklm"_s << 16;
        // e + combining acute accent: two code points, one character.
        QTest::addRow("16 accented") << u"e\u0301"_s.repeated(16) << 16;
        QTest::addRow("15 accented") << u"e\u0301"_s.repeated(15) << 15;
        // Flags are pairs of regional indicators; a family is one ZWJ sequence.
        const QString italy = QString::fromUtf8("\xf0\x9f\x87\xae\xf0\x9f\x87\xb9");
        QTest::addRow("16 flags") << italy.repeated(16) << 16;
        const QString family = QString::fromUtf8(
            "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7");
        QTest::addRow("a family") << family << 1;
        QTest::addRow("15 families") << family.repeated(15) << 15;
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
