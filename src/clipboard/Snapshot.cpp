// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/Snapshot.h"

#include <sys/stat.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>

#include "platform/clipboard/Pasteboard.h"

namespace clipwren {

namespace {

std::optional<QByteArray> readFilePayload(const QUrl& url, qint64 size) {
    QFile file(url.toLocalFile());
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // The contents go straight behind the name: a 12 MiB file is never held twice.
    QByteArray bytes = url.fileName().toUtf8();
    const qsizetype start = bytes.size() + 1;
    bytes.resize(start + size);
    bytes[start - 1] = '\0';
    const qint64 got = file.read(bytes.data() + start, size);
    if (got < 0) return std::nullopt;
    bytes.truncate(start + got);
    // It may have grown since it was measured: at most one byte past the limit more.
    bytes.append(file.read(maxBytes + 1 - got));
    const qsizetype total = bytes.size() - start;
    if (total < 1 || total > maxBytes || file.error() != QFile::NoError) return std::nullopt;
    return bytes;
}

std::optional<ClipboardPayload> filePayload(const Pasteboard& pasteboard, SnapshotCache* cache) {
    const QList<QUrl> urls = pasteboard.fileURLs();
    if (urls.isEmpty()) return std::nullopt;
    const QUrl& url = urls.first();
    const auto identity = fileIdentity(url.toLocalFile());
    // The size is checked before reading, so a large file is never loaded.
    if (!identity || identity->size < 1 || identity->size > maxBytes) return std::nullopt;
    if (cache) {
        if (const QByteArray* bytes = cache->find(*identity)) {
            return ClipboardPayload{QStringLiteral("file"), *bytes};
        }
    }
    auto bytes = readFilePayload(url, identity->size);
    if (!bytes) return std::nullopt;
    if (cache) cache->keep(*identity, *bytes);
    return ClipboardPayload{QStringLiteral("file"), std::move(*bytes)};
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

std::optional<SnapshotCache::FileIdentity> fileIdentity(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
#ifdef Q_OS_DARWIN
    const timespec& modified = status.st_mtimespec;
#else
    const timespec& modified = status.st_mtim;
#endif
    return SnapshotCache::FileIdentity{path, quint64(status.st_dev), quint64(status.st_ino),
                                       qint64(status.st_size),
                                       qint64(modified.tv_sec) * 1'000'000'000 + modified.tv_nsec};
}

std::optional<ClipboardPayload> clipboardPayload(const Pasteboard& pasteboard,
                                                 SnapshotCache* cache) {
    if (auto file = filePayload(pasteboard, cache)) return file;

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
