// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/ChangeWatcher.h"

#include "clipboard/Digest.h"
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

std::optional<NewContent> ChangeWatcher::takeNewContent(std::optional<QByteArray>& lastDigest) {
    if (!m_pasteboard.isSettled()) return std::nullopt;
    if (m_recordPending) {
        recordPresentContent(lastDigest);
        return std::nullopt;
    }
    auto payload = clipboardPayload(m_pasteboard, &m_cache);
    if (!payload) return std::nullopt;
    QByteArray digest = digestOf(*payload);
    if (lastDigest == digest || m_kept == digest) return std::nullopt;
    m_kept.reset();
    lastDigest = std::move(digest);
    const bool tooLarge = payload->bytes.size() > maxBytes;
    // Asked only of a new content, so an unchanged clipboard costs no extra look.
    return NewContent{std::move(*payload), tooLarge, m_pasteboard.isSecret()};
}

void ChangeWatcher::keepPresentContent() {
    const auto payload = clipboardPayload(m_pasteboard, &m_cache);
    m_kept = payload ? std::optional(digestOf(*payload)) : std::nullopt;
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
    if (const auto payload = clipboardPayload(m_pasteboard, &m_cache)) {
        lastDigest = digestOf(*payload);
    }
}

}  // namespace clipwren
