#include "clipboard/InboundApply.h"

#include "clipboard/ClipboardPayload.h"
#include "clipboard/Digest.h"
#include "clipboard/ReceivedFiles.h"
#include "platform/Pasteboard.h"
#include "platform/Utf8.h"
#include "protocol/ClipMessageReader.h"

namespace clipwren {

namespace {

std::optional<QString> storeFile(const QByteArray& data, Pasteboard& pasteboard) {
    const qsizetype separator = data.indexOf('\0');
    if (separator < 0) return std::nullopt;
    const QByteArrayView name(data.constData(), separator);
    const qsizetype contentsSize = data.size() - separator - 1;
    if (!isValidUtf8(name) || contentsSize < 1 || contentsSize > maxBytes) return std::nullopt;

    const auto stored =
        ReceivedFiles::store(QString::fromUtf8(name), QByteArrayView(data).sliced(separator + 1));
    if (!stored.error.isEmpty()) return stored.error;
    pasteboard.clearContents();
    pasteboard.writeFileURL(stored.path);
    return std::nullopt;
}

}  // namespace

std::optional<QString> applyClip(const ClipMessage& clip, Pasteboard& pasteboard,
                                 std::optional<QByteArray>& lastDigest) {
    QByteArray digest = contentDigest(clip.kind, clip.data);
    if (lastDigest == digest) return std::nullopt;
    lastDigest = std::move(digest);

    pasteboard.clearContents();
    if (clip.kind == "text" && isValidUtf8(clip.data)) {
        pasteboard.setString(clip.data);
    } else if (clip.kind == "image") {
        pasteboard.setPNG(clip.data);
    } else if (clip.kind == "file") {
        return storeFile(clip.data, pasteboard);
    }
    return std::nullopt;
}

}  // namespace clipwren
