// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/ClipboardBridge.h"

#include "Logging.h"
#include "clipboard/ChangeWatcher.h"
#include "clipboard/InboundApply.h"
#include "platform/clipboard/Pasteboard.h"
#include "protocol/Message.h"

namespace clipwren {

ClipboardBridge::ClipboardBridge(Pasteboard& pasteboard, TokenSource token, QString deviceID,
                                 QObject* parent)
    : QObject(parent),
      m_pasteboard(pasteboard),
      m_token(std::move(token)),
      m_deviceID(std::move(deviceID)),
      m_watcher(pasteboard) {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(pollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ClipboardBridge::poll);
    // A change leaves at once; the tick stays for backends that miss one. Queued, so that a
    // change made by applying a message is looked at afterwards.
    connect(
        &m_pasteboard, &Pasteboard::changed, this,
        [this] {
            if (isWatching()) poll();
        },
        Qt::QueuedConnection);
}

void ClipboardBridge::begin() {
    m_watcher.recordPresentContent(m_lastDigest);
    m_watching = true;
    m_timer.start();  // once, however many sessions begin
}

void ClipboardBridge::end() {
    m_watching = false;
    m_timer.stop();
}

void ClipboardBridge::poll() {
    const auto content = m_watcher.takeNewContent(m_lastDigest);
    if (!content) return;
    const ClipboardPayload& payload = content->payload;
    if (content->secret) {
        Q_EMIT secretKept(payload.kind, payload.bytes.size());
        return;
    }
    if (content->tooLarge) {
        Q_EMIT tooLarge(payload.kind, payload.bytes.size());
        return;
    }
    const auto frame = clipMessage(payload.kind, payload.bytes, m_token(), m_deviceID).toFrame();
    if (!frame) return;
    Q_EMIT frameReady(*frame);
    Q_EMIT sent(payload.kind, payload.bytes.size());
}

void ClipboardBridge::receive(const QByteArray& body) {
    const auto clip = m_reader.read(body, m_token(), m_deviceID);
    if (!clip) return;
    const QString kind = QString::fromUtf8(clip->kind);
    const Applied result = applyClip(*clip, m_pasteboard, m_lastDigest, m_renamed);
    switch (result.outcome) {
        case Applied::Outcome::Known:
            qCDebug(lcClipboard) << "received content already known:" << kind;
            Q_EMIT alreadyKnown(kind, clip->data.size());
            break;
        case Applied::Outcome::Written:
            // Said only once the content is on the clipboard.
            Q_EMIT applied(kind, clip->data.size());
            if (kind == u"file") Q_EMIT fileStored(result.detail);
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
