// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include <QBuffer>
#include <QImage>

#include "clipboard/ChangeWatcher.h"
#include "clipboard/Digest.h"
#include "clipboard/Snapshot.h"
#include "platform/clipboard/QtPasteboard.h"
#include "support/Testing.h"

namespace {

using enum ContentKind;
using Formats = QMap<QString, QByteArray>;
using Urls = QList<QUrl>;

// What another program would put on the clipboard; nothing at all empties it.
void offer(const Formats& formats, const Urls& urls = {}) {
    if (formats.isEmpty() && urls.isEmpty()) return QGuiApplication::clipboard()->clear();
    auto* mime = new QMimeData;
    if (!urls.isEmpty()) mime->setUrls(urls);
    for (auto it = formats.begin(); it != formats.end(); ++it) mime->setData(it.key(), it.value());
    QGuiApplication::clipboard()->setMimeData(mime);
}

// What a payload sends: its kind's name, ':', its bytes.
QByteArray sent(const ClipboardPayload& payload) {
    return QByteArrayView(wireName(payload.kind)).toByteArray() + ':' + payload.bytes;
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
        const QString path = m_dir.filePath(name);
        test::writeFile(path, contents);
        if (size >= 0) QFile::resize(path, size);
        return QUrl::fromLocalFile(path);
    }

private Q_SLOTS:
    void snapshotTakesFileThenImageThenText_data() {
        QTest::addColumn<Formats>("formats");
        QTest::addColumn<Urls>("urls");
        QTest::addColumn<QByteArray>("sent");  // kind, ':', bytes; none: nothing to send
        QTest::addColumn<QString>("notSent");  // reason, name or type, size or count
        const Formats both{{png, "png bytes"}, {text, "words"}}, words{{text, "words"}};
        const QUrl folder = QUrl::fromLocalFile(m_dir.path());
        QTest::addRow("of several files the first, and the rest named")
            << both << Urls{makeFile(u"nine.txt1"_s, "a\0b"_ba), makeFile(u"second.txt"_s, "2")}
            << "file:nine.txt1\0a\0b"_ba << u"files nine.txt1 2"_s;
        QTest::addRow("of several files none, when the first cannot cross")
            << words << Urls{folder, makeFile(u"third.txt"_s, "3")} << QByteArray()
            << u"files  2"_s;
        QTest::addRow("the first local file, named in UTF-8")
            << Formats()
            << Urls{QUrl(u"https://example.org/a.txt"_s), makeFile(u"caff\u00e8.txt"_s, "hi")}
            << "file:caff\xc3\xa8.txt\0hi"_ba << QString();
        QTest::addRow("an empty file gives way to the image")
            << both << Urls{makeFile(u"empty"_s, {})} << "image:png bytes"_ba << QString();
        // Its path as text would paste as if it were the folder.
        QTest::addRow("a folder is named, not sent as text")
            << words << Urls{folder} << QByteArray() << u"folder "_s + folder.fileName() + u" 0";
        // 12 MiB of contents is the most a file may have, whatever its name; a larger one is
        // not read at all.
        QTest::addRow("the largest file")
            << words << Urls{makeFile(u"limit.bin"_s, {}, 12'582'912)}
            << "file:limit.bin"_ba + QByteArray(1 + 12'582'912, '\0') << QString();
        QTest::addRow("a larger file is named with its size")
            << words << Urls{makeFile(u"above.bin"_s, {}, 12'582'913)} << QByteArray()
            << u"tooLarge above.bin 12582913"_s;
        // Qt turns URLs into text of their own: a URL list alone is never sent as text.
        QTest::addRow("a web link alone") << Formats() << Urls{QUrl(u"https://example.org/"_s)}
                                          << QByteArray() << u"kind text/uri-list 0"_s;
        QTest::addRow("a kind of its own")
            << Formats{{u"application/x-foglio"_s, "celle"}} << Urls() << QByteArray()
            << u"kind application/x-foglio 0"_s;
        QTest::addRow("HTML alone, as its words")
            << Formats{{u"text/html"_s, "<p>Ciao <b>mondo</b>&nbsp;!</p>"}} << Urls()
            << "text:Ciao mondo !"_ba << QString();
        // Not validated, not even for length.
        QTest::addRow("PNG as it is, before TIFF")
            << Formats{{png, {}}, {tiff, test::samplePicture("TIFF")}} << Urls() << "image:"_ba
            << QString();
        QTest::addRow("a TIFF that does not decode gives way to the text")
            << Formats{{tiff, "II*"}, {text, "words"}} << Urls() << "text:words"_ba << QString();
        QTest::addRow("UTF-8 text")
            << Formats{{text, "\xc3\xa8 testo"}} << Urls() << "text:\xc3\xa8 testo"_ba << QString();
        QTest::addRow("empty text") << Formats{{text, ""}} << Urls() << QByteArray() << QString();
    }
    void snapshotTakesFileThenImageThenText() {
        QFETCH(Formats, formats);
        QFETCH(Urls, urls);
        offer(formats, urls);
        const ClipboardSnapshot snapshot = clipboardSnapshot(m_pasteboard);
        const auto& payload = snapshot.payload;
        QTEST(payload ? sent(*payload) : QByteArray(), "sent");
        const auto& notSent = snapshot.notSent;
        const QString reasons[] = {u"tooLarge"_s, u"folder"_s, u"files"_s, u"kind"_s};
        QTEST(notSent ? reasons[int(notSent->reason)] + u' ' +
                            (notSent->name.isEmpty() ? notSent->content : notSent->name) + u' ' +
                            QString::number(notSent->size + notSent->count)
                      : QString(),
              "notSent");
    }

    // Any image Qt reads crosses as PNG, the picture unchanged but for a lossy format's own loss.
    void otherImagesAreConvertedToPng_data() {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("lossless");
        QTest::addRow("TIFF") << "TIFF"_ba << true;
        QTest::addRow("BMP") << "BMP"_ba << true;
        QTest::addRow("JPEG") << "JPEG"_ba << false;
    }
    void otherImagesAreConvertedToPng() {
        QFETCH(QByteArray, format);
        QFETCH(bool, lossless);
        const QString type = u"image/"_s + QString::fromLatin1(format.toLower());
        offer({{type, test::samplePicture(format.constData())}, {text, "words"}});
        const auto payload = clipboardPayload(m_pasteboard);
        QCOMPARE(payload->kind, Image);
        QVERIFY(payload->bytes.startsWith("\x89PNG\r\n\x1a\n"));
        const QImage image =
            QImage::fromData(payload->bytes, "PNG").convertToFormat(QImage::Format_RGB32);
        const QImage original = QImage::fromData(test::samplePicture());
        QCOMPARE(image.size(), original.size());
        if (lossless) QCOMPARE(image, original);
    }

    void watcherSendsEachNewContentOnce() {
        KnownContent known;
        ChangeWatcher watcher(m_pasteboard);
        // What the watcher has to send once the clipboard holds this: kind, ':', bytes.
        const auto next = [&](const Formats& formats) -> QByteArray {
            offer(formats);
            const auto content = watcher.takeNewContent(known);
            if (!content) return "nothing";
            return content->payload ? sent(*content->payload) : QByteArray("not sent");
        };
        QCOMPARE(next({{text, "A"}}), "text:A");
        QCOMPARE(next({{text, "A"}}), "nothing");
        QCOMPARE(next({{text, "B"}}), "text:B");
        QCOMPARE(next({{text, "A"}}), "text:A");
        QCOMPARE(known.lastDigest(), std::optional(contentDigest(Text, "A")));
        // What cannot cross is named once, like any content.
        const Formats sheet{{u"application/x-foglio"_s, "celle"}};
        QCOMPARE(next(sheet), "not sent");
        QCOMPARE(next(sheet), "nothing");
        // Same bytes under another kind are another content.
        QCOMPARE(next({{png, "A"}}), "image:A");
        // An empty clipboard keeps lastDigest: the last content does not go again.
        QCOMPARE(next({}), "nothing");
        QCOMPARE(next({{png, "A"}}), "nothing");
        // Kept where a received clip could not be written: still not new, until it changes.
        offer({{text, "C"}});
        watcher.keepPresentContent();
        known.recordReceived(contentDigest(File, "not written"));
        QCOMPARE(next({{text, "C"}}), "nothing");
        QCOMPARE(next({{text, "D"}}), "text:D");
        // A file known by its digest alone is read again once it is new again.
        const QUrl url = makeFile(u"di nuovo.txt"_s, "contenuto");
        const auto nextFile = [&] {
            offer({}, {url});
            const auto content = watcher.takeNewContent(known);
            return content ? content->payload->bytes : QByteArray("nothing");
        };
        const QByteArray payload("di nuovo.txt\0contenuto", 22);
        QCOMPARE(nextFile(), payload);
        QCOMPARE(nextFile(), "nothing");
        QCOMPARE(next({{text, "E"}}), "text:E");
        QCOMPARE(nextFile(), payload);
    }

    void anUnchangedFileIsNotReadAgain() {
        const QUrl url = makeFile(u"stesso.txt"_s, "primo");
        offer({}, {url});
        SnapshotCache cache;
        const ClipboardSnapshot first = clipboardSnapshot(m_pasteboard, &cache);
        QVERIFY(first.payload && first.file);
        cache.keep(*first.file, "digest");
        // Known by its digest: not read a second time.
        const ClipboardSnapshot again = clipboardSnapshot(m_pasteboard, &cache);
        QVERIFY(!again.payload);
        QCOMPARE(again.knownPayloadDigest, "digest");

        // Rewritten in place with the same size: a new identity, read again.
        QFile file(url.toLocalFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("altro");
        // Later than the first write for certain, whatever the clock's granularity.
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(5),
                                 QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(clipboardSnapshot(m_pasteboard, &cache).payload->bytes,
                 QByteArray("stesso.txt\0altro", 16));
    }
};

QTEST_MAIN(SnapshotTest)
#include "tst_snapshot.moc"
