// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

#include "clipboard/KnownContent.h"
#include "clipboard/ReceivedFiles.h"

namespace clipwren {

class Pasteboard;
struct ClipMessage;

// What became of one received clip.
struct Applied {
    enum class Outcome {
        Known,       // already known: nothing done
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

// Puts a checked clip message on the clipboard, unless its content is known already. A new
// content is recorded as known first, whatever follows; then the content replaces the
// clipboard's in one write: text (valid UTF-8 only), PNG data as they are, or a file stored in
// the received-files folder first and then offered by its URL. A content that cannot be
// written leaves the clipboard as it was.
Applied applyClip(const ClipMessage& clip, Pasteboard& pasteboard, KnownContent& known);
// The same, with the content's digest made already (off the main thread, for a large one).
Applied applyClip(const ClipMessage& clip, const QByteArray& digest, Pasteboard& pasteboard,
                  KnownContent& known);

// A received file in steps, for a large one whose digest and file are made elsewhere than on the
// thread of the known content and the clipboard. Steps 1 and 3 go together, in one step of
// that thread: a digest recorded while the clipboard still shows the content before would make
// that content look new, and send it back.
// 0. whether the content is known already (KnownContent::knows);
// 1. whether it is new, recorded then (KnownContent::recordReceived);
// 2. a file stored, touching only the received-files folder (anywhere); it is Written once
//    stored, with its path, and offered in step 3;
struct StoredClip {
    Applied applied;
    // A file stored under another name: the digest of what the clipboard will show.
    std::optional<QByteArray> renamedDigest;
};
StoredClip storeFile(const QByteArray& data, const FileStore& store);
// 3. the stored file offered, and the known content following a renamed one.
void offerStoredFile(const StoredClip& stored, const QByteArray& receivedDigest,
                     Pasteboard& pasteboard, KnownContent& known);

}  // namespace clipwren
