// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// One machine's side of the sync on a real (offscreen) clipboard: what it sends and reports,
// and that nothing goes back where it came from. What applying stores is applyClip's own
// test; what the two programs make of the reports, their own.
#include <QSemaphore>

#include "clipboard/Announcer.h"
#include "clipboard/ClipboardBridge.h"
#include "clipboard/ClipboardPayload.h"
#include "platform/AtomicFile.h"
#include "platform/clipboard/PasswordManagerHint.h"
#include "platform/clipboard/QtPasteboard.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"
#include "protocol/SessionNotice.h"
#include "support/Testing.h"
#if CLIPWREN_LINUX_BACKENDS
#include "platform/DBusNotifier.h"
#include "support/NotificationBus.h"
#endif

namespace {

using enum ContentKind;
const QString code = u"K7MZQ4RT9WXC2HPV"_s;
const QString macDevice = u"mac-7D3F0C2A-4B1E-4F7A-9C55-0123456789AB"_s;

QByteArray body(ContentKind kind, const QByteArray& bytes, const QString& token = code,
                const QString& device = macDevice) {
    return *clipMessage(kind, bytes, token, device).toJson();
}

// A file large enough for the worker, as a clip message body.
QByteArray largeFile(char fill) {
    return body(File, "grande.bin\0"_ba + QByteArray(ClipboardBridge::workerThreshold, fill));
}

// The body of the sent frame at index.
QByteArray sentBody(const QSignalSpy& frames, qsizetype index) {
    return frames.at(index).at(0).value<OutgoingBytes>().whole().mid(frameHeaderSize);
}

// The content the sent frame at index carries.
QByteArray dataOf(const QSignalSpy& frames, qsizetype index) {
    const QJsonObject message = QJsonDocument::fromJson(sentBody(frames, index)).object();
    return QByteArray::fromBase64(message.value(u"data").toString().toLatin1());
}

// A mirror of the clipboard, watching from when `present` was there, and all it reports.
struct Mirror {
    explicit Mirror(const QByteArray& present) {
        pasteboard.setString(present);
        mirror.begin();
    }
    // Each received file's write waits on the worker until `written` is released.
    void holdFileWrites() {
        mirror.setFileStore([this](const QString& name, QByteArrayView contents) {
            writing.release();
            if (!written.tryAcquire(1, 10'000)) return Result<QString>(Failure{u"bloccato"_s});
            return ReceivedFiles::store(name, contents);
        });
    }

    QSemaphore writing, written;  // before the bridge, whose worker they outlive
    QtPasteboard pasteboard;
    ClipboardBridge mirror{pasteboard, [] { return code; }, u"linux-1"_s};
    QSignalSpy frames{&mirror, &ClipboardBridge::frameReady};
    QSignalSpy sent{&mirror, &ClipboardBridge::sent};
    QSignalSpy notSent{&mirror, &ClipboardBridge::notSent};
    QSignalSpy otherSideNotSent{&mirror, &ClipboardBridge::otherSideNotSent};
    QSignalSpy secretKept{&mirror, &ClipboardBridge::secretKept};
    QSignalSpy applied{&mirror, &ClipboardBridge::applied};
    QSignalSpy known{&mirror, &ClipboardBridge::alreadyKnown};
    QSignalSpy stored{&mirror, &ClipboardBridge::fileStored};
};

}  // namespace

class BridgeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::isolateUserFolders(); }

    void sendsEachNewContentOnce() {
        // What is there when a client is admitted stays here.
        Mirror m("già qui");
        m.mirror.poll();
        QCOMPARE(m.frames.count(), 0);

        m.pasteboard.setString(QByteArray("nuovo ✓"));
        m.mirror.poll();
        m.mirror.poll();
        QCOMPARE(m.frames.count(), 1);
        QCOMPARE(m.sent.at(0), (QVariantList{QVariant::fromValue(Text),
                                             qsizetype(u"nuovo ✓"_s.toUtf8().size())}));

        // A change runs the watch at once, even with the tick held back.
        m.mirror.findChild<QTimer*>()->stop();
        m.pasteboard.setPNG(test::samplePicture());
        QTRY_COMPARE(m.frames.count(), 2);
        // And the tick alone with the change held back, as Qt's clipboard on the Mac reports
        // other programs' copies only when the application is activated: about one tick.
        m.mirror.findChild<QTimer*>()->start();
        m.pasteboard.blockSignals(true);
        m.pasteboard.setString("al battito");
        QTRY_COMPARE_WITH_TIMEOUT(m.frames.count(), 3, 1000);
        m.pasteboard.blockSignals(false);

        // Over the limit: named once, here and to the other side, never sent.
        m.pasteboard.setString(QByteArray(maxBytes + 1, 'x'));
        m.mirror.poll();
        m.mirror.poll();
        const NotSent tooLarge = NotSent::tooLarge(Text, {}, maxBytes + 1, maxBytes);
        QCOMPARE(m.notSent.count(), 1);
        QCOMPARE(m.notSent.at(0).at(0).value<NotSent>(), tooLarge);
        QCOMPARE(m.frames.count(), 4);
        QCOMPARE(readNotSent(sentBody(m.frames, 3)), std::optional(tooLarge));
        // A password manager's copy: reported once, never sent.
        auto* mime = new QMimeData;
        mime->setText(u"hunter2"_s);
        mime->setData(QString::fromLatin1(passwordManagerHintType), "secret");
        QGuiApplication::clipboard()->setMimeData(mime);
        m.mirror.poll();
        m.mirror.poll();
        QCOMPARE(m.secretKept.count(), 1);
        QCOMPARE(m.frames.count(), 4);

        // A large file is read and hashed off the loop, then sent once.
        QTemporaryDir folder;
        const QByteArray contents(ChangeWatcher::readHereUpTo + 1, 'f');
        QVERIFY(writeAtomically(folder.filePath(u"grande.bin"_s), contents));
        m.pasteboard.writeFileURL(folder.filePath(u"grande.bin"_s));
        m.mirror.poll();
        QCOMPARE(m.frames.count(), 4);
        QTRY_COMPARE(m.frames.count(), 5);
        QCOMPARE(dataOf(m.frames, 4), "grande.bin\0"_ba + contents);
        m.mirror.poll();
        QTRY_VERIFY(!m.mirror.isWorking());
        QCOMPARE(m.frames.count(), 5);
    }

    void appliesWhatPassesAndEchoesNothing() {
        Mirror m("prima");
        // Its own device's message, come back: nothing changes, and nothing is said applied.
        m.mirror.receive(body(Text, "eco", code, m.mirror.deviceID()));
        QCOMPARE(m.applied.count() + m.known.count(), 0);
        // What did not cross over there is heard of; what is here stays.
        const NotSent folder = NotSent::folder(u"Foto"_s);
        m.mirror.receive(*notSentMessage(folder).toJson());
        QCOMPARE(m.otherSideNotSent.count(), 1);
        QCOMPARE(m.otherSideNotSent.at(0).at(0).value<NotSent>(), folder);
        QCOMPARE(m.pasteboard.string(), QByteArray("prima"));

        m.mirror.receive(body(Text, "dal Mac"));
        QCOMPARE(m.applied.at(0), (QVariantList{QVariant::fromValue(Text), 7}));
        m.mirror.receive(body(Text, "dal Mac"));  // a repeat with a new id
        QCOMPARE(m.applied.count(), 1);
        QCOMPARE(m.known.count(), 1);

        // A stored file is reported where the clipboard offers it.
        m.mirror.receive(body(File, QByteArray("nota.txt") + '\0' + "riga"));
        const QString path = m.stored.value(0).value(0).toString();
        QCOMPARE(m.pasteboard.fileURLs(), QList<QUrl>{QUrl::fromLocalFile(path)});
        // What arrived is on the clipboard now, and goes nowhere.
        m.mirror.poll();
        QCOMPARE(m.frames.count(), 0);

        // Stored renamed, it is still known when read back, and not stored again when resent.
        const QByteArray renamed = body(File, QByteArray("a/../b/c.txt") + '\0' + "testo");
        m.mirror.receive(renamed);
        QCOMPARE(m.stored.count(), 2);
        m.mirror.poll();
        QCOMPARE(m.frames.count(), 0);
        const QStringList files = test::receivedFiles();
        m.mirror.receive(renamed);
        QCOMPARE(m.known.count(), 2);
        QCOMPARE(test::receivedFiles(), files);
    }

#if CLIPWREN_LINUX_BACKENDS
    // The user hears of what did not cross, either way, and of each received file with a way to
    // its folder; of files only while asked to.
    void announcesWhatDidNotCrossAndEachFile_data() {
        QTest::addColumn<bool>("announcesFiles");
        QTest::addRow("files announced") << true;
        QTest::addRow("files not announced") << false;
    }
    void announcesWhatDidNotCrossAndEachFile() {
        QFETCH(bool, announcesFiles);
        test::NotificationBus bus;
        QVERIFY(bus.start());
        Mirror m("prima");
        DBusNotifier notifier(bus.client());
        const Announcer announcer(m.mirror, notifier, [=] { return announcesFiles; });
        const QTemporaryDir folder;
        m.pasteboard.writeFileURL(folder.path());
        m.mirror.poll();
        m.mirror.receive(*notSentMessage(NotSent::severalFiles(3, u"a.txt"_s)).toJson());
        m.mirror.receive(body(File, "<b>nota.txt\0riga"_ba));
        QTRY_COMPARE(bus.shown().size(), announcesFiles ? 3 : 2);
        const auto& shown = bus.shown();
        QCOMPARE(shown[0].title, u"Non inviato"_s);
        QCOMPARE(shown[0].body, u"\u00ab"_s + QFileInfo(folder.path()).fileName() +
                                    u"\u00bb è una cartella, e le cartelle non passano"_s);
        QCOMPARE(shown[1].title, u"Arrivato in parte dall'altro computer"_s);
        QVERIFY(shown[1].actions.isEmpty());
        if (!announcesFiles) return;
        QCOMPARE(shown[2].title, u"File ricevuto"_s);
        // A name is shown as it is, never read as markup.
        QCOMPARE(shown[2].body,
                 u"\u00ab&lt;b&gt;nota.txt\u00bb (4 byte) è negli appunti, pronto da incollare"_s);
        QCOMPARE(shown[2].actions.mid(2), (QStringList{u"open"_s, u"Apri cartella"_s}));
    }
#endif

    // A file whose write waits for the main thread: were it written there, it would never be.
    // Meanwhile what the clipboard showed before stays known; a copy made meanwhile is sent,
    // and the file it supersedes is neither offered nor kept.
    void aSlowFileWriteLeavesTheLoopFree_data() {
        QTest::addColumn<QByteArray>("copied");
        QTest::addRow("nothing copied meanwhile") << QByteArray();
        QTest::addRow("a copy made meanwhile") << QByteArray("più nuovo");
    }
    void aSlowFileWriteLeavesTheLoopFree() {
        QFETCH(QByteArray, copied);
        Mirror m("prima");
        const QStringList files = test::receivedFiles();
        m.holdFileWrites();
        m.mirror.receive(largeFile('c'));
        QTRY_COMPARE(m.writing.available(), 1);
        if (!copied.isEmpty()) m.pasteboard.setString(copied);
        m.mirror.poll();
        m.written.release();
        QTRY_VERIFY(!m.mirror.isWorking());
        if (!copied.isEmpty()) {
            QCOMPARE(m.frames.count(), 1);
            QCOMPARE(dataOf(m.frames, 0), copied);
            QCOMPARE(m.pasteboard.string(), copied);
            QCOMPARE(m.stored.count() + m.applied.count(), 0);
            QCOMPARE(test::receivedFiles(), files);
            return;
        }
        QCOMPARE(m.frames.count(), 0);
        QCOMPARE(m.stored.count(), 1);
        QCOMPARE(m.pasteboard.fileURLs().value(0).toLocalFile(), m.stored.at(0).at(0).toString());
        m.mirror.poll();  // known without reading it again, and not sent back
        QCOMPARE(m.frames.count(), 0);
    }

    // Quitting while a received file is being written: what was applied stays, and the file
    // is there whole or not at all.
    void quittingLosesNothingAndLeavesNothingHalfWritten() {
        QDir(test::receivedFolder()).removeRecursively();
        auto m = std::make_unique<Mirror>("prima");
        m->holdFileWrites();
        m->mirror.receive(body(Text, "applicato"));
        m->mirror.receive(largeFile('d'));
        QTRY_COMPARE(m->writing.available(), 1);
        m->written.release();
        m.reset();
        QCOMPARE(QGuiApplication::clipboard()->text(), u"applicato"_s);
        const QStringList files = test::receivedFiles();
        QVERIFY(files.size() <= 1);
        for (const QString& name : files) {
            QCOMPARE(name.section(u'/', 1), u"grande.bin"_s);
            QFile stored(test::receivedFolder() + u'/' + name);
            QVERIFY(stored.open(QIODevice::ReadOnly));
            QCOMPARE(stored.size(), ClipboardBridge::workerThreshold);
        }
    }
};

QTEST_MAIN(BridgeTest)
#include "tst_bridge.moc"
