#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace clipwren {

class Pasteboard;
struct ClipMessage;

// Puts a checked clip message on the clipboard, unless its content is already known by
// lastDigest. A new content's digest is recorded first, then the clipboard is emptied and
// written by kind: text (valid UTF-8 only), PNG data as they are, or a file stored in the
// received-files folder and offered by its URL. Returns why a received file could not be
// stored, if it could not.
std::optional<QString> applyClip(const ClipMessage& clip, Pasteboard& pasteboard,
                                 std::optional<QByteArray>& lastDigest);

}  // namespace clipwren
