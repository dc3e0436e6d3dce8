#include <QtEndian>

#include "protocol/FrameCodec.h"
#include "protocol/Message.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

namespace {

QByteArray lengthField(quint32 length) {
    QByteArray field(4, Qt::Uninitialized);
    qToBigEndian(length, field.data());
    return field;
}

// Every text the clipboard has shown, in order, ignoring the empty moments in between.
class ClipboardTexts {
public:
    ClipboardTexts() {
        QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &m_context,
                         [this] {
                             const QString text = QGuiApplication::clipboard()->text();
                             if (!text.isEmpty()) texts.append(text);
                         });
    }
    QStringList texts;

private:
    QObject m_context;
};

}  // namespace

class FramesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }
    void init() { QGuiApplication::clipboard()->clear(); }

    void outboundFraming() {
        const auto frame = encodeFrame("{}");
        QCOMPARE(*frame, QByteArray("\x00\x00\x00\x02{}", 6));
        QVERIFY(!encodeFrame(QByteArray()));
        QCOMPARE(encodeFrame(QByteArray(maxFrameBody, 'x'))->size(), qsizetype(maxFrameBody) + 4);
        QVERIFY(!encodeFrame(QByteArray(maxFrameBody + 1, 'x')));

        // A message that cannot be written as UTF-8 is not sent at all.
        Message broken;
        broken.set("token", QString(QChar(0xD800)));
        QVERIFY(!broken.toJson());

        const auto hello = helloMessage(u"quote\" back\\ \x01"_s, u"mac-1"_s).toJson();
        const QJsonObject parsed = QJsonDocument::fromJson(*hello).object();
        QCOMPARE(parsed.size(), 4);
        QCOMPARE(parsed[u"token"_s].toString(), u"quote\" back\\ \x01"_s);
        QCOMPARE(parsed[u"v"_s].toInt(), 1);
    }

    void framesAreCutInStreamOrder() {
        test::FakeBridge bridge;
        bridge.connect();
        ClipboardTexts seen;

        // A length field split over two reads gives one frame, after the second read.
        const QByteArray one = bridge.clipFrame(u"text"_s, "one");
        bridge.deliver(one.left(2));
        QVERIFY(seen.texts.isEmpty());
        QCOMPARE(bridge.service.receiveBuffer(), one.left(2));
        bridge.deliver(one.mid(2));
        QCOMPARE(seen.texts, QStringList{u"one"_s});
        QVERIFY(bridge.service.receiveBuffer().isEmpty());

        // Three frames and three bytes of a fourth in one read.
        const QByteArray fourth = bridge.clipFrame(u"text"_s, "four");
        bridge.deliver(bridge.clipFrame(u"text"_s, "a") + bridge.clipFrame(u"text"_s, "b") +
                       bridge.clipFrame(u"text"_s, "c") + fourth.left(3));
        QCOMPARE(seen.texts, (QStringList{u"one"_s, u"a"_s, u"b"_s, u"c"_s}));
        QCOMPARE(bridge.service.receiveBuffer(), fourth.left(3));
        bridge.deliver(fourth.mid(3));
        QCOMPARE(seen.texts.last(), u"four"_s);

        // The smallest body: an empty object is cut (and ignored), the stream goes on.
        bridge.deliver(QByteArray("\x00\x00\x00\x02{}", 6) + bridge.clipFrame(u"text"_s, "after"));
        QCOMPARE(seen.texts.last(), u"after"_s);
        QVERIFY(bridge.service.isConnected());
        QCOMPARE(bridge.connection->reads, 6);  // the first read, then one after each delivery
        QCOMPARE(bridge.connection->lastReadMax, 65'536);

        // A large frame is handed over as the buffer itself; the bytes after it stay.
        const QByteArray large = bridge.clipFrame(u"text"_s, QByteArray(2 << 20, 'L'));
        const QByteArray next = bridge.clipFrame(u"text"_s, "next");
        bridge.deliver(large + next.left(5));
        QCOMPARE(seen.texts.last().size(), 2 << 20);
        QCOMPARE(bridge.service.receiveBuffer(), next.left(5));
        bridge.deliver(next.mid(5));
        QCOMPARE(seen.texts.last(), u"next"_s);
    }

    void largestLengthWaitsForItsBody() {
        test::FakeBridge bridge;
        bridge.connect();
        bridge.deliver(lengthField(maxFrameBody) + "{");
        QVERIFY(bridge.service.isConnected());
        QCOMPARE(bridge.service.receiveBuffer().size(), 5);
        QVERIFY(bridge.connection->hasPendingRead());
    }

    void corruptLengthStopsAtOnce() {
        for (const quint32 length : {0u, quint32(maxFrameBody) + 1, 0xFFFFFFFFu}) {
            QGuiApplication::clipboard()->clear();  // else "kept" is known at connect time
            test::FakeBridge bridge;
            bridge.connect();
            ClipboardTexts seen;
            const QPointer<test::FakeConnection> connection = bridge.connection;
            // A frame before the bad length keeps its effect; one after it is never looked at.
            bridge.deliver(bridge.clipFrame(u"text"_s, "kept") + lengthField(length) +
                           bridge.clipFrame(u"text"_s, "never"));
            QCOMPARE(seen.texts, QStringList{u"kept"_s});
            QVERIFY(!bridge.service.isConnected());
            QVERIFY(bridge.service.receiveBuffer().isEmpty());
            QVERIFY(!bridge.service.isWatching());
            QCOMPARE(bridge.service.status(), u"Connessione interrotta"_s);
            QTRY_VERIFY(connection.isNull());  // cancelled, then gone
        }
    }
};

QTEST_MAIN(FramesTest)
#include "tst_frames.moc"
