// The clipboard shared with other programs, on a real X server: what xclip offers is what
// the snapshot reads, and what we write is what xclip reads back, byte for byte.
#include <QBuffer>
#include <QDeadlineTimer>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "clipboard/ChangeWatcher.h"
#include "clipboard/Digest.h"
#include "clipboard/Snapshot.h"
#include "platform/PasswordManagerHint.h"
#include "platform/QtPasteboard.h"
#include "support/TestEnvironment.h"

using namespace clipwren;

namespace {

// Runs xclip while our event loop keeps serving the clipboard we may own.
QByteArray xclip(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    process.start(
        QStringLiteral("xclip"),
        QStringList{QStringLiteral("-selection"), QStringLiteral("clipboard")} + arguments);
    if (!process.waitForStarted()) qFatal("xclip did not start");
    if (!input.isNull()) {
        process.write(input);
        process.closeWriteChannel();
    }
    QDeadlineTimer deadline(10000);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QTest::qWait(10);
    }
    return process.readAllStandardOutput();
}

// xclip -i stays behind to serve the selection (it ends with the X server); wait until it
// owns the clipboard.
void offerWithXclip(const QString& type, const QByteArray& bytes) {
    xclip({QStringLiteral("-t"), type, QStringLiteral("-i")}, bytes);
    QTRY_COMPARE_WITH_TIMEOUT(xclip({QStringLiteral("-t"), type, QStringLiteral("-o")}), bytes,
                              10000);
}

}  // namespace

class PasteboardX11Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void snapshotReadsWhatOtherProgramsCopy() {
        const QByteArray text("gr\xc3\xbc\xc3\x9f dich \xe2\x80\xa2 \xf0\x9f\x98\x80");
        offerWithXclip(QStringLiteral("UTF8_STRING"), text);
        auto payload = clipboardPayload(QtPasteboard());
        QVERIFY(payload);
        QCOMPARE(payload->kind, QStringLiteral("text"));
        QCOMPARE(payload->bytes, text);

        const QByteArray png = test::samplePng();
        offerWithXclip(QStringLiteral("image/png"), png);
        QTRY_VERIFY(clipboardPayload(QtPasteboard())->kind == QStringLiteral("image"));
        QCOMPARE(clipboardPayload(QtPasteboard())->bytes, png);

        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("nota bene.txt")));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray("x\0y", 3));
        file.close();
        const QByteArray uriList = QUrl::fromLocalFile(file.fileName()).toEncoded() + "\r\n";
        offerWithXclip(QStringLiteral("text/uri-list"), uriList);
        QTRY_VERIFY(clipboardPayload(QtPasteboard())->kind == QStringLiteral("file"));
        QCOMPARE(clipboardPayload(QtPasteboard())->bytes, QByteArray("nota bene.txt\0x\0y", 17));
    }

    void otherProgramsReadWhatWeWrite() {
        QtPasteboard pasteboard;
        const QString text = QStringLiteral("caff\u00e8 \u2022 ok");
        pasteboard.clearContents();
        pasteboard.setString(text.toUtf8());
        QCOMPARE(xclip({QStringLiteral("-o")}), text.toUtf8());
        QCOMPARE(clipboardPayload(QtPasteboard())->bytes, text.toUtf8());

        const QByteArray png = test::samplePng();
        pasteboard.clearContents();
        pasteboard.setPNG(png);
        QCOMPARE(xclip({QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-o")}),
                 png);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ricevuto.txt"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("contents");
        file.close();
        pasteboard.clearContents();
        pasteboard.writeFileURL(path);
        const QByteArray url = QUrl::fromLocalFile(path).toEncoded();
        QCOMPARE(
            xclip({QStringLiteral("-t"), QStringLiteral("text/uri-list"), QStringLiteral("-o")})
                .trimmed(),
            url);
        QCOMPARE(xclip({QStringLiteral("-t"), QStringLiteral("x-special/gnome-copied-files"),
                        QStringLiteral("-o")}),
                 "copy\n" + url);
        QCOMPARE(pasteboard.fileURLs(), QList<QUrl>{QUrl::fromLocalFile(path)});
        QCOMPARE(clipboardPayload(QtPasteboard())->bytes, QByteArray("ricevuto.txt\0contents", 21));
    }

    // A password manager offers its copy with a hint type beside the text: the watcher knows
    // the content from then on, and marks it to stay here.
    void passwordManagerHintIsSeen_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("hint");
        QTest::addRow("marked secret")
            << QByteArray("hunter2 \xe2\x9c\x93") << QByteArray("secret");
        QTest::addRow("unmarked") << QByteArray("just text") << QByteArray();
    }
    void passwordManagerHintIsSeen() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, hint);
        QStringList offered{QStringLiteral("text/plain"), QString::fromUtf8(text)};
        if (!hint.isNull()) {
            offered << QString::fromLatin1(passwordManagerHintType) << QString::fromUtf8(hint);
        }
        QProcess helper;
        helper.start(QStringLiteral(OFFER_CLIPBOARD_PATH), offered);
        QVERIFY(helper.waitForReadyRead(10000));
        QtPasteboard pasteboard;
        QTRY_COMPARE_WITH_TIMEOUT(pasteboard.string(), std::optional(text), 10000);

        ChangeWatcher watcher(pasteboard);
        std::optional<QByteArray> lastDigest;
        const auto content = watcher.takeNewContent(lastDigest);
        QVERIFY(content);
        QCOMPARE(content->payload.bytes, text);
        QCOMPARE(content->secret, !hint.isNull());
        QCOMPARE(lastDigest, contentDigest("text", text));
        helper.kill();
        helper.waitForFinished();
    }
};

QTEST_MAIN(PasteboardX11Test)
#include "tst_pasteboard_x11.moc"
