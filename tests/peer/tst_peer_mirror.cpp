// The peer's clipboard side on a real (offscreen) clipboard: what it sends, what it applies,
// and that nothing goes back where it came from.
#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>

#include "ClipboardMirror.h"
#include "clipboard/ClipboardPayload.h"
#include "platform/PasswordManagerHint.h"
#include "platform/QtPasteboard.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"
#include "support/Testing.h"

using namespace clipwren::peer;

namespace {

const QString code = u"K7MZQ4RT9WXC2HPV"_s;
const QString macDevice = u"mac-7D3F0C2A-4B1E-4F7A-9C55-0123456789AB"_s;

QByteArray body(const QString& kind, const QByteArray& bytes, const QString& token = code,
                const QString& device = macDevice) {
    return *clipMessage(kind, bytes, token, device).toJson();
}

QJsonObject messageIn(const QByteArray& frame) {
    QByteArray buffer = frame;
    QJsonObject message;
    const CutResult result = cutFrames(
        buffer, [&](const QByteArray& json) { message = QJsonDocument::fromJson(json).object(); });
    return result == CutResult::NeedMore && buffer.isEmpty() ? message : QJsonObject();
}

}  // namespace

class PeerMirrorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }

    void sendsEachNewContentOnce() {
        QtPasteboard pasteboard;
        ClipboardMirror mirror(code, pasteboard);
        QSignalSpy frames(&mirror, &ClipboardMirror::frameReady);
        QSignalSpy sent(&mirror, &ClipboardMirror::sent);
        QVERIFY(mirror.deviceID().contains(QRegularExpression(
            u"^linux-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"_s)));

        // What is there when a client is admitted stays here.
        pasteboard.setString(QByteArray("già qui"));
        mirror.begin();
        QVERIFY(mirror.isWatching());
        mirror.poll();
        QCOMPARE(frames.count(), 0);

        pasteboard.setString(QByteArray("nuovo ✓"));
        mirror.poll();
        mirror.poll();
        QCOMPARE(frames.count(), 1);
        const QJsonObject message = messageIn(frames.at(0).at(0).toByteArray());
        QCOMPARE(message.value(u"id"_s).toString().size(), 36);
        QCOMPARE(message, (QJsonObject{{u"v"_s, 1},
                                       {u"device"_s, mirror.deviceID()},
                                       {u"token"_s, code},
                                       {u"kind"_s, u"text"_s},
                                       {u"data"_s, u"bnVvdm8g4pyT"_s},
                                       {u"id"_s, message[u"id"_s]}}));
        QCOMPARE(sent.at(0).at(0).toString(), u"text"_s);
        QCOMPARE(sent.at(0).at(1).value<qsizetype>(), u"nuovo ✓"_s.toUtf8().size());

        // A change runs the watch at once, even with the tick held back.
        mirror.findChild<QTimer*>()->stop();
        pasteboard.setPNG(test::samplePng());
        QTRY_COMPARE(frames.count(), 2);
        QCOMPARE(messageIn(frames.at(1).at(0).toByteArray()).value(u"kind"_s), u"image"_s);

        // Over the limit: reported once, never sent, and the watch goes on.
        QSignalSpy tooLarge(&mirror, &ClipboardMirror::tooLarge);
        pasteboard.setString(QByteArray(maxBytes + 1, 'x'));
        mirror.poll();
        mirror.poll();
        QCOMPARE(tooLarge.count(), 1);
        QCOMPARE(tooLarge.at(0).at(1).value<qsizetype>(), maxBytes + 1);
        pasteboard.setString(QByteArray("piccolo"));
        mirror.poll();
        QCOMPARE(frames.count(), 3);

        // A password manager's copy: reported once, never sent.
        QSignalSpy secretKept(&mirror, &ClipboardMirror::secretKept);
        auto* mime = new QMimeData;
        mime->setText(u"hunter2"_s);
        mime->setData(QString::fromLatin1(passwordManagerHintType), "secret");
        QGuiApplication::clipboard()->setMimeData(mime);
        mirror.poll();
        mirror.poll();
        QCOMPARE(secretKept.count(), 1);
        QCOMPARE(frames.count(), 3);

        mirror.end();
        QVERIFY(!mirror.isWatching());
        // A later admission takes what is there as known again.
        pasteboard.setString(QByteArray("mentre nessuno ascoltava"));
        mirror.begin();
        mirror.poll();
        QCOMPARE(frames.count(), 3);
    }

    void appliesWhatPassesAndEchoesNothing() {
        QtPasteboard pasteboard;
        ClipboardMirror mirror(code, pasteboard);
        QSignalSpy frames(&mirror, &ClipboardMirror::frameReady);
        QSignalSpy applied(&mirror, &ClipboardMirror::applied);
        QSignalSpy known(&mirror, &ClipboardMirror::alreadyKnown);
        QSignalSpy stored(&mirror, &ClipboardMirror::fileStored);
        pasteboard.setString(QByteArray("prima"));
        mirror.begin();

        // Not for us: another code, our own device, a hello. Nothing changes.
        mirror.receive(body(u"text"_s, "intruso", u"K7MZQ4RT9WXC2HPW"_s));
        mirror.receive(body(u"text"_s, "eco", code, mirror.deviceID()));
        mirror.receive(*helloMessage(code, macDevice).toJson());
        QCOMPARE(applied.count(), 0);
        QCOMPARE(known.count(), 0);
        QCOMPARE(pasteboard.string(), QByteArray("prima"));

        mirror.receive(body(u"text"_s, "dal Mac"));
        QCOMPARE(pasteboard.string(), QByteArray("dal Mac"));
        QCOMPARE(applied.count(), 1);
        QCOMPARE(applied.at(0).at(0).toString(), u"text"_s);
        mirror.receive(body(u"text"_s, "dal Mac"));  // a repeat with a new id
        QCOMPARE(applied.count(), 1);
        QCOMPARE(known.count(), 1);

        const QByteArray png = test::samplePng();
        mirror.receive(body(u"image"_s, png));
        QCOMPARE(pasteboard.data(Pasteboard::DataType::PNG), png);

        const QByteArray contents("riga\0con zero\n", 14);
        mirror.receive(body(u"file"_s, QByteArray("nota.txt") + '\0' + contents));
        QCOMPARE(applied.count(), 3);
        QCOMPARE(stored.count(), 1);
        const QString path = stored.at(0).at(0).toString();
        QCOMPARE(test::receivedFiles(),
                 QStringList{QFileInfo(path).dir().dirName() + u"/nota.txt"_s});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), contents);
        QCOMPARE(pasteboard.fileURLs(), QList<QUrl>{QUrl::fromLocalFile(path)});

        // What arrived is on the clipboard now, and goes nowhere.
        mirror.poll();
        QCOMPARE(frames.count(), 0);
    }

    // Stored under another name than it came with, it is still known when read back.
    void renamedFileIsStoredAndNotSentBack() {
        QtPasteboard pasteboard;
        ClipboardMirror mirror(code, pasteboard);
        QSignalSpy frames(&mirror, &ClipboardMirror::frameReady);
        QSignalSpy known(&mirror, &ClipboardMirror::alreadyKnown);
        QSignalSpy stored(&mirror, &ClipboardMirror::fileStored);
        pasteboard.clearContents();
        mirror.begin();

        const QByteArray message = body(u"file"_s, QByteArray("a/../b/c.txt") + '\0' + "testo");
        mirror.receive(message);
        QCOMPARE(QFileInfo(stored.value(0).value(0).toString()).fileName(), u"c.txt"_s);
        mirror.poll();
        QCOMPARE(frames.count(), 0);
        const QStringList files = test::receivedFiles();
        mirror.receive(message);  // the same message again is still known, and not stored again
        QCOMPARE(known.count(), 1);
        QCOMPARE(test::receivedFiles(), files);
    }

    void saysWhenAFileCannotBeStored() {
        QtPasteboard pasteboard;
        ClipboardMirror mirror(code, pasteboard);
        QSignalSpy stored(&mirror, &ClipboardMirror::fileStored);
        QSignalSpy failed(&mirror, &ClipboardMirror::fileNotStored);
        QVERIFY(test::blockWithFile(test::receivedFolder()));
        mirror.receive(body(u"file"_s, QByteArray("a.txt") + '\0' + "hi"));
        QCOMPARE(stored.count(), 0);
        QCOMPARE(failed.count(), 1);
        QVERIFY(!failed.at(0).at(0).toString().isEmpty());
        QVERIFY(pasteboard.fileURLs().isEmpty());
        QVERIFY(QFile::remove(test::receivedFolder()));
    }
};

QTEST_MAIN(PeerMirrorTest)
#include "tst_peer_mirror.moc"
