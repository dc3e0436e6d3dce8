#pragma once

#include <QByteArray>
#include <optional>

#include "clipboard/ClipboardPayload.h"

namespace clipwren {

class Pasteboard;

// A content the clipboard holds that lastDigest does not know yet.
struct NewContent {
    ClipboardPayload payload;
    // Larger than maxBytes: never sent, only reported, once, since it is now known too.
    bool tooLarge = false;
};

// The clipboard's content if its digest differs from lastDigest, which then takes the new
// digest (before anything is sent, so a content whose sending fails is not retried).
std::optional<NewContent> takeNewContent(const Pasteboard& pasteboard,
                                         std::optional<QByteArray>& lastDigest);

// Records the content present now as known, whatever its size, so it is never sent.
void recordPresentContent(const Pasteboard& pasteboard, std::optional<QByteArray>& lastDigest);

}  // namespace clipwren
