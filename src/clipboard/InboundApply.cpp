#include "clipboard/InboundApply.h"

#include <QUrl>

#include "clipboard/ClipboardPayload.h"
#include "clipboard/Digest.h"
#include "clipboard/ReceivedFiles.h"
#include "platform/Pasteboard.h"
#include "platform/Utf8.h"
#include "protocol/ClipMessageReader.h"

namespace clipwren {

namespace {

// renamedPayload: the stored file as the clipboard will show it (stored name, 0x00,
// contents), when its name is not the received one.
std::optional<QString> storeFile(const QByteArray& data, Pasteboard& pasteboard,
                                 std::optional<QByteArray>& renamedPayload) {
    const qsizetype separator = data.indexOf('\0');
    if (separator < 0) return std::nullopt;
    const QByteArrayView name(data.constData(), separator);
    const qsizetype contentsSize = data.size() - separator - 1;
    if (!isValidUtf8(name) || contentsSize < 1 || contentsSize > maxBytes) return std::nullopt;

    const QByteArrayView contents = QByteArrayView(data).sliced(separator + 1);
    const auto stored = ReceivedFiles::store(fromUtf8Exactly(name), contents);
    if (!stored.error.isEmpty()) return stored.error;
    pasteboard.clearContents();
    pasteboard.writeFileURL(stored.path);
    // The name the clipboard reports for the stored file, the way a snapshot reads it.
    const QByteArray storedName = QUrl::fromLocalFile(stored.path).fileName().toUtf8();
    if (storedName != name) {
        renamedPayload.emplace();
        renamedPayload->reserve(storedName.size() + 1 + contents.size());
        renamedPayload->append(storedName).append('\0').append(contents);
    }
    return std::nullopt;
}

}  // namespace

std::optional<QString> applyClip(const ClipMessage& clip, Pasteboard& pasteboard,
                                 std::optional<QByteArray>& lastDigest,
                                 std::optional<RenamedFile>& renamed) {
    QByteArray digest = contentDigest(clip.kind, clip.data);
    if (lastDigest == digest) return std::nullopt;
    // Still the renamed file on the clipboard, and the same message again.
    if (renamed && renamed->receivedDigest == digest && renamed->storedDigest == lastDigest) {
        return std::nullopt;
    }
    renamed.reset();
    lastDigest = digest;

    pasteboard.clearContents();
    if (clip.kind == "text" && isValidUtf8(clip.data)) {
        pasteboard.setString(clip.data);
    } else if (clip.kind == "image") {
        pasteboard.setPNG(clip.data);
    } else if (clip.kind == "file") {
        std::optional<QByteArray> renamedPayload;
        auto error = storeFile(clip.data, pasteboard, renamedPayload);
        if (renamedPayload) {
            lastDigest = contentDigest("file", *renamedPayload);
            renamed = RenamedFile{std::move(digest), *lastDigest};
        }
        return error;
    }
    return std::nullopt;
}

}  // namespace clipwren
