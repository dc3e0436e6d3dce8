// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/InboundApply.h"

#include <QUrl>

#include "Logging.h"
#include "clipboard/ClipboardPayload.h"
#include "clipboard/Digest.h"
#include "clipboard/ReceivedFiles.h"
#include "platform/Utf8.h"
#include "platform/clipboard/Pasteboard.h"
#include "protocol/ClipMessageReader.h"

namespace clipwren {

namespace {

using Outcome = Applied::Outcome;

Applied notWritten(const char* why) {
    qCDebug(lcClipboard) << "received content not written:" << why;
    return {Outcome::NotWritten, QString::fromLatin1(why)};
}

// A text or an image.
Applied writeClip(const ClipMessage& clip, Pasteboard& pasteboard) {
    if (clip.kind == ContentKind::Text) {
        if (!isValidUtf8(clip.data)) return notWritten("text that is not UTF-8");
        pasteboard.setString(clip.data);
    } else {
        pasteboard.setPNG(clip.data);
    }
    return {Outcome::Written, {}};
}

}  // namespace

StoredClip storeFile(const QByteArray& data, const FileStore& store) {
    const qsizetype separator = data.indexOf('\0');
    if (separator < 0) return {notWritten("a file without 0x00 after its name"), {}};
    const QByteArrayView name(data.constData(), separator);
    const qsizetype contentsSize = data.size() - separator - 1;
    if (!isValidUtf8(name)) return {notWritten("a file name that is not UTF-8"), {}};
    if (contentsSize < 1 || contentsSize > maxBytes)
        return {notWritten("file contents empty or too large"), {}};

    const QByteArrayView contents = QByteArrayView(data).sliced(separator + 1);
    const auto stored = store(fromUtf8Exactly(name), contents);
    if (!stored) return {{Outcome::NotStored, stored.error()}, {}};
    // The name the clipboard reports for the stored file, the way a snapshot reads it.
    const QByteArray storedName = QUrl::fromLocalFile(stored.value()).fileName().toUtf8();
    std::optional<QByteArray> renamedDigest;
    if (storedName != name) renamedDigest = fileDigest(storedName, contents);
    return {{Outcome::Written, stored.value()}, std::move(renamedDigest)};
}

void offerStoredFile(const StoredClip& stored, const QByteArray& receivedDigest,
                     Pasteboard& pasteboard, KnownContent& known) {
    if (stored.applied.outcome != Outcome::Written) return;
    pasteboard.writeFileURL(stored.applied.detail);
    if (stored.renamedDigest) known.recordRenamed(receivedDigest, *stored.renamedDigest);
}

Applied applyClip(const ClipMessage& clip, Pasteboard& pasteboard, KnownContent& known) {
    return applyClip(clip, contentDigest(clip.kind, clip.data), pasteboard, known);
}

Applied applyClip(const ClipMessage& clip, const QByteArray& digest, Pasteboard& pasteboard,
                  KnownContent& known) {
    if (!known.recordReceived(digest)) return {Outcome::Known, {}};
    if (clip.kind != ContentKind::File) return writeClip(clip, pasteboard);
    const StoredClip stored = storeFile(clip.data, &ReceivedFiles::store);
    offerStoredFile(stored, digest, pasteboard, known);
    return stored.applied;
}

}  // namespace clipwren
