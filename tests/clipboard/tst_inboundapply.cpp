#include <sys/mman.h>
#include <unistd.h>

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <cstring>

#include "clipboard/Digest.h"
#include "clipboard/ReceivedFiles.h"
#include "platform/Crypto.h"
#include "protocol/ClipMessageReader.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"
#include "support/FakeConnection.h"
#include "support/TestEnvironment.h"

using namespace clipwren;

namespace {

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

bool clipboardIsEmpty() {
    const QMimeData* mime = clipboard()->mimeData();
    return !mime || mime->formats().isEmpty();
}

QString receivedFolder() {
    return test::dataHome() + QStringLiteral("/ClipwrenPlus/Received");
}

QStringList receivedFiles() {
    QStringList files;
    const QDir folder(receivedFolder());
    for (const QString& sub : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time)) {
        for (const QString& name :
             QDir(folder.filePath(sub)).entryList(QDir::Files | QDir::Hidden)) {
            files.append(sub + u'/' + name);
        }
    }
    return files;
}

}  // namespace

class InboundApplyTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::FakeBridge> m_bridge;

    QJsonObject clip(const QString& kind, const QByteArray& bytes) const {
        return {{QStringLiteral("v"), 1},
                {QStringLiteral("device"), QStringLiteral("linux-1")},
                {QStringLiteral("id"), QStringLiteral("any")},
                {QStringLiteral("kind"), kind},
                {QStringLiteral("data"), QString::fromLatin1(base64Encode(bytes))},
                {QStringLiteral("token"), m_bridge->service.token()}};
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

    void send(const QJsonObject& message) {
        send(QJsonDocument(message).toJson(QJsonDocument::Compact));
    }
    void send(const QByteArray& json) { m_bridge->deliver(*encodeFrame(json)); }

    // Sends a message that must be ignored: nothing changes, not even lastDigest.
    void expectIgnored(const QByteArray& json, int line) {
        const QString untouched = QStringLiteral("untouched");
        if (clipboard()->text() != untouched) {
            // Let the watcher take it in first, so that lastDigest holds still.
            clipboard()->setText(untouched);
            QTRY_VERIFY(m_bridge->service.lastDigest() ==
                        contentDigest("text", untouched.toUtf8()));
        }
        const auto digest = m_bridge->service.lastDigest();
        send(json);
        if (clipboard()->text() != QStringLiteral("untouched") ||
            m_bridge->service.lastDigest() != digest) {
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
        QDir(test::dataHome() + QStringLiteral("/ClipwrenPlus")).removeRecursively();
        m_bridge = std::make_unique<test::FakeBridge>();
        m_bridge->connect();
    }

    void foreignAndMalformedMessagesAreIgnored() {
        const auto with = [this](const QString& key, const QJsonValue& value) {
            QJsonObject message = clip(QStringLiteral("text"), "hello");
            if (value.isUndefined())
                message.remove(key);
            else
                message[key] = value;
            return message;
        };
        expectIgnored(QByteArray("not json"), __LINE__);
        expectIgnored(QByteArray("[1,2]"), __LINE__);
        expectIgnored(QByteArray("\"text\""), __LINE__);
        expectIgnored(with(QStringLiteral("token"), QJsonValue::Undefined), __LINE__);
        expectIgnored(with(QStringLiteral("token"), 12), __LINE__);
        expectIgnored(with(QStringLiteral("token"), QStringLiteral("abcdefghjklmnpqr")), __LINE__);
        expectIgnored(with(QStringLiteral("token"), QStringLiteral("ABCDEFGHJKLMNPQR ")), __LINE__);
        expectIgnored(with(QStringLiteral("device"), m_bridge->service.deviceID()), __LINE__);
        expectIgnored(with(QStringLiteral("v"), 2), __LINE__);
        expectIgnored(with(QStringLiteral("v"), QStringLiteral("1")), __LINE__);
        expectIgnored(with(QStringLiteral("v"), true), __LINE__);
        expectIgnored(with(QStringLiteral("v"), QJsonValue::Undefined), __LINE__);
        expectIgnored(with(QStringLiteral("kind"), QJsonValue::Undefined), __LINE__);
        expectIgnored(with(QStringLiteral("kind"), 3), __LINE__);
        expectIgnored(with(QStringLiteral("data"), QJsonValue::Undefined), __LINE__);
        expectIgnored(with(QStringLiteral("data"), QJsonArray()), __LINE__);
        expectIgnored(with(QStringLiteral("data"), QStringLiteral("aGVs\nbG8=")), __LINE__);
        expectIgnored(with(QStringLiteral("data"), QStringLiteral("aGVsbG8")), __LINE__);
        expectIgnored(with(QStringLiteral("data"), QString()), __LINE__);
        // A hello from the peer has no kind and no data.
        expectIgnored(QJsonObject{{QStringLiteral("type"), QStringLiteral("hello")},
                                  {QStringLiteral("token"), m_bridge->service.token()},
                                  {QStringLiteral("v"), 1}},
                      __LINE__);
        expectIgnored(clip(QStringLiteral("text"), QByteArray(maxReceivedData + 1, 'x')), __LINE__);
        // Anything after the object, or a shape that would cost the parser more than the body.
        const QByteArray valid =
            QJsonDocument(clip(QStringLiteral("text"), "hello")).toJson(QJsonDocument::Compact);
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
        send(with(QStringLiteral("device"), QJsonValue::Undefined));
        QCOMPARE(clipboard()->text(), QStringLiteral("hello"));
        QJsonObject numericDevice = clip(QStringLiteral("text"), "second");
        numericDevice[QStringLiteral("device")] = 7;
        send(numericDevice);
        QCOMPARE(clipboard()->text(), QStringLiteral("second"));

        m_bridge->service.setToken(QStringLiteral("caff\u00e8caff\u00e8caff\u00e8caff\u00e8"));
        QJsonObject decomposed = clip(QStringLiteral("text"), "third");
        decomposed[QStringLiteral("token")] =
            QStringLiteral("caffe\u0300caffe\u0300caffe\u0300caffe\u0300");
        send(decomposed);
        QCOMPARE(clipboard()->text(), QStringLiteral("third"));

        send(clip(QStringLiteral("text"), QByteArray(maxReceivedData, 'y')));
        QCOMPARE(clipboard()->text().size(), maxReceivedData);
    }

    void readerNeedsNoSpareBytes() {
        const QString token = m_bridge->service.token();
        const QByteArray json =
            *clipMessage(QStringLiteral("text"), "hi", token, QStringLiteral("linux-1")).toJson();
        // A raw array that ends where readable memory ends.
        const auto page = qsizetype(::sysconf(_SC_PAGESIZE));
        auto* pages = static_cast<char*>(::mmap(nullptr, size_t(2 * page), PROT_READ | PROT_WRITE,
                                                MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        QVERIFY(pages != MAP_FAILED);
        QVERIFY(::mprotect(pages + page, size_t(page), PROT_NONE) == 0);
        char* start = pages + page - json.size();
        std::memcpy(start, json.constData(), size_t(json.size()));
        ClipMessageReader reader;
        const auto raw = reader.read(QByteArray::fromRawData(start, json.size()), token,
                                     QStringLiteral("mac-1"));
        ::munmap(pages, size_t(2 * page));
        QCOMPARE(raw ? raw->data : QByteArray(), QByteArray("hi"));

        // Free space at the front of an array, none at its end (an overrun shows under ASan).
        QByteArray shifted;
        shifted.reserve(128 + json.size());
        shifted.append(QByteArray(128, ' ')).append(json);
        shifted.remove(0, 128);
        const auto front = reader.read(shifted, token, QStringLiteral("mac-1"));
        QCOMPARE(front ? front->data : QByteArray(), QByteArray("hi"));
    }

    void knownContentIsNotAppliedAgain() {
        // Sent twice in a row, with another id: applied once (emptied, then written).
        QJsonObject again = clip(QStringLiteral("text"), "same");
        again[QStringLiteral("id")] = QStringLiteral("another id");
        QCOMPARE(
            clipboardChangesFrom(frameOf(clip(QStringLiteral("text"), "same")) + frameOf(again)),
            2);
        QCOMPARE(clipboard()->text(), QStringLiteral("same"));
        QCOMPARE(m_bridge->service.lastDigest(), std::optional(contentDigest("text", "same")));
        // Same bytes, another kind: another content.
        send(clip(QStringLiteral("image"), "same"));
        QCOMPARE(clipboard()->mimeData()->data(QStringLiteral("image/png")), QByteArray("same"));
    }

    void eachKindReachesTheClipboard() {
        const QByteArray notPng("\x00\x01 not a png", 12);
        send(clip(QStringLiteral("image"), notPng));
        QCOMPARE(clipboard()->mimeData()->formats(), QStringList{QStringLiteral("image/png")});
        QCOMPARE(clipboard()->mimeData()->data(QStringLiteral("image/png")), notPng);

        send(clip(QStringLiteral("text"), "\xc3\xa8 \xe2\x80\xa2"));
        QCOMPARE(clipboard()->text(), QStringLiteral("\u00e8 \u2022"));

        // Not valid UTF-8, or a kind we do not know: the clipboard is emptied, the content
        // becomes known all the same.
        for (const QByteArray& bad :
             {QByteArray("\xc0\xaf"), QByteArray("\xed\xa0\x80"), QByteArray("ok\xe2\x80")}) {
            clipboard()->setText(QStringLiteral("before"));
            send(clip(QStringLiteral("text"), bad));
            QVERIFY(clipboardIsEmpty());
            QCOMPARE(m_bridge->service.lastDigest(), std::optional(contentDigest("text", bad)));
        }
        clipboard()->setText(QStringLiteral("before"));
        const QByteArray rtf = frameOf(clip(QStringLiteral("rtf"), "{\\rtf1}"));
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
        send(clip(QStringLiteral("file"), QByteArray("a/b/c.txt\0x\0y", 13)));
        QStringList files = receivedFiles();
        QCOMPARE(files.size(), 1);
        QVERIFY(files[0].endsWith(QStringLiteral("/c.txt")));
        const QString first = receivedFolder() + u'/' + files[0];
        QFile stored(first);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), QByteArray("x\0y", 3));
        QCOMPARE(clipboard()->mimeData()->urls(), QList<QUrl>{QUrl::fromLocalFile(first)});

        send(clip(QStringLiteral("file"), QByteArray("c.txt\0other", 11)));
        files = receivedFiles();
        QCOMPARE(files.size(), 2);
        QVERIFY(files[0].section(u'/', 0, 0) != files[1].section(u'/', 0, 0));
        QVERIFY(files[0].endsWith(QStringLiteral("/c.txt")) &&
                files[1].endsWith(QStringLiteral("/c.txt")));

        // Names that leave nothing usable are kept as "file", inside their own folder.
        for (const QByteArray& name : {QByteArray(""), QByteArray("."), QByteArray(".."),
                                       QByteArray("///"), QByteArray("../..")}) {
            send(clip(QStringLiteral("file"), name + QByteArray(1, '\0') + name + "contents"));
            const QString path = clipboard()->mimeData()->urls().value(0).toLocalFile();
            QVERIFY2(path.startsWith(receivedFolder() + u'/'), qPrintable(path));
            QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("file"));
            QCOMPARE(QFileInfo(path).dir().dirName().size(), 36);
        }
    }

    void nameWithNulIsRefusedByStore() {
        const auto stored =
            ReceivedFiles::store(QStringLiteral("a.txt") + QChar(0) + QLatin1Char('b'), "x");
        QVERIFY(stored.path.isEmpty());
        QVERIFY(!stored.error.isEmpty());
        QVERIFY(receivedFiles().isEmpty());
    }

    void unusableFilesEmptyTheClipboard() {
        const int storedBefore = receivedFiles().size();
        const QList<QByteArray> unusable = {
            QByteArray("no separator"), QByteArray("empty.txt\0", 10),
            QByteArray("\xc0\xaf.txt\0x", 8),                            // name not UTF-8
            QByteArray("big.bin\0", 8) + QByteArray(maxBytes + 1, 'z'),  // contents too large
        };
        for (const QByteArray& data : unusable) {
            clipboard()->setText(QStringLiteral("before"));
            send(clip(QStringLiteral("file"), data));
            QVERIFY(clipboardIsEmpty());
            QCOMPARE(m_bridge->service.lastDigest(), std::optional(contentDigest("file", data)));
        }
        QCOMPARE(receivedFiles().size(), storedBefore);
        QCOMPARE(m_bridge->service.status(),
                 QStringLiteral("Connesso \u2022 sincronizzazione attiva"));
    }

    void saveFailureIsReported() {
        // A file where the folder should be: creating the per-file folder fails.
        QDir().mkpath(test::dataHome() + QStringLiteral("/ClipwrenPlus"));
        QFile blocker(receivedFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        clipboard()->setText(QStringLiteral("before"));
        const QByteArray data("a.txt\0hi", 8);
        send(clip(QStringLiteral("file"), data));
        QVERIFY(clipboardIsEmpty());
        const QString prefix = QStringLiteral("Non riesco a salvare il file ricevuto: ");
        QVERIFY2(m_bridge->service.status().startsWith(prefix),
                 qPrintable(m_bridge->service.status()));
        QVERIFY(m_bridge->service.status().size() > prefix.size());
        QCOMPARE(m_bridge->service.lastDigest(), std::optional(contentDigest("file", data)));
        QVERIFY(m_bridge->service.isConnected());  // nothing is torn down
        blocker.remove();
    }
};

QTEST_MAIN(InboundApplyTest)
#include "tst_inboundapply.moc"
