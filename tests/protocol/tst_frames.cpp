// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include <QtEndian>

#include "platform/Crypto.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"
#include "support/Testing.h"

namespace {

QByteArray lengthField(quint32 length) {
    QByteArray field(4, Qt::Uninitialized);
    qToBigEndian(length, field.data());
    return field;
}

QByteArray frame(const QByteArray& body) {
    return lengthField(quint32(body.size())) + body;
}

}  // namespace

class FramesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void outboundFraming() {
        QCOMPARE(*Message().toFrame(), QByteArray("\x00\x00\x00\x02{}", 6));
        const QString text(maxFrameBody - 8, u'x');  // {"d":"..."}: the largest body
        QCOMPARE(Message().set("d", text).toFrame()->size(), qsizetype(maxFrameBody) + 4);
        QVERIFY(!Message().set("d", text + u'x').toFrame());

        // Handed over a slice at a time, the Base64 made as it goes: the same bytes, whatever
        // the slice and however the payload ends against Base64's groups of three.
        for (const qsizetype size : {0, 1, 2, 3, 100'000}) {
            const QByteArray payload(size, '\xfe');
            const Message clip = Message().set("a", u"x"_s).setBase64("data", payload).set("z", 1);
            const QByteArray json = *clip.toJson();
            QByteArray expected(4, '\0');
            qToBigEndian(quint32(json.size()), expected.data());
            expected += json;
            QVERIFY(json.contains(QByteArray(base64Encode(payload) + "\",\"z\":1}")));
            for (const qsizetype slice : {4, 7, 1 << 18}) {
                OutgoingBytes outgoing = *clip.toOutgoing();
                QCOMPARE(outgoing.size(), expected.size());
                QByteArray taken;
                while (!outgoing.atEnd()) taken += outgoing.take(slice);
                QCOMPARE(taken, expected);
            }
            QCOMPARE(*clip.toFrame(), expected);
        }

        // A message that cannot be written as UTF-8 is not sent at all.
        Message broken;
        broken.set("token", QString(QChar(0xD800)));
        QVERIFY(!broken.toJson());

        const QString token = u"quote\" back\\ \x01\x1f"_s;
        const QByteArray json = *helloMessage(token, u"mac-1"_s).toJson();
        QVERIFY(json.contains("\\\\ \\u0001\\u001f\""));  // escaped, as strict readers demand
        const QJsonObject hello = QJsonDocument::fromJson(json).object();
        QCOMPARE(hello, (QJsonObject{{u"type"_s, u"hello"_s},
                                     {u"token"_s, token},
                                     {u"v"_s, 1},
                                     {u"device"_s, u"mac-1"_s}}));
    }

    void framesAreCutInStreamOrder_data() {
        QTest::addColumn<QByteArrayList>("reads");   // what arrives, read by read
        QTest::addColumn<QByteArrayList>("bodies");  // what is cut, in order
        QTest::addColumn<QByteArray>("kept");        // what stays in the buffer
        QTest::addColumn<bool>("corrupt");
        const QByteArray four = frame("four"), next = frame("next");
        QTest::addRow("a length over two reads")
            << QByteArrayList{frame("one").left(2), frame("one").mid(2)} << QByteArrayList{"one"}
            << QByteArray() << false;
        QTest::addRow("three frames and a bit")
            << QByteArrayList{frame("a") + frame("b") + frame("c") + four.left(3), four.mid(3)}
            << QByteArrayList{"a", "b", "c", "four"} << QByteArray() << false;
        // A large one's buffer is made ready while it fills: every byte written meanwhile stays.
        const QByteArray large = QByteArray("abcdefghijklmnopqrstuvw").repeated(140'000);
        const QByteArray whole = frame(large);
        QTest::addRow("a large frame in slices, and a bit")
            << QByteArrayList{whole.left(3), whole.mid(3, 70'001), whole.mid(70'004, 2 << 20),
                              whole.mid(70'004 + (2 << 20)) + next.left(5)}
            << QByteArrayList{large} << next.left(5) << false;
        QTest::addRow("the largest length waits for its body")
            << QByteArrayList{lengthField(maxFrameBody) + "{"} << QByteArrayList()
            << lengthField(maxFrameBody) + "{" << false;
        // A frame before a bad length is cut; from the length on nothing is looked at.
        for (const quint32 length : {0u, quint32(maxFrameBody) + 1, 0xFFFFFFFFu}) {
            const QByteArray rest = lengthField(length) + frame("never");
            QTest::addRow("length %u", length)
                << QByteArrayList{frame("kept") + rest} << QByteArrayList{"kept"} << rest << true;
        }
    }
    void framesAreCutInStreamOrder() {
        QFETCH(QByteArrayList, reads);
        QFETCH(QByteArrayList, bodies);
        QFETCH(QByteArray, kept);
        QFETCH(bool, corrupt);
        QByteArray buffer;
        QByteArrayList cut;
        CutResult result = CutResult::NeedMore;
        for (const QByteArray& read : reads) {
            QVERIFY(result == CutResult::NeedMore);
            buffer += read;
            result = cutFrames(buffer, [&](QByteArray body) { cut.append(body); });
        }
        QCOMPARE(cut, bodies);
        QCOMPARE(buffer, kept);
        QCOMPARE(result == CutResult::Corrupt, corrupt);
    }
};

QTEST_MAIN(FramesTest)
#include "tst_frames.moc"
