#include "clipboard/Snapshot.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include "platform/Pasteboard.h"

namespace clipwren {

namespace {

std::optional<ClipboardPayload> filePayload(const Pasteboard& pasteboard) {
    const QList<QUrl> urls = pasteboard.fileURLs();
    if (urls.isEmpty()) return std::nullopt;
    const QUrl& url = urls.first();
    const QFileInfo info(url.toLocalFile());
    // The size is checked before reading, so a large file is never loaded.
    if (!info.isFile() || info.size() < 1 || info.size() > maxBytes) return std::nullopt;

    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // Read at most one byte past the limit: the file may have grown since it was measured.
    const QByteArray contents = file.read(maxBytes + 1);
    if (contents.isEmpty() || contents.size() > maxBytes || file.error() != QFile::NoError) {
        return std::nullopt;
    }

    QByteArray bytes = url.fileName().toUtf8();
    bytes.reserve(bytes.size() + 1 + contents.size());
    bytes.append('\0').append(contents);
    return ClipboardPayload{QStringLiteral("file"), std::move(bytes)};
}

std::optional<ClipboardPayload> pngFromTiff(const QByteArray& tiff) {
    const QImage image = QImage::fromData(tiff, "TIFF");
    if (image.isNull()) return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "PNG");
    if (!writer.write(image) || png.isEmpty()) return std::nullopt;
    return ClipboardPayload{QStringLiteral("image"), std::move(png)};
}

}  // namespace

std::optional<ClipboardPayload> clipboardPayload(const Pasteboard& pasteboard) {
    if (auto file = filePayload(pasteboard)) return file;

    if (auto png = pasteboard.data(Pasteboard::DataType::PNG)) {
        return ClipboardPayload{QStringLiteral("image"), std::move(*png)};
    }
    if (auto tiff = pasteboard.data(Pasteboard::DataType::TIFF)) {
        if (auto converted = pngFromTiff(*tiff)) return converted;
    }
    if (auto text = pasteboard.string(); text && !text->isEmpty()) {
        return ClipboardPayload{QStringLiteral("text"), std::move(*text)};
    }
    return std::nullopt;
}

}  // namespace clipwren
