#include "platform/Crypto.h"
#include "platform/Utf8.h"
#include "support/Testing.h"

class CryptoTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sha256OfPartsEqualsSha256OfWhole() {
        // FIPS 180-2 test vector for "abc".
        QCOMPARE(sha256({"abc"}).toHex(),
                 QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
        QCOMPARE(sha256({"a", "", "bc"}), sha256({"abc"}));
        QCOMPARE(sha256({}).size(), 32);
    }

    void base64EncodeMatchesRfc4648() {
        const QList<QPair<QByteArray, QByteArray>> vectors = {{"", ""},
                                                              {"f", "Zg=="},
                                                              {"fo", "Zm8="},
                                                              {"foo", "Zm9v"},
                                                              {"foob", "Zm9vYg=="},
                                                              {"fooba", "Zm9vYmE="},
                                                              {"foobar", "Zm9vYmFy"}};
        for (const auto& [plain, encoded] : vectors) {
            QCOMPARE(base64Encode(plain), encoded);
            QCOMPARE(base64DecodeStrict(encoded), std::optional<QByteArray>(plain));
        }
        const QByteArray binary("\x00\xff\xfe\x80\x7f", 5);
        QCOMPARE(base64DecodeStrict(base64Encode(binary)), std::optional<QByteArray>(binary));
        QVERIFY(!base64Encode(QByteArray(100'000, 'x')).contains('\n'));
    }

    void strictDecodingRejectsEverythingButCanonicalForm() {
        QCOMPARE(base64DecodeStrict(""), std::optional<QByteArray>(QByteArray()));
        const QList<QByteArray> invalid = {
            "Zg",          // missing padding
            "Zg=",         // short padding
            "Zm9v\nYmFy",  // line break
            "Zm9v\r\nYmFy",
            "Zm9v YmFy",  // space
            " Zm9vYmFy",  // leading blank (OpenSSL alone would skip it)
            "Zm9vYmFy ",
            "aGk=aGk=",  // padding in the middle
            "Zg=a",         "Z===",
            "====",
            "Zm9-",  // URL-safe alphabet is not ours
            "Zm9_",         QByteArray("Zm9v\0\0\0\0", 8),
            "Zm9\xc3\xa9",
            "QR==",  // bits after the last byte must be zero: only "QQ==" means "A"
            "Zm9=",
        };
        for (const QByteArray& text : invalid) {
            QVERIFY2(!base64DecodeStrict(text), text.constData());
        }
    }

    void utf8ValidationIsStrict() {
        QVERIFY(isValidUtf8(""));
        QVERIFY(isValidUtf8("plain"));
        QVERIFY(isValidUtf8("\xc3\xa8 \xe2\x80\xa2 \xf0\x9f\x98\x80"));
        QVERIFY(!isValidUtf8("\xc0\xaf"));          // overlong '/'
        QVERIFY(!isValidUtf8("\xe0\x80\xaf"));      // overlong, three bytes
        QVERIFY(!isValidUtf8("\xed\xa0\x80"));      // surrogate U+D800
        QVERIFY(!isValidUtf8("\xe2\x80"));          // truncated
        QVERIFY(!isValidUtf8("\xf4\x90\x80\x80"));  // above U+10FFFF
        QVERIFY(!isValidUtf8("\xff"));
    }

    void randomValuesDiffer() {
        QSet<quint64> seen;
        for (int i = 0; i < 1000; ++i) seen.insert(secureRandom64());
        QCOMPARE(seen.size(), 1000);
    }
};

QTEST_GUILESS_MAIN(CryptoTest)
#include "tst_crypto.moc"
