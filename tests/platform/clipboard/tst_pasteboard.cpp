// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// The backend a program chooses at start, on a real desktop (an X server, or sway or KWin with
// CLIPWREN_TEST_SESSION=sway or kwin): what others copy is read byte for byte, and the reverse.
#include <fcntl.h>
#include <unistd.h>

#include "clipboard/ChangeWatcher.h"
#include "clipboard/Digest.h"
#include "clipboard/InboundApply.h"
#include "clipboard/SharedTexts.h"
#include "clipboard/Snapshot.h"
#include "platform/PlatformSetup.h"
#include "platform/clipboard/ClipboardBackend.h"
#include "platform/clipboard/wayland/PipeTransfer.h"
#include "platform/clipboard/x11/XcbConnection.h"
#include "protocol/ClipMessageReader.h"
#include "service/SyncService.h"
#include "support/DesktopSession.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

namespace {

using enum ContentKind;
constexpr int deadlineMs = 15000;
using Bytes = QList<QByteArray>;

// The clipboard a program in session chooses; nothing if it had to fall back (mutter offers
// only Xwayland's).
std::unique_ptr<Pasteboard> pasteboardOf(const test::DesktopSession& session) {
    session.enter();
    ClipboardBackend backend = chooseClipboardBackend(maxBytes + 1);
    const bool mutter = test::DesktopSession::mutterChosen();
    return backend.reach == (mutter ? ClipboardReach::ThroughXwayland : ClipboardReach::Own)
               ? std::move(backend.pasteboard)
               : nullptr;
}

}  // namespace

class PasteboardTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_files;
    std::unique_ptr<test::DesktopSession> m_session = test::DesktopSession::chosen();
    std::unique_ptr<Pasteboard> m_pasteboard;

    std::optional<ClipboardPayload> snapshot() const { return clipboardPayload(*m_pasteboard); }
    QString makeFile(const QString& name, const QByteArray& contents) {
        const QString path = m_files.filePath(name);
        return test::writeFile(path, contents) ? path : QString();
    }

private Q_SLOTS:
    void initTestCase() {
        ignoreBrokenPipes();
        test::isolateUserFolders();
        QVERIFY(m_session->start());
        m_pasteboard = pasteboardOf(*m_session);
        QVERIFY2(m_pasteboard, "the backend made for the session");
    }

    void snapshotReadsWhatOtherProgramsCopy_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ContentKind>("kind");
        QTest::addColumn<QByteArray>("payload");
        const QString text = m_session->textType();
        const QByteArray marked(
            "\xef\xbb\xbf gr\xc3\xbc\xc3\x9f \xf0\x9f\x98\x80");  // BOM kept too
        QTest::addRow("UTF-8 text with a BOM") << text << marked << Text << marked;
        QTest::addRow("plain text")
            << "text/plain" << QByteArray("plain") << Text << QByteArray("plain");
        const QByteArray tiff = test::samplePicture("TIFF");
        QTest::addRow("TIFF, read as the same picture") << "image/tiff" << tiff << Image << tiff;
        const QByteArray contents("prima\n\0dopo", 11);
        const QString path = makeFile(u"nota bene.txt"_s, contents);
        QTest::addRow("file") << "text/uri-list" << QUrl::fromLocalFile(path).toEncoded() + "\r\n"
                              << File << QByteArray("nota bene.txt\0", 14) + contents;
        const QByteArray large(maxBytes, 'x');
        QTest::addRow("12 MiB of PNG bytes") << "image/png" << large << Image << large;
    }
    void snapshotReadsWhatOtherProgramsCopy() {
        QFETCH(QString, type);
        QFETCH(QByteArray, bytes);
        QFETCH(ContentKind, kind);
        QFETCH(QByteArray, payload);
        QSignalSpy changes(m_pasteboard.get(), &Pasteboard::changed);
        m_session->copy(type, bytes);
        // Announced once read, so the watcher need not wait for its tick.
        QTRY_VERIFY_WITH_TIMEOUT(changes.count() >= 1 && m_pasteboard->isSettled(), deadlineMs);
        QVERIFY(snapshot());
        QCOMPARE(snapshot()->kind, kind);
        if (type == u"image/tiff") {
            const auto picture = [](const QByteArray& image) {
                return QImage::fromData(image).convertToFormat(QImage::Format_ARGB32);
            };
            QCOMPARE(picture(snapshot()->bytes), picture(payload));
        } else {
            QCOMPARE(snapshot()->bytes, payload);
        }
        // Read once per offer: every later look gets the same bytes without a new read.
        if (kind != File) QCOMPARE(snapshot()->bytes.constData(), snapshot()->bytes.constData());
    }

    void otherProgramsReadWhatWeWrite_data() {
        QTest::addColumn<ContentKind>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Bytes>("types");
        QTest::addColumn<Bytes>("served");
        const QByteArray text("caff\xc3\xa8 \xe2\x80\xa2 ok");
        // mutter answers a Wayland program's text/plain with an X owner's STRING, in Latin-1.
        const bool mutter = test::DesktopSession::mutterChosen();
        QTest::addRow("text") << Text << text
                              << Bytes{"text/plain;charset=utf-8", "text/plain", "UTF8_STRING",
                                       "TEXT"}
                              << Bytes{text, mutter ? "caff\xe8 ? ok" : text, text, text};
        const QByteArray latin("caff\xc3\xa8");
        QTest::addRow("text as STRING")
            << Text << latin << Bytes{"STRING"}
            << Bytes{test::DesktopSession::waylandChosen() && !mutter ? latin : "caff\xe8"};
        const QString path = makeFile(u"ricevuto.txt"_s, "ok");
        const QByteArray url = QUrl::fromLocalFile(path).toEncoded();
        QTest::addRow("file") << File << path.toUtf8()
                              << Bytes{"text/uri-list", "x-special/gnome-copied-files"}
                              << Bytes{url + "\r\n", "copy\n" + url};
        const QByteArray large(maxBytes, 'p');
        QTest::addRow("12 MiB") << Image << large << Bytes{"image/png"} << Bytes{large};
    }
    void otherProgramsReadWhatWeWrite() {
        QFETCH(ContentKind, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(Bytes, types);
        QFETCH(Bytes, served);
        if (kind == Image && test::DesktopSession::mutterChosen())
            QSKIP("12 MiB from an X owner takes 8 s or more to reach Wayland through mutter");
        if (kind == Text) m_pasteboard->setString(bytes);
        if (kind == Image) m_pasteboard->setPNG(bytes);
        if (kind == File) m_pasteboard->writeFileURL(QString::fromUtf8(bytes));
        // Our own selection reads back at once, and still does once announced back to us.
        const auto expected = snapshot();
        QVERIFY(expected);
        QCOMPARE(expected->kind, kind);
        // mutter offers an X owner's content to Wayland once it has its types.
        for (qsizetype i = 0; i < types.size(); ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(m_session->paste(QString::fromLatin1(types[i])), served[i],
                                      deadlineMs);
        }
        QCOMPARE(snapshot()->bytes, expected->bytes);
    }

    // What another program watching the clipboard sees of each received content: one change,
    // from the old content to the new. (One that cannot be written never reaches the backend:
    // applyClip's own test.)
    void eachReceivedContentIsOneChange_data() {
        QTest::addColumn<ContentKind>("kind");
        QTest::addColumn<QByteArray>("data");
        QTest::addRow("text") << Text << "arrivato"_ba;
        QTest::addRow("image") << Image << test::samplePicture();
        QTest::addRow("file") << File << "arrivato.txt\0contenuto"_ba;
    }
    void eachReceivedContentIsOneChange() {
        QFETCH(ContentKind, kind);
        QFETCH(QByteArray, data);
        // Another program, watching "prima". xclip takes the clipboard a moment after it
        // ends, and, starved of the processor, may answer after the read's time limit: the
        // watcher then holds nothing, and is started again.
        std::unique_ptr<Pasteboard> watcher;
        bool watching = false;
        for (int tries = 3; tries > 0 && !watching; --tries) {
            m_session->copyText(u"prima"_s);
            watcher = pasteboardOf(*m_session);
            watching = QTest::qWaitFor(
                [&] {
                    return m_pasteboard->isSettled() && watcher->isSettled() &&
                           watcher->string() == "prima"_ba;
                },
                deadlineMs / 3);
        }
        QVERIFY2(watching, watcher->string().value_or("nothing").constData());
        QSignalSpy seen(watcher.get(), &Pasteboard::changed);
        KnownContent known;
        const Applied applied = applyClip(ClipMessage{kind, data}, *m_pasteboard, known);
        QCOMPARE(applied.outcome, Applied::Outcome::Written);
        QTest::qWait(300);  // time enough for a first empty change, if any, to show
        QTRY_VERIFY_WITH_TIMEOUT(watcher->isSettled(), deadlineMs);
        QCOMPARE(seen.count(), 1);
    }

    void contentPresentAtStartIsKnownNotNew() {
        const QByteArray present = "già qui";
        const QByteArray digest = contentDigest(Text, present);
        KnownContent known;
        // As for the watcher above: a starved xclip may answer after the read's time limit,
        // and the program starting then holds nothing; it is started again.
        for (int tries = 3; tries > 0 && known.lastDigest() != digest; --tries) {
            m_session->copyText(QString::fromUtf8(present));
            QTRY_VERIFY_WITH_TIMEOUT(m_pasteboard->isSettled() && m_pasteboard->string() == present,
                                     deadlineMs);
            // A program starting now reads it in the background; meanwhile it is not settled.
            const std::unique_ptr<Pasteboard> starting = pasteboardOf(*m_session);
            QVERIFY(!starting->isSettled());
            ChangeWatcher watcher(*starting);
            known = KnownContent();
            watcher.recordPresentContent(known);
            QTRY_VERIFY_WITH_TIMEOUT(starting->isSettled(), deadlineMs);
            if (starting->string() == present) QVERIFY(!watcher.takeNewContent(known));
        }
        QCOMPARE(known.lastDigest(), digest);
    }

    // A SelectionClear can be older than our last write (another program took the clipboard
    // just before it): only the server says whether the clipboard is still ours.
    void aStaleSelectionClearKeepsTheClipboardOurs() {
        if (!m_pasteboard->inherits("clipwren::x11::X11Pasteboard")) QSKIP("X11's own event");
        m_pasteboard->setString("ricevuto");
        // Through mutter, other programs see it a moment later.
        QTRY_COMPARE_WITH_TIMEOUT(m_session->text(), u"ricevuto"_s, deadlineMs);
        auto other = x11::XcbConnection::open();
        QVERIFY(other);
        xcb_selection_clear_event_t clear{};
        clear.response_type = XCB_SELECTION_CLEAR;
        clear.owner = other.value()->clipboardOwner();
        clear.selection = other.value()->clipboard();
        xcb_send_event(other.value()->connection(), false, clear.owner, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&clear));
        other.value()->clipboardOwner();  // a round trip: the clear reaches us before xclip
        QCOMPARE(m_session->text(), u"ricevuto"_s);
    }

    // A request read while we wait on the server for something else is answered at the loop's
    // next turn, even where the loop never sleeps (as here, or in a busy program).
    void aRequestReadWhileWeWaitIsAnswered() {
        if (!m_pasteboard->inherits("clipwren::x11::X11Pasteboard")) QSKIP("X11's own event");
        m_pasteboard->setString("uno");
        auto other = x11::XcbConnection::open();
        QVERIFY(other);
        x11::XcbConnection& reader = *other.value();
        xcb_convert_selection(reader.connection(), reader.window(), reader.clipboard(),
                              reader.atom("TARGETS"), reader.atom("LETTO"), XCB_CURRENT_TIME);
        reader.clipboardOwner();         // a round trip: the request is on our socket
        m_pasteboard->setString("due");  // waits on the server, reading the request meanwhile
        bool answered = false;
        QVERIFY(QTest::qWaitFor(
            [&] {
                while (xcb_generic_event_t* event = xcb_poll_for_event(reader.connection())) {
                    const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event);
                    answered |= (event->response_type & 0x7f) == XCB_SELECTION_NOTIFY &&
                                notify->property != XCB_NONE;
                    std::free(event);
                }
                return answered;
            },
            deadlineMs));
    }

    void passwordManagerHintIsSeen() {
        ClipboardContents secret = ClipboardContents::ofText("hunter2");
        secret.passwordManagerHint = "secret";
        const auto offered = m_session->offer(secret);
        QVERIFY(offered);
        QTRY_COMPARE_WITH_TIMEOUT(m_pasteboard->string(), QByteArray("hunter2"), deadlineMs);
        QVERIFY(m_pasteboard->isSecret());
        // The same text without it.
        m_session->copyText(u"hunter2"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!m_pasteboard->isSecret() && m_pasteboard->isSettled() &&
                                     m_pasteboard->string() == QByteArray("hunter2"),
                                 deadlineMs);
    }

    void aSourceThatNeverWritesFreezesNothing() {
        QSignalSpy changes(m_pasteboard.get(), &Pasteboard::changed);
        const auto hung = m_session->offer(ClipboardContents::ofText("mai scritto"), false);
        QVERIFY(hung);
        // While the read waits, a timer keeps its beat; then the clipboard holds nothing for us.
        int beats = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, [&] { ++beats; });
        heartbeat.start(100);
        QTRY_VERIFY_WITH_TIMEOUT(changes.count() >= 1, deadlineMs);
        QVERIFY2(beats >= 5, qPrintable(QString::number(beats)));
        QVERIFY(!snapshot());
        // The next copy is read as usual.
        m_session->copyText(u"di nuovo"_s);
        QTRY_COMPARE_WITH_TIMEOUT(m_pasteboard->string(), QByteArray("di nuovo"), deadlineMs);
    }

    void pipesKeepTheirCapAndSurviveAReaderThatLeaves() {
        int fds[2];
        QVERIFY(::pipe2(fds, O_CLOEXEC) == 0);
        std::optional<QByteArray> read;
        wayland::PipeReader reader(fds[0], 1'000'000, deadlineMs,
                                   [&](std::optional<QByteArray> bytes) { read = bytes; });
        // Cut off at the cap; the writer survives the reader's leaving (no SIGPIPE).
        wayland::PipeWriter writer(fds[1], QByteArray(5'000'000, 'w'), deadlineMs);
        QSignalSpy written(&writer, &wayland::PipeWriter::finished);
        QTRY_VERIFY_WITH_TIMEOUT(read, deadlineMs);
        QCOMPARE(read->size(), 1'000'000);
        QTRY_COMPARE_WITH_TIMEOUT(written.count(), 1, deadlineMs);
    }

    void withoutTheCompositorTheXwaylandPathIsChosenAndSaysWhy() {
        m_session->enter();
        qputenv("WAYLAND_DISPLAY", QFile::encodeName(m_files.filePath(u"nessuno"_s)));
        const ClipboardBackend backend = chooseClipboardBackend(maxBytes + 1);
        QVERIFY(backend.pasteboard->inherits("clipwren::x11::X11Pasteboard"));
        QCOMPARE(backend.reach, ClipboardReach::WaylandUnreached);
        const QString why = waylandUnreachedText(backend);
        QVERIFY2(why.startsWith(u"non raggiungo il compositore Wayland: "_s), qPrintable(why));
    }

    void displayServerGoingAwayIsReportedAndTheConnectionStays() {
        test::FakeNetwork network;
        SyncService service(network.factory(), *m_pasteboard);
        service.setHost(u"127.0.0.1"_s);
        service.setToken(u"ABCDEFGHJKLMNPQR"_s);
        service.start();
        network.last()->report(Connection::State::Ready);
        QTRY_VERIFY(service.isConnected());

        QSignalSpy unavailable(m_pasteboard.get(), &Pasteboard::unavailable);
        m_session->stop();
        // A compositor can be lost by its connection and its clipboard device both: once or
        // twice, the same news.
        QTRY_VERIFY_WITH_TIMEOUT(unavailable.count() >= 1, deadlineMs);
        QTRY_VERIFY(service.status().startsWith(u"Appunti non raggiungibili: "_s));
        QVERIFY(service.isConnected());
        // Nothing works on it any more, and nothing breaks either.
        m_pasteboard->setString("dopo");
        QVERIFY(!snapshot());
    }
};

QTEST_GUILESS_MAIN(PasteboardTest)
#include "tst_pasteboard.moc"
