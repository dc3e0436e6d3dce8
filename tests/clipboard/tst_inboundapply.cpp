#include <sys/mman.h>
#include <unistd.h>

#include <QJsonArray>
#include <cstring>

#include "clipboard/Digest.h"
#include "clipboard/ReceivedFiles.h"
#include "platform/Crypto.h"
#include "protocol/ClipMessageReader.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

namespace {

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

bool clipboardIsEmpty() {
    const QMimeData* mime = clipboard()->mimeData();
    return !mime || mime->formats().isEmpty();
}

}  // namespace

class InboundApplyTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::FakeBridge> m_bridge;

    QJsonObject clip(const QString& kind, const QByteArray& bytes) const {
        return {{u"v"_s, 1},
                {u"device"_s, u"linux-1"_s},
                {u"id"_s, u"any"_s},
                {u"kind"_s, kind},
                {u"data"_s, QString::fromLatin1(base64Encode(bytes))},
                {u"token"_s, m_bridge->service.token()}};
    }

    QByteArray frameOf(const QJsonObject& message) const {
        return *encodeFrame(QJsonDocument(message).toJson(QJsonDocument::Compact));
    }

    // How often the clipboard changes while the frames are applied.
    int clipboardChangesFrom(const QByteArray& frames) {
        QSignalSpy changes(clipboard(), &QClipboard::dataChanged);
        m_bridge->deliver(frames);
        return int(changes.count());
    }

    void send(const QJsonObject& message) { m_bridge->deliver(frameOf(message)); }
    void send(const QByteArray& json) { m_bridge->deliver(*encodeFrame(json)); }

    // Sends a message that must be ignored: nothing changes, not even lastDigest.
    void expectIgnored(const QByteArray& json, int line) {
        const QString untouched = u"untouched"_s;
        if (clipboard()->text() != untouched) {
            // Let the watcher take it in first, so that lastDigest holds still.
            clipboard()->setText(untouched);
            QTRY_VERIFY(m_bridge->service.lastDigest() ==
                        contentDigest("text", untouched.toUtf8()));
        }
        const auto digest = m_bridge->service.lastDigest();
        send(json);
        if (clipboard()->text() != u"untouched"_s || m_bridge->service.lastDigest() != digest) {
            QTest::qFail(json.left(200).constData(), __FILE__, line);
        }
    }
    void expectIgnored(const QJsonObject& message, int line) {
        expectIgnored(QJsonDocument(message).toJson(QJsonDocument::Compact), line);
    }

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }

    void init() {
        clipboard()->clear();
        QDir(test::dataHome() + u"/ClipwrenPlus"_s).removeRecursively();
        m_bridge = std::make_unique<test::FakeBridge>();
        m_bridge->connect();
    }

    void foreignAndMalformedMessagesAreIgnored() {
        const auto with = [this](const QString& key, const QJsonValue& value) {
            QJsonObject message = clip(u"text"_s, "hello");
            if (value.isUndefined())
                message.remove(key);
            else
                message[key] = value;
            return message;
        };
        expectIgnored(QByteArray("not json"), __LINE__);
        expectIgnored(QByteArray("[1,2]"), __LINE__);
        expectIgnored(QByteArray("\"text\""), __LINE__);
        expectIgnored(with(u"token"_s, QJsonValue::Undefined), __LINE__);
        expectIgnored(with(u"token"_s, 12), __LINE__);
        expectIgnored(with(u"token"_s, u"abcdefghjklmnpqr"_s), __LINE__);
        expectIgnored(with(u"token"_s, u"ABCDEFGHJKLMNPQR "_s), __LINE__);
        expectIgnored(with(u"device"_s, m_bridge->service.deviceID()), __LINE__);
        expectIgnored(with(u"v"_s, 2), __LINE__);
        expectIgnored(with(u"v"_s, u"1"_s), __LINE__);
        expectIgnored(with(u"v"_s, true), __LINE__);
        expectIgnored(with(u"v"_s, QJsonValue::Undefined), __LINE__);
        expectIgnored(with(u"kind"_s, QJsonValue::Undefined), __LINE__);
        expectIgnored(with(u"kind"_s, 3), __LINE__);
        expectIgnored(with(u"data"_s, QJsonValue::Undefined), __LINE__);
        expectIgnored(with(u"data"_s, QJsonArray()), __LINE__);
        expectIgnored(with(u"data"_s, u"aGVs\nbG8="_s), __LINE__);
        expectIgnored(with(u"data"_s, u"aGVsbG8"_s), __LINE__);
        expectIgnored(with(u"data"_s, QString()), __LINE__);
        // A hello from the peer has no kind and no data.
        expectIgnored(
            QJsonObject{
                {u"type"_s, u"hello"_s}, {u"token"_s, m_bridge->service.token()}, {u"v"_s, 1}},
            __LINE__);
        expectIgnored(clip(u"text"_s, QByteArray(maxReceivedData + 1, 'x')), __LINE__);
        // Anything after the object, or a shape that would cost the parser more than the body.
        const QByteArray valid =
            QJsonDocument(clip(u"text"_s, "hello")).toJson(QJsonDocument::Compact);
        expectIgnored(valid + " {}", __LINE__);
        expectIgnored(valid + "}", __LINE__);
        QByteArray dense = valid;
        dense.chop(1);
        dense += ",\"pad\":[" + QByteArray("0,").repeated(100'000) + "0]}";
        expectIgnored(dense, __LINE__);
        QVERIFY(!m_bridge->service.lastDigest() ||
                m_bridge->service.lastDigest() != contentDigest("text", "hello"));

        // What passes: no device at all, a device that is not text, an equivalent spelling of
        // the code, the largest data.
        send(with(u"device"_s, QJsonValue::Undefined));
        QCOMPARE(clipboard()->text(), u"hello"_s);
        QJsonObject numericDevice = clip(u"text"_s, "second");
        numericDevice[u"device"_s] = 7;
        send(numericDevice);
        QCOMPARE(clipboard()->text(), u"second"_s);

        m_bridge->service.setToken(u"caff\u00e8caff\u00e8caff\u00e8caff\u00e8"_s);
        QJsonObject decomposed = clip(u"text"_s, "third");
        decomposed[u"token"_s] = u"caffe\u0300caffe\u0300caffe\u0300caffe\u0300"_s;
        send(decomposed);
        QCOMPARE(clipboard()->text(), u"third"_s);

        send(clip(u"text"_s, QByteArray(maxReceivedData, 'y')));
        QCOMPARE(clipboard()->text().size(), maxReceivedData);
    }

    void readerNeedsNoSpareBytes() {
        const QString token = m_bridge->service.token();
        const QByteArray json = *clipMessage(u"text"_s, "hi", token, u"linux-1"_s).toJson();
        // A raw array that ends where readable memory ends.
        const auto page = qsizetype(::sysconf(_SC_PAGESIZE));
        auto* pages = static_cast<char*>(::mmap(nullptr, size_t(2 * page), PROT_READ | PROT_WRITE,
                                                MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        QVERIFY(pages != MAP_FAILED);
        QVERIFY(::mprotect(pages + page, size_t(page), PROT_NONE) == 0);
        char* start = pages + page - json.size();
        std::memcpy(start, json.constData(), size_t(json.size()));
        ClipMessageReader reader;
        const auto raw =
            reader.read(QByteArray::fromRawData(start, json.size()), token, u"mac-1"_s);
        ::munmap(pages, size_t(2 * page));
        QCOMPARE(raw ? raw->data : QByteArray(), QByteArray("hi"));

        // Free space at the front of an array, none at its end (an overrun shows under ASan).
        QByteArray shifted;
        shifted.reserve(128 + json.size());
        shifted.append(QByteArray(128, ' ')).append(json);
        shifted.remove(0, 128);
        const auto front = reader.read(shifted, token, u"mac-1"_s);
        QCOMPARE(front ? front->data : QByteArray(), QByteArray("hi"));
    }

    void knownContentIsNotAppliedAgain() {
        // Sent twice in a row, with another id: applied once (emptied, then written).
        QJsonObject again = clip(u"text"_s, "same");
        again[u"id"_s] = u"another id"_s;
        QCOMPARE(clipboardChangesFrom(frameOf(clip(u"text"_s, "same")) + frameOf(again)), 2);
        QCOMPARE(clipboard()->text(), u"same"_s);
        QCOMPARE(m_bridge->service.lastDigest(), std::optional(contentDigest("text", "same")));
        // Same bytes, another kind: another content.
        send(clip(u"image"_s, "same"));
        QCOMPARE(clipboard()->mimeData()->data(u"image/png"_s), QByteArray("same"));
    }

    void eachKindReachesTheClipboard() {
        const QByteArray notPng("\x00\x01 not a png", 12);
        send(clip(u"image"_s, notPng));
        QCOMPARE(clipboard()->mimeData()->formats(), QStringList{u"image/png"_s});
        QCOMPARE(clipboard()->mimeData()->data(u"image/png"_s), notPng);

        send(clip(u"text"_s, "\xc3\xa8 \xe2\x80\xa2"));
        QCOMPARE(clipboard()->text(), u"\u00e8 \u2022"_s);

        // Not valid UTF-8, or a kind we do not know: the clipboard is emptied, the content
        // becomes known all the same.
        for (const QByteArray& bad :
             {QByteArray("\xc0\xaf"), QByteArray("\xed\xa0\x80"), QByteArray("ok\xe2\x80")}) {
            clipboard()->setText(u"before"_s);
            send(clip(u"text"_s, bad));
            QVERIFY(clipboardIsEmpty());
            QCOMPARE(m_bridge->service.lastDigest(), std::optional(contentDigest("text", bad)));
        }
        clipboard()->setText(u"before"_s);
        const QByteArray rtf = frameOf(clip(u"rtf"_s, "{\\rtf1}"));
        QCOMPARE(clipboardChangesFrom(rtf + rtf), 1);  // emptied once; the repeat is known
        QVERIFY(clipboardIsEmpty());
    }

    void byteOrderMarksAreKeptAndNothingGoesBack() {
        const QByteArray bom("\xef\xbb\xbf");
        send(clip(QStringLiteral("text"), bom + "testo"));
        QCOMPARE(clipboard()->text().toUtf8(), bom + "testo");
        send(clip(QStringLiteral("file"), bom + "nome.txt" + '\0' + "x"));
        const QString path = clipboard()->mimeData()->urls().value(0).toLocalFile();
        QCOMPARE(QFileInfo(path).fileName().toUtf8(), bom + "nome.txt");
        // Read back as they came, both are known: a few ticks send nothing but the hello.
        test::spin(1000);
        QCOMPARE(m_bridge->sentMessages().size(), 1);
    }

    void receivedFilesAreStoredEachInItsOwnFolder() {
        send(clip(u"file"_s, QByteArray("a/b/c.txt\0x\0y", 13)));
        QStringList files = test::receivedFiles();
        QCOMPARE(files.size(), 1);
        QVERIFY(files[0].endsWith(u"/c.txt"_s));
        const QString first = test::receivedFolder() + u'/' + files[0];
        QFile stored(first);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), QByteArray("x\0y", 3));
        QCOMPARE(clipboard()->mimeData()->urls(), QList<QUrl>{QUrl::fromLocalFile(first)});

        send(clip(u"file"_s, QByteArray("c.txt\0other", 11)));
        files = test::receivedFiles();
        QCOMPARE(files.size(), 2);
        QVERIFY(files[0].section(u'/', 0, 0) != files[1].section(u'/', 0, 0));
        QVERIFY(files[0].endsWith(u"/c.txt"_s) && files[1].endsWith(u"/c.txt"_s));
    }

    void receivedNamesStayInsideTheirFolder_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("storedName");
        QTest::addRow("folders") << QByteArray("a/../b/c.txt") << u"c.txt"_s;
        // Names that leave nothing usable are kept as "file".
        for (const char* name : {"", ".", "..", "///", "../.."})
            QTest::addRow("'%s'", name) << QByteArray(name) << u"file"_s;
        // 300 bytes: shortened to 255, the extension kept, no two-byte letter split.
        const QString stem = u"\u00e8"_s.repeated(148);
        QTest::addRow("long") << (stem + u".pdf"_s).toUtf8() << stem.first(125) + u".pdf"_s;
    }
    void receivedNamesStayInsideTheirFolder() {
        QFETCH(QByteArray, name);
        QFETCH(QString, storedName);
        send(clip(u"file"_s, name + '\0' + "contents"));
        QVERIFY(clipboard()->mimeData());
        const QString path = clipboard()->mimeData()->urls().value(0).toLocalFile();
        const QString folder = test::receivedFolder() + u'/';
        QVERIFY2(path.startsWith(folder) && path.count(u'/') == folder.count(u'/') + 1,
                 qPrintable(path));
        QCOMPARE(QFileInfo(path).fileName(), storedName);
        QCOMPARE(QFileInfo(path).dir().dirName().size(), 36);
    }

    void nameWithNulIsRefusedByStore() {
        const auto stored = ReceivedFiles::store(u"a.txt"_s + QChar(0) + QLatin1Char('b'), "x");
        QVERIFY(stored.path.isEmpty());
        QVERIFY(!stored.error.isEmpty());
        QVERIFY(test::receivedFiles().isEmpty());
    }

    void unusableFilesEmptyTheClipboard() {
        const int storedBefore = test::receivedFiles().size();
        const QList<QByteArray> unusable = {
            QByteArray("no separator"), QByteArray("empty.txt\0", 10),
            QByteArray("\xc0\xaf.txt\0x", 8),                            // name not UTF-8
            QByteArray("big.bin\0", 8) + QByteArray(maxBytes + 1, 'z'),  // contents too large
        };
        for (const QByteArray& data : unusable) {
            clipboard()->setText(u"before"_s);
            send(clip(u"file"_s, data));
            QVERIFY(clipboardIsEmpty());
            QCOMPARE(m_bridge->service.lastDigest(), std::optional(contentDigest("file", data)));
        }
        QCOMPARE(test::receivedFiles().size(), storedBefore);
        QCOMPARE(m_bridge->service.status(), u"Connesso \u2022 sincronizzazione attiva"_s);
    }

    void saveFailureIsReported() {
        // A file where the folder should be: creating the per-file folder fails.
        QVERIFY(test::blockWithFile(test::receivedFolder()));
        clipboard()->setText(u"before"_s);
        const QByteArray data("a.txt\0hi", 8);
        send(clip(u"file"_s, data));
        QVERIFY(clipboardIsEmpty());
        const QString prefix = u"Non riesco a salvare il file ricevuto: "_s;
        QVERIFY2(m_bridge->service.status().startsWith(prefix),
                 qPrintable(m_bridge->service.status()));
        QVERIFY(m_bridge->service.status().size() > prefix.size());
        QCOMPARE(m_bridge->service.lastDigest(), std::optional(contentDigest("file", data)));
        QVERIFY(m_bridge->service.isConnected());  // nothing is torn down
        QVERIFY(QFile::remove(test::receivedFolder()));
    }
};

QTEST_MAIN(InboundApplyTest)
#include "tst_inboundapply.moc"
