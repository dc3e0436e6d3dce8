// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "clipboard/Digest.h"
#include "clipboard/InboundApply.h"
#include "platform/Crypto.h"
#include "platform/clipboard/QtPasteboard.h"
#include "protocol/ClipMessageReader.h"
#include "protocol/Message.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

namespace {

using enum ContentKind;
// Not ASCII, so that an equivalent spelling of it can be sent.
const QString ourToken = u"caff\u00e8caff\u00e8caff\u00e8caff\u00e8"_s;

// A clip from the peer as JSON, key set to value, or taken out when value is undefined.
QByteArray clipJson(const QByteArray& data, const QString& key = {},
                    const QJsonValue& value = QJsonValue::Undefined) {
    QJsonObject message =
        QJsonDocument::fromJson(*clipMessage(Text, data, ourToken, u"linux-1"_s).toJson()).object();
    if (value.isUndefined())
        message.remove(key);
    else
        message[key] = value;
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

}  // namespace

class InboundApplyTest : public QObject {
    Q_OBJECT

    QClipboard* const clipboard = QGuiApplication::clipboard();
    QtPasteboard m_pasteboard;
    KnownContent m_known;

    Applied apply(ContentKind kind, const QByteArray& data) {
        return applyClip(ClipMessage{kind, data}, m_pasteboard, m_known);
    }

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }

    void init() {
        clipboard->clear();
        QDir(test::dataHome() + u"/ClipwrenPlus"_s).removeRecursively();
        m_known = {};
    }

    void onlyWellFormedClipsOfThePeerLand_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("landed");  // nothing: ignored
        const auto ignored = [](const char* name, const QByteArray& json) {
            QTest::newRow(name) << json << QByteArray();
        };
        const QJsonValue none = QJsonValue::Undefined;
        ignored("not JSON", "not json");
        ignored("an array", "[1,2]");
        ignored("no token", clipJson("hi", u"token"_s, none));
        ignored("the token in upper case", clipJson("hi", u"token"_s, ourToken.toUpper()));
        ignored("our own device", clipJson("hi", u"device"_s, u"mac-caff\u00e8"_s));
        ignored("our own device spelt another way",
                clipJson("hi", u"device"_s, u"mac-caffe\u0300"_s));
        ignored("version 2", clipJson("hi", u"v"_s, 2));
        ignored("version as text", clipJson("hi", u"v"_s, u"1"_s));
        ignored("no kind", clipJson("hi", u"kind"_s, none));
        ignored("a kind no one knows", clipJson("hi", u"kind"_s, u"rtf"_s));
        ignored("no data", clipJson("hi", u"data"_s, none));
        ignored("data with a line break", clipJson("hi", u"data"_s, u"aGVs\nbG8="_s));
        ignored("empty data", clipJson("hi", u"data"_s, QString()));
        ignored("data over the limit", clipJson(QByteArray(maxReceivedData + 1, 'x')));
        // Anything after the object, or a shape that would cost the parser more than the body.
        ignored("another object after it", clipJson("hi") + " {}");
        ignored("dense", clipJson("hi").chopped(1) + ",\"pad\":[" +
                             QByteArray("0,").repeated(100'000) + "0]}");

        const QString decomposed = u"caffe\u0300caffe\u0300caffe\u0300caffe\u0300"_s;
        QTest::newRow("the code spelt another way")
            << clipJson("hi", u"token"_s, decomposed) << QByteArray("hi");
        QTest::newRow("no device") << clipJson("hi", u"device"_s, none) << QByteArray("hi");
        QTest::newRow("data with escaped slashes")
            << clipJson("\xff\xff").replace("//8=", "\\/\\/8=") << "\xff\xff"_ba;
        const QByteArray largest(maxReceivedData, 'y');
        QTest::newRow("the largest data") << clipJson(largest) << largest;
    }
    void onlyWellFormedClipsOfThePeerLand() {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, landed);
        const auto clip = ClipMessageReader().read(json, ourToken, u"mac-caff\u00e8"_s);
        QCOMPARE(clip.has_value(), !landed.isNull());
        if (clip) QCOMPARE(clip->data, landed);
    }

    void readerNeedsNoSpareBytes() {
        const QByteArray json = clipJson("hi");
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
            reader.read(QByteArray::fromRawData(start, json.size()), ourToken, u"mac-1"_s);
        ::munmap(pages, size_t(2 * page));
        QCOMPARE(raw ? raw->data : QByteArray(), QByteArray("hi"));

        // Free space at the front of an array, none at its end (an overrun shows under ASan).
        QByteArray shifted;
        shifted.reserve(128 + json.size());
        shifted.append(QByteArray(128, ' ')).append(json).remove(0, 128);
        const auto front = reader.read(shifted, ourToken, u"mac-1"_s);
        QCOMPARE(front ? front->data : QByteArray(), QByteArray("hi"));
    }

    void eachKindReachesTheClipboard_data() {
        QTest::addColumn<ContentKind>("kind");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("format");  // none: the clipboard keeps what it had
        QTest::addRow("an image, as it came") << Image << "\x00\x01 not a png"_ba << u"image/png"_s;
        QTest::addRow("UTF-8 text, its byte order mark kept")
            << Text << "\xef\xbb\xbf\xc3\xa8 \xe2\x80\xa2"_ba << u"text/plain"_s;
        const auto kept = [](const char* name, ContentKind kind, const QByteArray& data) {
            QTest::newRow(name) << kind << data << QString();
        };
        kept("overlong UTF-8", Text, "\xc0\xaf");
        kept("a file without a name", File, "no separator");
        kept("an empty file", File, "empty.txt\0"_ba);
        kept("a name not in UTF-8", File, "\xc0\xaf.txt\0x"_ba);
        kept("a file too large", File, "big.bin\0"_ba + QByteArray(maxBytes + 1, 'z'));
    }
    void eachKindReachesTheClipboard() {
        QFETCH(ContentKind, kind);
        QFETCH(QByteArray, data);
        QFETCH(QString, format);
        clipboard->setText(u"before"_s);
        QSignalSpy changes(clipboard, &QClipboard::dataChanged);
        apply(kind, data);
        // Written in one change, or not at all; sent again with an id of its own, it is known.
        QCOMPARE(changes.count(), format.isEmpty() ? 0 : 1);
        QCOMPARE(apply(kind, data).outcome, Applied::Outcome::Known);
        QCOMPARE(changes.count(), format.isEmpty() ? 0 : 1);
        const QString shown = format.isEmpty() ? u"text/plain"_s : format;
        QCOMPARE(clipboard->mimeData()->formats(), QStringList{shown});
        QCOMPARE(clipboard->mimeData()->data(shown), format.isEmpty() ? "before"_ba : data);
        // Applied or not, the content is known from now on.
        QCOMPARE(m_known.lastDigest(), std::optional(contentDigest(kind, data)));
        QVERIFY(test::receivedFiles().isEmpty());
    }

    void receivedNamesStayInsideTheirFolder_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("storedName");
        QTest::addRow("folders") << QByteArray("a/../b/c.txt") << u"c.txt"_s;
        QTest::addRow("trailing slashes") << QByteArray("a/c.txt//") << u"c.txt"_s;
        QTest::addRow("a byte order mark") << "\xef\xbb\xbfnome.txt"_ba << u"\ufeffnome.txt"_s;
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
        apply(File, name + '\0' + QByteArray("x\0y", 3));
        const QString path = m_pasteboard.fileURLs().value(0).toLocalFile();
        const QString folder = test::receivedFolder() + u'/';
        QVERIFY2(path.startsWith(folder) && path.count(u'/') == folder.count(u'/') + 1,
                 qPrintable(path));
        QCOMPARE(QFileInfo(path).fileName(), storedName);
        QCOMPARE(QFileInfo(path).dir().dirName().size(), 36);
        QFile stored(path);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), QByteArray("x\0y", 3));

        // The same name again: a folder of its own.
        apply(File, name + '\0' + "other");
        const QStringList files = test::receivedFiles();
        QCOMPARE(files.size(), 2);
        QVERIFY(files[0].section(u'/', 0, 0) != files[1].section(u'/', 0, 0));
    }

    // A file that cannot be stored: the reason in the user's words, nothing left behind, and
    // what the user had copied still there.
    void saveFailureIsReportedAndTheClipboardKept_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");  // none: any reason but an unknown one
        QTest::addRow("its folder cannot be made") << "hi"_ba << QString();
        QTest::addRow("a full disk")
            << QByteArray(3'000'000, 'f') << u"Spazio esaurito sul device"_s;
    }
    void saveFailureIsReportedAndTheClipboardKept() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        const bool full = !reason.isEmpty();
        std::shared_ptr<void> disk;
        if (full) {
#ifdef Q_OS_LINUX
            disk = test::smallDisk(test::dataHome() + u"/ClipwrenPlus"_s, 1 << 20);
#endif
            if (!disk && ::geteuid() != 0) QSKIP("a small file system of our own needs root");
            QVERIFY2(disk, "a 1 MiB file system of our own (as root)");
        } else {
            QVERIFY(test::blockWithFile(test::receivedFolder()));
        }
        // Through the service: the reason is the user's to read.
        test::FakeBridge bridge;
        bridge.connect();
        clipboard->setText(u"before"_s);
        QTRY_COMPARE(bridge.connection->sent.size(), 2);  // the hello, then "before"
        // A clip that is not written does not send back what the user had either.
        bridge.deliver(bridge.clipFrame(u"text"_s, "\xc0\xaf"));
        bridge.lookTwice();
        QCOMPARE(bridge.connection->sent.size(), 2);
        const QByteArray message = "a.txt\0"_ba + contents;
        bridge.deliver(bridge.clipFrame(u"file"_s, message));
        QCOMPARE(clipboard->text(), u"before"_s);
        bridge.lookTwice();
        QCOMPARE(bridge.connection->sent.size(), 2);
        const QString prefix = u"Non riesco a salvare il file ricevuto: "_s;
        const QString status = bridge.service.status();
        QVERIFY2(status.startsWith(prefix) && status.size() > prefix.size(), qPrintable(status));
        QVERIFY2(!status.contains(u"sconosciuto"_s), qPrintable(status));
        if (full) QCOMPARE(status, prefix + reason);
        QCOMPARE(bridge.service.lastDigest(), std::optional(contentDigest(File, message)));
        QVERIFY(bridge.service.isConnected());  // nothing is torn down
        if (full) {
            QCOMPARE(
                QDir(test::receivedFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                QStringList());
        } else {
            QVERIFY(QFile::remove(test::receivedFolder()));
        }
    }
};

QTEST_MAIN(InboundApplyTest)
#include "tst_inboundapply.moc"
