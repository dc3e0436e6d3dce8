// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/Crypto.h"
#include "platform/Utf8.h"
#include "support/Testing.h"

class CryptoTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sha256OfPartsEqualsSha256OfWhole() {
        // FIPS 180-2 test vectors for "abc" and for nothing at all.
        QCOMPARE(sha256({"a", "", "bc"}).toHex(),
                 QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
        QCOMPARE(sha256({}).toHex().left(16), QByteArray("e3b0c44298fc1c14"));
    }

    void base64EncodeMatchesRfc4648() {
        // The encodings of "", "f", "fo", ... "foobar".
        const QByteArrayList encoded = {"",         "Zg==",     "Zm8=",    "Zm9v",
                                        "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
        for (qsizetype n = 0; n < encoded.size(); ++n) {
            QCOMPARE(base64Encode(QByteArray("foobar").left(n)), encoded[n]);
            QCOMPARE(base64DecodeStrict(encoded[n]), std::optional(QByteArray("foobar").left(n)));
        }
        QVERIFY(!base64Encode(QByteArray(100'000, 'x')).contains('\n'));
    }

    void strictDecodingRejectsEverythingButCanonicalForm() {
        // A length not a multiple of four, white space (OpenSSL alone would skip it at the
        // ends), padding inside, the URL-safe alphabet, NULs, and bits after the last byte that
        // are not zero (only "QQ==" means "A").
        for (const QByteArray& text :
             {"Zg="_ba, "Zm9v\nYmFy"_ba, "    Zm9v"_ba, "Zm9v    "_ba, "aGk=aGk="_ba, "Z==="_ba,
              "Zm9-"_ba, "Zm9v\0\0\0\0"_ba, "QR=="_ba, "Zm9="_ba})
            QVERIFY2(!base64DecodeStrict(text), text.constData());
    }

    void utf8ValidationIsStrict() {
        for (const char* valid : {"", "plain", "\xc3\xa8 \xe2\x80\xa2 \xf0\x9f\x98\x80"})
            QVERIFY2(isValidUtf8(valid), valid);
        // Overlong (two and three bytes), a surrogate, truncated, above U+10FFFF, never UTF-8.
        for (const char* bad :
             {"\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xe2\x80", "\xf4\x90\x80\x80", "\xff"})
            QVERIFY2(!isValidUtf8(bad), bad);
    }
};

QTEST_GUILESS_MAIN(CryptoTest)
#include "tst_crypto.moc"
