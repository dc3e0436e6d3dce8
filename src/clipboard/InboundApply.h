// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

#include "clipboard/ReceivedFiles.h"

namespace clipwren {

class Pasteboard;
struct ClipMessage;

// A received file stored under another name than the one it came with (a name with folders,
// "..", too long) sits on the clipboard with another digest than its message had. lastDigest
// takes the digest of what the clipboard shows, so the watcher does not send it back; this
// keeps the message's digest beside it, so a repeat of that message is still known.
struct RenamedFile {
    QByteArray receivedDigest;
    QByteArray storedDigest;
    friend bool operator==(const RenamedFile&, const RenamedFile&) = default;
};

// What became of one received clip.
struct Applied {
    enum class Outcome {
        Known,       // already known by lastDigest: nothing done
        Written,     // on the clipboard
        NotWritten,  // nothing to write (text not UTF-8, a bad file)
        NotStored,   // a file that could not be stored
    };
    Outcome outcome;
    // Written: the stored file's path, for a file. NotWritten: why, for the debug log.
    // NotStored: why, in the user's words.
    QString detail;
};

// Where a received file's contents are written (ReceivedFiles::store).
using FileStore = std::function<Result<QString>(const QString& name, QByteArrayView)>;

// Puts a checked clip message on the clipboard, unless its content is already known by
// lastDigest (or renamed). A new content's digest is recorded first, known from then on
// whatever follows; then the content replaces the clipboard's in one write: text (valid
// UTF-8 only), PNG data as they are, or a file stored in the received-files folder first and
// then offered by its URL. A content that cannot be written leaves the clipboard as it was.
Applied applyClip(const ClipMessage& clip, Pasteboard& pasteboard,
                  std::optional<QByteArray>& lastDigest, std::optional<RenamedFile>& renamed);
// The same, with the content's digest made already (off the main thread, for a large one).
Applied applyClip(const ClipMessage& clip, const QByteArray& digest, Pasteboard& pasteboard,
                  std::optional<QByteArray>& lastDigest, std::optional<RenamedFile>& renamed);

// A received file in steps, for a large one whose digest and file are made elsewhere than on the
// thread of lastDigest and the clipboard. Steps 1 and 3 go together, in one step of that
// thread: a digest recorded while the clipboard still shows the content before would make
// that content look new, and send it back.
// 0. whether the content is known already, recording nothing;
bool isKnownDigest(const QByteArray& digest, const std::optional<QByteArray>& lastDigest,
                   const std::optional<RenamedFile>& renamed);
// 1. whether the content is new: then lastDigest takes its digest;
bool recordNewDigest(const QByteArray& digest, std::optional<QByteArray>& lastDigest,
                     std::optional<RenamedFile>& renamed);
// 2. a file stored, touching only the received-files folder (anywhere); it is Written once
//    stored, with its path, and offered in step 3;
struct StoredClip {
    Applied applied;
    // A file stored under another name: the digest of what the clipboard will show.
    std::optional<QByteArray> renamedDigest;
};
StoredClip storeFile(const QByteArray& data, const FileStore& store);
// 3. the stored file offered, and lastDigest following a renamed one.
void offerStoredFile(const StoredClip& stored, const QByteArray& receivedDigest,
                     Pasteboard& pasteboard, std::optional<QByteArray>& lastDigest,
                     std::optional<RenamedFile>& renamed);

}  // namespace clipwren
