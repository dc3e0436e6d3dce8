#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

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

// Puts a checked clip message on the clipboard, unless its content is already known by
// lastDigest (or renamed). A new content's digest is recorded first, then the clipboard is
// emptied and written by kind: text (valid UTF-8 only), PNG data as they are, or a file
// stored in the received-files folder and offered by its URL. Returns why a received file
// could not be stored, if it could not.
std::optional<QString> applyClip(const ClipMessage& clip, Pasteboard& pasteboard,
                                 std::optional<QByteArray>& lastDigest,
                                 std::optional<RenamedFile>& renamed);

}  // namespace clipwren
