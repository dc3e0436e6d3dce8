// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/ClipboardBridge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "Logging.h"
#include "clipboard/ChangeWatcher.h"
#include "clipboard/Digest.h"
#include "clipboard/InboundApply.h"
#include "platform/Memory.h"
#include "platform/clipboard/Pasteboard.h"
#include "protocol/Message.h"
#include "protocol/SessionNotice.h"

namespace clipwren {

ClipboardBridge::ClipboardBridge(Pasteboard& pasteboard, TokenSource token, QString deviceID,
                                 QObject* parent)
    : QObject(parent),
      m_pasteboard(pasteboard),
      m_token(std::move(token)),
      m_deviceID(std::move(deviceID)),
      m_watcher(pasteboard) {
    // One thread: work is done in the order it was given.
    m_worker.setMaxThreadCount(1);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(pollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ClipboardBridge::poll);
    m_release.setSingleShot(true);
    m_release.setInterval(releaseDelayMs);
    connect(&m_release, &QTimer::timeout, this, &releaseFreedMemory);
    // A change leaves at once; the tick stays for backends that miss one. Queued, so that a
    // change made by applying a message is looked at afterwards.
    connect(
        &m_pasteboard, &Pasteboard::changed, this,
        [this] {
            if (isWatching()) poll();
        },
        Qt::QueuedConnection);
}

ClipboardBridge::~ClipboardBridge() {
    m_worker.clear();
    m_worker.waitForDone();
}

template <class Work>
void ClipboardBridge::onWorker(Work work) {
    m_worker.start([this, work = std::move(work)]() mutable {
        // Queued to the bridge: once it is gone, nothing comes back.
        QMetaObject::invokeMethod(this, work(), Qt::QueuedConnection);
    });
}

void ClipboardBridge::begin() {
    m_watcher.recordPresentContent(m_known);
    m_watching = true;
    m_timer.start();  // once, however many sessions begin
}

void ClipboardBridge::end() {
    m_watching = false;
    m_timer.stop();
}

void ClipboardBridge::poll() {
    const auto content = m_watcher.takeNewContent(m_known);
    if (!content) return readFileElsewhere();
    const std::optional<ClipboardPayload>& payload = content->payload;
    if (content->secret && payload) {
        Q_EMIT secretKept(payload->kind, payload->bytes.size());
        return;
    }
    if (payload) send(*payload);
    // What did not cross is said after what did, so that it is the last word on this copy.
    if (content->notSent) sendNotSent(*content->notSent);
}

// A large file copied here is read and hashed on the worker, then looked at again; one at a
// time, since a look while it is read leaves the same file again.
void ClipboardBridge::readFileElsewhere() {
    if (m_readingFile) return;
    const auto file = m_watcher.takeFileToRead();
    if (!file) return;
    m_readingFile = true;
    onWorker([this, file = *file] {
        auto payload = filePayload(file);
        QByteArray digest = payload ? contentDigest(ContentKind::File, *payload) : QByteArray();
        return [this, file, payload = std::move(payload), digest = std::move(digest)] {
            m_readingFile = false;
            m_watcher.fileRead(file, payload, digest);
            if (isWatching()) poll();
        };
    });
}

// Said here, and to the other side, whose user would otherwise paste the old content
// wondering why.
void ClipboardBridge::sendNotSent(const NotSent& what) {
    qCDebug(lcClipboard) << "not sent:" << int(what.reason) << what.content << what.name;
    Q_EMIT notSent(what);
    if (const auto frame = notSentMessage(what).toOutgoing()) Q_EMIT frameReady(*frame);
}

// Even the largest content's message is ready at once: its Base64 is made as it leaves.
// A message that could not be built is not sent.
void ClipboardBridge::send(const ClipboardPayload& payload) {
    const auto frame = clipMessage(payload.kind, payload.bytes, m_token(), m_deviceID).toOutgoing();
    if (!frame) return;
    Q_EMIT frameReady(*frame);
    Q_EMIT sent(payload.kind, payload.bytes.size());
    if (payload.bytes.size() >= workerThreshold) m_release.start();
}

void ClipboardBridge::receive(const QByteArray& body) {
    m_inbound.push_back(body);
    receiveNext();
}

// Bodies are taken in the order they came: a small one at once, unless a large one is still
// being worked on.
void ClipboardBridge::receiveNext() {
    while (!m_receiving && !m_inbound.empty()) {
        const QByteArray body = std::move(m_inbound.front());
        m_inbound.pop_front();
        if (body.size() >= workerThreshold) {
            receiveLarge(body);
            return;
        }
        if (const auto what = readNotSent(body)) {
            Q_EMIT otherSideNotSent(*what);
            continue;
        }
        const auto clip = m_reader.read(body, m_token(), m_deviceID);
        if (!clip) continue;
        report(clip->kind, clip->data.size(), applyClip(*clip, m_pasteboard, m_known));
    }
}

void ClipboardBridge::receiveLarge(const QByteArray& body) {
    m_receiving = true;
    onWorker([this, body, token = m_token(), device = m_deviceID] {
        auto clip = m_workerReader.read(body, token, device);
        QByteArray digest = clip ? contentDigest(clip->kind, clip->data) : QByteArray();
        return
            [this, clip = std::move(clip), digest = std::move(digest)] { applyRead(clip, digest); };
    });
}

void ClipboardBridge::applyRead(const std::optional<ClipMessage>& clip, const QByteArray& digest) {
    const auto done = [this] {
        m_receiving = false;
        m_release.start();
        receiveNext();
    };
    if (!clip) return done();
    // Known already, or not a file: applied here and now, as a small one is.
    if (clip->kind != ContentKind::File || m_known.knows(digest)) {
        report(clip->kind, clip->data.size(), applyClip(*clip, digest, m_pasteboard, m_known));
        return done();
    }
    // The digest is recorded as the file is offered, not before: while it is being written the
    // clipboard still shows what it showed, and that must stay known, or it would be sent back.
    onWorker([this, clip, digest, store = m_fileStore, before = m_known.lastDigest(), done] {
        const StoredClip stored = storeFile(clip->data, store);
        return [this, stored, clip, digest, before, done] {
            if (m_known.lastDigest() != before) {
                dropSuperseded(stored);
                return done();
            }
            m_known.recordReceived(digest);
            offerStoredFile(stored, digest, m_pasteboard, m_known);
            // What the clipboard offers now is known, bytes and digest: the next look reads
            // nothing.
            if (stored.applied.outcome == Applied::Outcome::Written && !stored.renamedDigest) {
                m_watcher.knowStoredFile(stored.applied.detail, digest);
            }
            report(ContentKind::File, clip->data.size(), stored.applied);
            done();
        };
    });
}

// A newer content was copied here while the file was written: that one is the clipboard's, as
// it would be had the file been applied at once; the file, never offered, does not stay.
void ClipboardBridge::dropSuperseded(const StoredClip& stored) {
    qCDebug(lcClipboard) << "received file superseded before it was offered";
    if (stored.applied.outcome != Applied::Outcome::Written) return;
    const QString& path = stored.applied.detail;
    QFile::remove(path);
    QDir().rmdir(QFileInfo(path).path());
}

void ClipboardBridge::report(ContentKind kind, qsizetype size, const Applied& result) {
    switch (result.outcome) {
        case Applied::Outcome::Known:
            qCDebug(lcClipboard) << "received content already known:" << wireName(kind);
            Q_EMIT alreadyKnown(kind, size);
            break;
        case Applied::Outcome::Written:
            // Said only once the content is on the clipboard.
            Q_EMIT applied(kind, size);
            if (kind == ContentKind::File) Q_EMIT fileStored(result.detail);
            break;
        case Applied::Outcome::NotStored:
            m_watcher.keepPresentContent();
            Q_EMIT fileNotStored(result.detail);
            break;
        case Applied::Outcome::NotWritten:
            m_watcher.keepPresentContent();
            break;
    }
}

}  // namespace clipwren
