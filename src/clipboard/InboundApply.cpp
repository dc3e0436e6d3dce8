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

// Stores the file, then offers it. renamedPayload: the stored file as the clipboard will show
// it (stored name, 0x00, contents), when its name is not the received one.
Applied applyFile(const QByteArray& data, Pasteboard& pasteboard,
                  std::optional<QByteArray>& renamedPayload) {
    const qsizetype separator = data.indexOf('\0');
    if (separator < 0) return notWritten("a file without 0x00 after its name");
    const QByteArrayView name(data.constData(), separator);
    const qsizetype contentsSize = data.size() - separator - 1;
    if (!isValidUtf8(name)) return notWritten("a file name that is not UTF-8");
    if (contentsSize < 1 || contentsSize > maxBytes)
        return notWritten("file contents empty or too large");

    const QByteArrayView contents = QByteArrayView(data).sliced(separator + 1);
    const auto stored = ReceivedFiles::store(fromUtf8Exactly(name), contents);
    if (!stored) return {Outcome::NotStored, stored.error()};
    pasteboard.writeFileURL(stored.value());
    // The name the clipboard reports for the stored file, the way a snapshot reads it.
    const QByteArray storedName = QUrl::fromLocalFile(stored.value()).fileName().toUtf8();
    if (storedName != name) {
        renamedPayload.emplace();
        renamedPayload->reserve(storedName.size() + 1 + contents.size());
        renamedPayload->append(storedName).append('\0').append(contents);
    }
    return {Outcome::Written, stored.value()};
}

}  // namespace

Applied applyClip(const ClipMessage& clip, Pasteboard& pasteboard,
                  std::optional<QByteArray>& lastDigest, std::optional<RenamedFile>& renamed) {
    QByteArray digest = contentDigest(clip.kind, clip.data);
    if (lastDigest == digest) return {Outcome::Known, {}};
    // Still the renamed file on the clipboard, and the same message again.
    if (renamed && renamed->receivedDigest == digest && renamed->storedDigest == lastDigest) {
        return {Outcome::Known, {}};
    }
    renamed.reset();
    // Known from here on, written or not: the same message is not tried again.
    lastDigest = digest;

    if (clip.kind == "text") {
        if (!isValidUtf8(clip.data)) return notWritten("text that is not UTF-8");
        pasteboard.setString(clip.data);
        return {Outcome::Written, {}};
    }
    if (clip.kind == "image") {
        pasteboard.setPNG(clip.data);
        return {Outcome::Written, {}};
    }
    if (clip.kind != "file") return notWritten("a kind no one knows");
    std::optional<QByteArray> renamedPayload;
    Applied applied = applyFile(clip.data, pasteboard, renamedPayload);
    if (renamedPayload) {
        lastDigest = contentDigest("file", *renamedPayload);
        renamed = RenamedFile{std::move(digest), *lastDigest};
    }
    return applied;
}

}  // namespace clipwren
