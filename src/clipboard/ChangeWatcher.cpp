#include "clipboard/ChangeWatcher.h"

#include "clipboard/Digest.h"
#include "clipboard/Snapshot.h"

namespace clipwren {

namespace {
QByteArray digestOf(const ClipboardPayload& payload) {
    return contentDigest(payload.kind.toUtf8(), payload.bytes);
}
}  // namespace

std::optional<ClipboardPayload> takeNewContent(const Pasteboard& pasteboard,
                                               std::optional<QByteArray>& lastDigest) {
    auto payload = clipboardPayload(pasteboard);
    if (!payload || payload->bytes.size() > maxBytes) return std::nullopt;
    QByteArray digest = digestOf(*payload);
    if (lastDigest == digest) return std::nullopt;
    lastDigest = std::move(digest);
    return payload;
}

void recordPresentContent(const Pasteboard& pasteboard, std::optional<QByteArray>& lastDigest) {
    if (const auto payload = clipboardPayload(pasteboard)) lastDigest = digestOf(*payload);
}

}  // namespace clipwren
