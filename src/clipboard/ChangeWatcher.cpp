// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/ChangeWatcher.h"

#include "clipboard/Digest.h"
#include "platform/Crypto.h"
#include "platform/clipboard/Pasteboard.h"

namespace clipwren {

QByteArray ChangeWatcher::digestOf(const ClipboardPayload& payload) {
    // A file's is kept by its identity instead, without holding its bytes.
    if (payload.kind == ContentKind::File) return contentDigest(payload.kind, payload.bytes);
    // The same buffer (the backend's cached read) has the same bytes: it is held here, so its
    // address cannot have been reused for others.
    const bool same = payload.kind == m_hashed.kind &&
                      payload.bytes.constData() == m_hashed.bytes.constData() &&
                      payload.bytes.size() == m_hashed.bytes.size();
    if (!same) {
        m_hashedDigest = contentDigest(payload.kind, payload.bytes);
        m_hashed = payload;
    }
    return m_hashedDigest;
}

// A content that crosses whole is known by its payload's digest, as the other side knows it.
// One that does not cross at all, by what tells it apart; one that crosses in part, by both.
QByteArray ChangeWatcher::digestOf(const ClipboardSnapshot& snapshot) {
    QByteArray payloadDigest;
    if (snapshot.knownPayloadDigest) {
        payloadDigest = *snapshot.knownPayloadDigest;
    } else if (snapshot.payload) {
        payloadDigest = digestOf(*snapshot.payload);
        if (snapshot.file) m_cache.keep(*snapshot.file, payloadDigest);
    }
    if (!snapshot.notSent) return payloadDigest;
    // Under a name no kind has, so that it is never taken for a content that crossed.
    if (payloadDigest.isEmpty()) return contentDigest("notSent", snapshot.notSentIdentity);
    return sha256({payloadDigest, snapshot.notSentIdentity});
}

bool ChangeWatcher::isEmpty(const ClipboardSnapshot& snapshot) {
    return !snapshot.payload && !snapshot.notSent && !snapshot.knownPayloadDigest;
}

bool ChangeWatcher::isKnown(const QByteArray& digest, const KnownContent& known) const {
    return known.lastDigest() == digest || m_kept == digest;
}

std::optional<NewContent> ChangeWatcher::takeNewContent(KnownContent& known) {
    if (!m_pasteboard.isSettled()) return std::nullopt;
    if (m_recordPending) {
        recordPresentContent(known);
        return std::nullopt;
    }
    ClipboardSnapshot snapshot = clipboardSnapshot(m_pasteboard, &m_cache);
    if (isEmpty(snapshot)) return std::nullopt;
    QByteArray digest = digestOf(snapshot);
    if (isKnown(digest, known)) return std::nullopt;
    if (snapshot.knownPayloadDigest) {
        // A file known by its digest is new again (copied anew after another content): its
        // bytes are needed now.
        snapshot = clipboardSnapshot(m_pasteboard);
        if (isEmpty(snapshot)) return std::nullopt;
        digest = digestOf(snapshot);
        if (isKnown(digest, known)) return std::nullopt;
    }
    m_kept.reset();
    known.recordFound(std::move(digest));
    // Asked only of a new content, so an unchanged clipboard costs no extra look.
    return NewContent{std::move(snapshot.payload), std::move(snapshot.notSent),
                      m_pasteboard.isSecret()};
}

void ChangeWatcher::keepPresentContent() {
    const ClipboardSnapshot snapshot = clipboardSnapshot(m_pasteboard, &m_cache);
    m_kept = isEmpty(snapshot) ? std::nullopt : std::optional(digestOf(snapshot));
}

void ChangeWatcher::knowStoredFile(const QString& path, const QByteArray& digest) {
    if (const auto identity = fileIdentity(path)) m_cache.keep(*identity, digest);
}

void ChangeWatcher::recordPresentContent(KnownContent& known) {
    m_recordPending = !m_pasteboard.isSettled();
    if (m_recordPending) return;
    const ClipboardSnapshot snapshot = clipboardSnapshot(m_pasteboard, &m_cache);
    if (!isEmpty(snapshot)) known.recordFound(digestOf(snapshot));
}

}  // namespace clipwren
