// The peer's clipboard side on a real (offscreen) clipboard: what it sends, what it applies,
// and that nothing goes back where it came from.
#include <QFileInfo>
#include <QRegularExpression>

#include "ClipboardMirror.h"
#include "clipboard/ClipboardPayload.h"
#include "platform/PasswordManagerHint.h"
#include "platform/QtPasteboard.h"
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

// A mirror of the clipboard, watching from when `present` was there, and all it reports.
struct Mirror {
    explicit Mirror(const QByteArray& present) {
        pasteboard.setString(present);
        mirror.begin();
    }

    QtPasteboard pasteboard;
    ClipboardMirror mirror{code, pasteboard};
    QSignalSpy frames{&mirror, &ClipboardMirror::frameReady};
    QSignalSpy sent{&mirror, &ClipboardMirror::sent};
    QSignalSpy tooLarge{&mirror, &ClipboardMirror::tooLarge};
    QSignalSpy secretKept{&mirror, &ClipboardMirror::secretKept};
    QSignalSpy applied{&mirror, &ClipboardMirror::applied};
    QSignalSpy known{&mirror, &ClipboardMirror::alreadyKnown};
    QSignalSpy stored{&mirror, &ClipboardMirror::fileStored};
    QSignalSpy notStored{&mirror, &ClipboardMirror::fileNotStored};

    // The message in the frame sent at index.
    QJsonObject message(int index) const {
        return QJsonDocument::fromJson(frames.at(index).at(0).toByteArray().mid(4)).object();
    }
};

}  // namespace

class PeerMirrorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }

    void sendsEachNewContentOnce() {
        // What is there when a client is admitted stays here.
        Mirror m("già qui");
        QVERIFY(m.mirror.isWatching());
        m.mirror.poll();
        QCOMPARE(m.frames.count(), 0);

        m.pasteboard.setString(QByteArray("nuovo ✓"));
        m.mirror.poll();
        m.mirror.poll();
        QCOMPARE(m.frames.count(), 1);
        const QJsonObject message = m.message(0);
        QCOMPARE(message.value(u"id"_s).toString().size(), 36);
        QCOMPARE(message, (QJsonObject{{u"v"_s, 1},
                                       {u"device"_s, m.mirror.deviceID()},
                                       {u"token"_s, code},
                                       {u"kind"_s, u"text"_s},
                                       {u"data"_s, u"bnVvdm8g4pyT"_s},
                                       {u"id"_s, message[u"id"_s]}}));
        QVERIFY(m.mirror.deviceID().contains(QRegularExpression(
            u"^linux-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"_s)));
        QCOMPARE(m.sent.at(0), (QVariantList{u"text"_s, qsizetype(u"nuovo ✓"_s.toUtf8().size())}));

        // A change runs the watch at once, even with the tick held back.
        m.mirror.findChild<QTimer*>()->stop();
        m.pasteboard.setPNG(test::samplePng());
        QTRY_COMPARE(m.frames.count(), 2);
        QCOMPARE(m.message(1).value(u"kind"_s), u"image"_s);

        // Over the limit, or a password manager's copy: reported once, never sent.
        m.pasteboard.setString(QByteArray(maxBytes + 1, 'x'));
        m.mirror.poll();
        m.mirror.poll();
        QCOMPARE(m.tooLarge.count(), 1);
        QCOMPARE(m.tooLarge.at(0).at(1).value<qsizetype>(), maxBytes + 1);
        auto* mime = new QMimeData;
        mime->setText(u"hunter2"_s);
        mime->setData(QString::fromLatin1(passwordManagerHintType), "secret");
        QGuiApplication::clipboard()->setMimeData(mime);
        m.mirror.poll();
        m.mirror.poll();
        QCOMPARE(m.secretKept.count(), 1);
        QCOMPARE(m.frames.count(), 2);
        // And the watch goes on.
        m.pasteboard.setString(QByteArray("piccolo"));
        m.mirror.poll();
        QCOMPARE(m.frames.count(), 3);

        m.mirror.end();
        QVERIFY(!m.mirror.isWatching());
        // A later admission takes what is there as known again.
        m.pasteboard.setString(QByteArray("mentre nessuno ascoltava"));
        m.mirror.begin();
        m.mirror.poll();
        QCOMPARE(m.frames.count(), 3);
    }

    void appliesWhatPassesAndEchoesNothing() {
        Mirror m("prima");
        // Not for us: another code, our own device, a hello. Nothing changes.
        m.mirror.receive(body(u"text"_s, "intruso", u"K7MZQ4RT9WXC2HPW"_s));
        m.mirror.receive(body(u"text"_s, "eco", code, m.mirror.deviceID()));
        m.mirror.receive(*helloMessage(code, macDevice).toJson());
        QCOMPARE(m.applied.count() + m.known.count(), 0);
        QCOMPARE(m.pasteboard.string(), QByteArray("prima"));

        m.mirror.receive(body(u"text"_s, "dal Mac"));
        QCOMPARE(m.pasteboard.string(), QByteArray("dal Mac"));
        QCOMPARE(m.applied.at(0), (QVariantList{u"text"_s, qsizetype(7)}));
        m.mirror.receive(body(u"text"_s, "dal Mac"));  // a repeat with a new id
        QCOMPARE(m.applied.count(), 1);
        QCOMPARE(m.known.count(), 1);

        const QByteArray png = test::samplePng();
        m.mirror.receive(body(u"image"_s, png));
        QCOMPARE(m.pasteboard.data(Pasteboard::DataType::PNG), png);

        const QByteArray contents("riga\0con zero\n", 14);
        m.mirror.receive(body(u"file"_s, QByteArray("nota.txt") + '\0' + contents));
        QCOMPARE(m.applied.count(), 3);
        const QString path = m.stored.value(0).value(0).toString();
        QCOMPARE(test::receivedFiles(),
                 QStringList{QFileInfo(path).dir().dirName() + u"/nota.txt"_s});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), contents);
        QCOMPARE(m.pasteboard.fileURLs(), QList<QUrl>{QUrl::fromLocalFile(path)});
        // What arrived is on the clipboard now, and goes nowhere.
        m.mirror.poll();
        QCOMPARE(m.frames.count(), 0);

        // Stored under another name than it came with, it is still known when read back, and
        // the same message again is not stored again.
        const QByteArray renamed = body(u"file"_s, QByteArray("a/../b/c.txt") + '\0' + "testo");
        m.mirror.receive(renamed);
        QCOMPARE(QFileInfo(m.stored.value(1).value(0).toString()).fileName(), u"c.txt"_s);
        m.mirror.poll();
        QCOMPARE(m.frames.count(), 0);
        const QStringList files = test::receivedFiles();
        m.mirror.receive(renamed);
        QCOMPARE(m.known.count(), 2);
        QCOMPARE(test::receivedFiles(), files);

        // A file that cannot be stored is said so, and is not offered.
        QVERIFY(test::blockWithFile(test::receivedFolder()));
        m.mirror.receive(body(u"file"_s, QByteArray("a.txt") + '\0' + "hi"));
        QCOMPARE(m.stored.count(), 2);
        QCOMPARE(m.notStored.count(), 1);
        QVERIFY(!m.notStored.at(0).at(0).toString().isEmpty());
        QVERIFY(m.pasteboard.fileURLs().isEmpty());
        QVERIFY(QFile::remove(test::receivedFolder()));
    }
};

QTEST_MAIN(PeerMirrorTest)
#include "tst_peer_mirror.moc"
