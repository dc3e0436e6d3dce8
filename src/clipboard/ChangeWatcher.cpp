#include "clipboard/ChangeWatcher.h"

#include "clipboard/Digest.h"
#include "clipboard/Snapshot.h"

namespace clipwren {

namespace {
QByteArray digestOf(const ClipboardPayload& payload) {
    return contentDigest(payload.kind.toUtf8(), payload.bytes);
}
}  // namespace

std::optional<NewContent> takeNewContent(const Pasteboard& pasteboard,
                                         std::optional<QByteArray>& lastDigest) {
    auto payload = clipboardPayload(pasteboard);
    if (!payload) return std::nullopt;
    QByteArray digest = digestOf(*payload);
    if (lastDigest == digest) return std::nullopt;
    lastDigest = std::move(digest);
    const bool tooLarge = payload->bytes.size() > maxBytes;
    return NewContent{std::move(*payload), tooLarge};
}

void recordPresentContent(const Pasteboard& pasteboard, std::optional<QByteArray>& lastDigest) {
    if (const auto payload = clipboardPayload(pasteboard)) lastDigest = digestOf(*payload);
}

}  // namespace clipwren
