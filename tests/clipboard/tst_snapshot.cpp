#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include "clipboard/ChangeWatcher.h"
#include "clipboard/Digest.h"
#include "clipboard/Snapshot.h"
#include "platform/QtPasteboard.h"
#include "support/Testing.h"

namespace {

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

QImage sampleImage() {
    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.setPixel(3, 2, qRgb(250, 10, 20));
    return image;
}

using Formats = QMap<QString, QByteArray>;

// What another program would put on the clipboard; nothing at all empties it.
void offer(const Formats& formats, const QList<QUrl>& urls = {}) {
    if (formats.isEmpty() && urls.isEmpty()) return QGuiApplication::clipboard()->clear();
    auto* mime = new QMimeData;
    if (!urls.isEmpty()) mime->setUrls(urls);
    for (auto it = formats.begin(); it != formats.end(); ++it) mime->setData(it.key(), it.value());
    QGuiApplication::clipboard()->setMimeData(mime);
}

const QString png = u"image/png"_s;
const QString tiff = u"image/tiff"_s;
const QString text = u"text/plain"_s;

}  // namespace

class SnapshotTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QtPasteboard m_pasteboard;

    // A file of these contents, or of size bytes that take no room on the disk.
    QUrl makeFile(const QString& name, const QByteArray& contents, qint64 size = -1) {
        QFile file(m_dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(contents);
        if (size >= 0) file.resize(size);
        return QUrl::fromLocalFile(file.fileName());
    }

    std::optional<ClipboardPayload> snapshot() const { return clipboardPayload(m_pasteboard); }

private Q_SLOTS:
    void snapshotTakesFileThenImageThenText_data() {
        QTest::addColumn<Formats>("formats");
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("kind");  // none: nothing to send
        QTest::addColumn<QByteArray>("bytes");
        const Formats both{{png, "png bytes"}, {text, "words"}};
        const Formats words{{text, "words"}};
        QTest::addRow("the first file, before all else")
            << both
            << QList<QUrl>{makeFile(u"nine.txt1"_s, QByteArray("a\0b", 3)),
                           makeFile(u"second.txt"_s, "2")}
            << u"file"_s << QByteArray("nine.txt1\0a\0b", 13);
        QTest::addRow("the first local file, named in UTF-8")
            << Formats()
            << QList<QUrl>{QUrl(u"https://example.org/a.txt"_s),
                           makeFile(u"caff\u00e8.txt"_s, "hi")}
            << u"file"_s << QByteArray("caff\xc3\xa8.txt\0hi", 13);
        QTest::addRow("an empty file gives way to the image")
            << both << QList<QUrl>{makeFile(u"empty"_s, {})} << u"image"_s
            << QByteArray("png bytes");
        QTest::addRow("a folder gives way to the text")
            << words << QList<QUrl>{QUrl::fromLocalFile(m_dir.path())} << u"text"_s
            << QByteArray("words");
        QTest::addRow("a missing file gives way to the text")
            << words << QList<QUrl>{QUrl::fromLocalFile(m_dir.filePath(u"missing"_s))} << u"text"_s
            << QByteArray("words");
        // Not validated, not even for length.
        QTest::addRow("PNG as it is, before TIFF")
            << Formats{{png, {}}, {tiff, encoded(sampleImage(), "TIFF")}} << QList<QUrl>()
            << u"image"_s << QByteArray();
        QTest::addRow("a TIFF that does not decode gives way to the text")
            << Formats{{tiff, "II*"}, {text, "words"}} << QList<QUrl>() << u"text"_s
            << QByteArray("words");
        QTest::addRow("a TIFF that does not decode, alone")
            << Formats{{tiff, "garbage"}} << QList<QUrl>() << QString() << QByteArray();
        QTest::addRow("UTF-8 text") << Formats{{text, "\xc3\xa8 testo"}} << QList<QUrl>()
                                    << u"text"_s << QByteArray("\xc3\xa8 testo");
        QTest::addRow("empty text")
            << Formats{{text, ""}} << QList<QUrl>() << QString() << QByteArray();
        QTest::addRow("another type only") << Formats{{u"application/x-other"_s, "x"}}
                                           << QList<QUrl>() << QString() << QByteArray();
        QTest::addRow("an empty clipboard")
            << Formats() << QList<QUrl>() << QString() << QByteArray();
    }
    void snapshotTakesFileThenImageThenText() {
        QFETCH(Formats, formats);
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        offer(formats, urls);
        const auto payload = snapshot();
        QCOMPARE(payload ? payload->kind : QString(), kind);
        if (payload) QCOMPARE(payload->bytes, bytes);
    }

    void fileSizeLimitIsInclusive() {
        const QUrl atLimit = makeFile(u"limit.bin"_s, {}, 12'582'912);
        offer({{text, "beside"}}, {atLimit});
        auto payload = snapshot();
        QCOMPARE(payload->kind, u"file"_s);
        QCOMPARE(payload->bytes.size(), qsizetype(9 + 1 + 12'582'912));
        // The payload is over the limit: the watcher reports it once, as too large, and
        // then knows it like any other content.
        std::optional<QByteArray> lastDigest = QByteArray("previous");
        ChangeWatcher watcher(m_pasteboard);
        const auto content = watcher.takeNewContent(lastDigest);
        QVERIFY(content && content->tooLarge);
        QCOMPARE(lastDigest, contentDigest("file", payload->bytes));
        QVERIFY(!watcher.takeNewContent(lastDigest));

        const QUrl above = makeFile(u"above.bin"_s, {}, 12'582'913);
        offer({{text, "beside"}}, {above});
        payload = snapshot();
        QCOMPARE(payload->kind, u"text"_s);
        QCOMPARE(payload->bytes, QByteArray("beside"));
    }

    void tiffIsConvertedToPng() {
        offer({{tiff, encoded(sampleImage(), "TIFF")}, {text, "words"}});
        const auto payload = snapshot();
        QCOMPARE(payload->kind, u"image"_s);
        QVERIFY(payload->bytes.startsWith("\x89PNG\r\n\x1a\n"));
        QCOMPARE(QImage::fromData(payload->bytes, "PNG").convertToFormat(QImage::Format_RGB32),
                 sampleImage());
    }

    void watcherSendsEachNewContentOnce() {
        std::optional<QByteArray> lastDigest;
        ChangeWatcher watcher(m_pasteboard);
        const auto take = [&] { return watcher.takeNewContent(lastDigest); };
        offer({{text, "A"}});
        QCOMPARE(take()->payload.bytes, QByteArray("A"));
        QVERIFY(!take()->tooLarge);
        QVERIFY(!take());
        offer({{text, "B"}});
        QCOMPARE(take()->payload.bytes, QByteArray("B"));
        offer({{text, "A"}});
        QCOMPARE(take()->payload.bytes, QByteArray("A"));
        QCOMPARE(lastDigest, std::optional<QByteArray>(contentDigest("text", "A")));

        // Same bytes under another kind are another content.
        offer({{png, "A"}});
        QCOMPARE(take()->payload.kind, u"image"_s);

        // An empty clipboard keeps lastDigest: the last content does not go again.
        QGuiApplication::clipboard()->clear();
        QVERIFY(!take());
        offer({{png, "A"}});
        QVERIFY(!take());

        // Present at connect time: recorded, never sent.
        offer({{text, "present"}});
        watcher.recordPresentContent(lastDigest);
        QVERIFY(!take());
    }

    void anUnchangedFileIsNotReadAgain() {
        const QUrl url = makeFile(u"stesso.txt"_s, "primo");
        offer({}, {url});
        SnapshotCache cache;
        const auto first = clipboardPayload(m_pasteboard, &cache);
        // The very same bytes: nothing was read (or hashed by the watcher) a second time.
        QCOMPARE(clipboardPayload(m_pasteboard, &cache)->bytes.constData(),
                 first->bytes.constData());

        // Rewritten in place with the same size: a new identity, read again.
        QFile file(url.toLocalFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("altro");
        // Later than the first write for certain, whatever the clock's granularity.
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(5),
                                 QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(clipboardPayload(m_pasteboard, &cache)->bytes,
                 QByteArray("stesso.txt\0altro", 16));
    }
};

QTEST_MAIN(SnapshotTest)
#include "tst_snapshot.moc"
