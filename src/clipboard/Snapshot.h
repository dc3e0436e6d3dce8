// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>

#include "clipboard/ClipboardPayload.h"
#include "protocol/SessionNotice.h"

namespace clipwren {

class Pasteboard;

// What the watcher keeps between looks: the digest of the last file's payload, with the file's
// identity (path, device, inode, size, modification time). While that identity stays the same
// the file is not read again, and its digest stands for its bytes; 12 MiB of them need not
// stay in memory for that.
class SnapshotCache {
public:
    struct FileIdentity {
        QString path;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        bool operator==(const FileIdentity&) const = default;
    };

    // The kept digest of the payload of the file with that identity.
    const QByteArray* find(const FileIdentity& identity) const {
        return m_identity == identity ? &m_digest : nullptr;
    }
    void keep(FileIdentity identity, QByteArray digest) {
        m_identity = std::move(identity);
        m_digest = std::move(digest);
        m_payload.reset();
    }
    // The same, with the payload read elsewhere, for the next look to take.
    void keepRead(FileIdentity identity, QByteArray digest, QByteArray payload) {
        keep(std::move(identity), std::move(digest));
        m_payload = std::move(payload);
    }
    // The payload read elsewhere, once; only the digest stays.
    std::optional<QByteArray> takeRead() { return std::exchange(m_payload, std::nullopt); }

private:
    std::optional<FileIdentity> m_identity;
    QByteArray m_digest;
    std::optional<QByteArray> m_payload;
};

// A regular file's identity; nothing when it is not one.
std::optional<SnapshotCache::FileIdentity> fileIdentity(const QString& path);

// What the clipboard holds now, as the sync sees it: what crosses, what does not and why, or
// both (of several files, the first crosses).
struct ClipboardSnapshot {
    std::optional<ClipboardPayload> payload;
    std::optional<NotSent> notSent;
    // What tells one content that does not cross from another, when there is no payload to:
    // its own bytes, a file's identity, a folder's path, the list of files, the types offered.
    QByteArray notSentIdentity;
    // The first file's identity, when its payload was read or is known.
    std::optional<SnapshotCache::FileIdentity> file;
    // The cached digest of a file unchanged since: its payload was not read, and this stands
    // for it (or it was read elsewhere, and is the payload).
    std::optional<QByteArray> knownPayloadDigest;
    // A file larger than the snapshot was to read: nothing else was looked at.
    std::optional<SnapshotCache::FileIdentity> fileToRead;
};

// The clipboard's content now: the first file of the URL list (1 to maxBytes bytes of
// contents), else PNG data as stored, else an image of another type converted to PNG, else
// non-empty text, else HTML as its text. A file list that cannot cross whole, a content over
// maxBytes, and a clipboard that offers only what none of these is, are named in notSent.
// A file the cache knows is not read: knownPayloadDigest stands for its payload. A file of
// more than readUpTo bytes is not read either: it is left in fileToRead.
ClipboardSnapshot clipboardSnapshot(const Pasteboard& pasteboard, SnapshotCache* cache = nullptr,
                                    qint64 readUpTo = maxBytes);

// The payload of the file of that identity (its name, 0x00, its contents), if it is still
// 1 to maxBytes bytes long and can be read.
std::optional<QByteArray> filePayload(const SnapshotCache::FileIdentity& identity);

// Only what crosses, read in full.
std::optional<ClipboardPayload> clipboardPayload(const Pasteboard& pasteboard);

}  // namespace clipwren
