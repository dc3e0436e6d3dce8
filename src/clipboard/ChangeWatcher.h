#pragma once

#include <QByteArray>
#include <optional>

#include "clipboard/ClipboardPayload.h"

namespace clipwren {

class Pasteboard;

// The clipboard's content if it is new: not larger than maxBytes and with a digest other
// than lastDigest, which then takes the new digest (before anything is sent, so a content
// whose sending fails is not retried).
std::optional<ClipboardPayload> takeNewContent(const Pasteboard& pasteboard,
                                               std::optional<QByteArray>& lastDigest);

// Records the content present now as known, whatever its size, so it is never sent.
void recordPresentContent(const Pasteboard& pasteboard, std::optional<QByteArray>& lastDigest);

}  // namespace clipwren
