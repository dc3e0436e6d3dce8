// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>

#include "clipboard/ChangeWatcher.h"
#include "clipboard/InboundApply.h"
#include "protocol/ClipMessageReader.h"

namespace clipwren {

class Pasteboard;

// This machine's side of the sync, the same in both programs: while a session runs, every
// new clipboard content leaves as a clip message, and every clip message that passes the
// checks lands on the clipboard. The known content (the last one sent, received or present
// when the session began) keeps a content from going back where it came from.
//
// The heavy part of a large content (the message's JSON and Base64 both ways, the digest of
// what arrives, the received file's write) runs on a worker thread of the bridge's own, one
// piece at a time; each result comes back to the main thread in order, where the known
// content and the clipboard change together, in one step, as for a small content. At most one large
// content is worked on each way. A content taken from the clipboard while an earlier one's
// message is still being built supersedes it: the earlier one is never sent; and one taken
// while a received file is being written supersedes the file: it is never offered. Once large
// contents have stopped moving for a while, the memory they took is given back.
class ClipboardBridge : public QObject {
    Q_OBJECT

public:
    static constexpr int pollIntervalMs = 450;
    // The pairing code as it is now: read for every message built and checked.
    using TokenSource = std::function<QString()>;

    // Message bodies and contents from this size on are worked on off the main thread.
    static constexpr qsizetype workerThreshold = 1 << 20;

    ClipboardBridge(Pasteboard& pasteboard, TokenSource token, QString deviceID,
                    QObject* parent = nullptr);
    // Waits for the piece of work under way, so that no file is left half-written; what has
    // not begun is dropped.
    ~ClipboardBridge() override;

    // Where received files are written: ReceivedFiles::store unless told.
    void setFileStore(FileStore store) { m_fileStore = std::move(store); }

    const QString& deviceID() const { return m_deviceID; }
    const std::optional<QByteArray>& lastDigest() const { return m_known.lastDigest(); }
    bool isWatching() const { return m_watching; }
    // Whether a large content is still being worked on, either way.
    bool isWorking() const { return m_receiving || m_building || !m_inbound.empty(); }

    // A session has begun: what is on the clipboard now is known, not sent; what comes next
    // is, at once on a change and at the latest at the next tick.
    void begin();
    // The session is over: nothing more is looked at or sent.
    void end();
    // One frame body from the other side.
    void receive(const QByteArray& body);
    // One look at the clipboard.
    void poll();

Q_SIGNALS:
    void frameReady(const QByteArray& frame);
    void sent(clipwren::ContentKind kind, qsizetype size);
    // A new content, or a part of one, that does not cross (too large, a folder, several
    // files, a kind that cannot be sent): reported once, and told to the other side.
    void notSent(const NotSent& notSent);
    // The other side's clipboard now holds something that did not cross; ours is left as it is.
    void otherSideNotSent(const NotSent& notSent);
    // A new content marked by a password manager: never sent, reported once.
    void secretKept(clipwren::ContentKind kind, qsizetype size);
    // Only once the content is on the clipboard.
    void applied(clipwren::ContentKind kind, qsizetype size);
    // A valid clip message whose content this side already had: sent by it, or received.
    void alreadyKnown(clipwren::ContentKind kind, qsizetype size);
    void fileStored(const QString& path);
    void fileNotStored(const QString& error);

private:
    // Runs work on the worker; the function it returns then runs here, in order.
    template <class Work>
    void onWorker(Work work);
    void send(const ClipboardPayload& payload);
    void sendNotSent(const NotSent& what);
    void sendFrame(const std::optional<QByteArray>& frame, ContentKind kind, qsizetype size);
    void buildNext();
    void receiveNext();
    void receiveLarge(const QByteArray& body);
    void applyRead(const std::optional<ClipMessage>& clip, const QByteArray& digest);
    void dropSuperseded(const StoredClip& stored);
    void report(ContentKind kind, qsizetype size, const Applied& result);

    Pasteboard& m_pasteboard;
    TokenSource m_token;
    QString m_deviceID;
    KnownContent m_known;  // its only owner: it changes on this thread alone
    ChangeWatcher m_watcher;
    ClipMessageReader m_reader;        // on this thread
    ClipMessageReader m_workerReader;  // on the worker
    QTimer m_timer{this};              // a child, so it can be found while it runs
    QTimer m_release{this};
    bool m_watching = false;
    FileStore m_fileStore = &ReceivedFiles::store;
    // Counts contents taken and sessions begun or ended: a message built for an earlier count
    // is not sent.
    quint64 m_taken = 0;
    struct NextToBuild {
        ClipboardPayload payload;
        std::optional<NotSent> notSent;  // what of the same copy did not cross
    };
    std::optional<NextToBuild> m_nextToBuild;
    bool m_building = false;
    std::deque<QByteArray> m_inbound;
    bool m_receiving = false;
    // Last: it goes first, while everything its work comes back to still exists.
    QThreadPool m_worker;
};

}  // namespace clipwren
