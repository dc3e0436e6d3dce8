// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <optional>

#include "clipboard/ClipboardPayload.h"
#include "clipboard/KnownContent.h"
#include "clipboard/Snapshot.h"

namespace clipwren {

class Pasteboard;

// A content the clipboard holds that is not known yet: what of it crosses, and what does not,
// named once, since it is now known too.
struct NewContent {
    std::optional<ClipboardPayload> payload;
    std::optional<NotSent> notSent;
    // Marked by a password manager: never sent, only reported, once.
    bool secret = false;
};

// Looks at one clipboard for contents not known yet. A look at an unchanged
// clipboard costs next to nothing: a file is not read again while its identity stays the
// same, and bytes already hashed are not hashed again.
class ChangeWatcher {
public:
    explicit ChangeWatcher(const Pasteboard& pasteboard) : m_pasteboard(pasteboard) {}

    // The clipboard's content if its digest differs from the last known one, which it then
    // becomes (before anything is sent, so a content whose sending fails is not retried).
    std::optional<NewContent> takeNewContent(KnownContent& known);

    // Records the content present now as known, whatever its size, so it is never sent. A
    // content the backend is still reading is recorded once it has been read.
    void recordPresentContent(KnownContent& known);

    // Keeps the content present now known after the known content has moved on without the
    // clipboard changing (a received content that could not be written), so that what the
    // user had is not taken for a new copy and sent back; until the next new content.
    void keepPresentContent();

    // A received file just stored at path and offered, with its payload's digest: the next
    // look finds it known without reading or hashing it again.
    void knowStoredFile(const QString& path, const QByteArray& digest);

private:
    QByteArray digestOf(const ClipboardPayload& payload);
    QByteArray digestOf(const ClipboardSnapshot& snapshot);
    bool isKnown(const QByteArray& digest, const KnownContent& known) const;
    static bool isEmpty(const ClipboardSnapshot& snapshot);

    const Pasteboard& m_pasteboard;
    SnapshotCache m_cache;
    bool m_recordPending = false;
    std::optional<QByteArray> m_kept;
    // The last image or text hashed, held so that the same buffer can be told again by its
    // address (the backend's, so holding it costs nothing).
    ClipboardPayload m_hashed;
    QByteArray m_hashedDigest;
};

}  // namespace clipwren
