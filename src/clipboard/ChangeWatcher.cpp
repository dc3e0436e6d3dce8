// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/ChangeWatcher.h"

#include "clipboard/Digest.h"
#include "platform/Crypto.h"
#include "platform/clipboard/Pasteboard.h"

namespace clipwren {

QByteArray ChangeWatcher::digestOf(const ClipboardPayload& payload) {
    // The same buffer (a cached read, a file not read again) has the same bytes: it is held
    // here, so its address cannot have been reused for others.
    const bool same = payload.kind == m_hashed.kind &&
                      payload.bytes.constData() == m_hashed.bytes.constData() &&
                      payload.bytes.size() == m_hashed.bytes.size();
    if (!same) {
        m_hashedDigest = contentDigest(payload.kind.toUtf8(), payload.bytes);
        m_hashed = payload;
    }
    return m_hashedDigest;
}

// A content that crosses whole is known by its payload's digest, as the other side knows it.
// One that does not cross at all, by what tells it apart; one that crosses in part, by both.
QByteArray ChangeWatcher::digestOf(const ClipboardSnapshot& snapshot) {
    if (!snapshot.notSent) return digestOf(*snapshot.payload);
    if (!snapshot.payload) {
        return digestOf(ClipboardPayload{QStringLiteral("notSent"), snapshot.notSentIdentity});
    }
    return sha256({digestOf(*snapshot.payload), snapshot.notSentIdentity});
}

std::optional<NewContent> ChangeWatcher::takeNewContent(std::optional<QByteArray>& lastDigest) {
    if (!m_pasteboard.isSettled()) return std::nullopt;
    if (m_recordPending) {
        recordPresentContent(lastDigest);
        return std::nullopt;
    }
    ClipboardSnapshot snapshot = clipboardSnapshot(m_pasteboard, &m_cache);
    if (!snapshot.payload && !snapshot.notSent) return std::nullopt;
    QByteArray digest = digestOf(snapshot);
    if (lastDigest == digest || m_kept == digest) return std::nullopt;
    m_kept.reset();
    lastDigest = std::move(digest);
    // Asked only of a new content, so an unchanged clipboard costs no extra look.
    return NewContent{std::move(snapshot.payload), std::move(snapshot.notSent),
                      m_pasteboard.isSecret()};
}

void ChangeWatcher::keepPresentContent() {
    const ClipboardSnapshot snapshot = clipboardSnapshot(m_pasteboard, &m_cache);
    m_kept =
        snapshot.payload || snapshot.notSent ? std::optional(digestOf(snapshot)) : std::nullopt;
}

void ChangeWatcher::knowStoredFile(const QString& path, const QByteArray& payload,
                                   const QByteArray& digest) {
    const auto identity = fileIdentity(path);
    if (!identity) return;
    m_cache.keep(*identity, payload);
    m_hashed = ClipboardPayload{QStringLiteral("file"), payload};
    m_hashedDigest = digest;
}

void ChangeWatcher::recordPresentContent(std::optional<QByteArray>& lastDigest) {
    m_recordPending = !m_pasteboard.isSettled();
    if (m_recordPending) return;
    const ClipboardSnapshot snapshot = clipboardSnapshot(m_pasteboard, &m_cache);
    if (snapshot.payload || snapshot.notSent) lastDigest = digestOf(snapshot);
}

}  // namespace clipwren
