// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/Snapshot.h"

#include <sys/stat.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTextDocumentFragment>
#include <algorithm>

#include "platform/Memory.h"
#include "platform/clipboard/ClipboardContents.h"
#include "platform/clipboard/Pasteboard.h"

namespace clipwren {

namespace {

std::optional<QByteArray> readFilePayload(const QString& path, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // The contents go straight behind the name: a 12 MiB file is never held twice.
    QByteArray bytes = QFileInfo(path).fileName().toUtf8();
    const qsizetype start = bytes.size() + 1;
    bytes.resize(start + size);
    if (size > (1 << 20)) adviseHugePages(bytes.data(), size_t(bytes.size()));
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

QByteArray identityBytes(const SnapshotCache::FileIdentity& identity) {
    return QStringLiteral("%1:%2:%3:%4:%5")
        .arg(identity.path)
        .arg(identity.device)
        .arg(identity.inode)
        .arg(identity.size)
        .arg(identity.modifiedNs)
        .toUtf8();
}

// The first of the files, if it can cross; a folder, a file over the limit, or the files past
// the first, named. Nothing when the first is no file at all, or empty: the clipboard's other
// types are looked at then.
std::optional<ClipboardSnapshot> filesSnapshot(const QList<QUrl>& urls, SnapshotCache* cache,
                                               qint64 readUpTo) {
    const QString path = urls.first().toLocalFile();
    const QString name = urls.first().fileName();
    ClipboardSnapshot snapshot;
    if (const auto identity = fileIdentity(path)) {
        if (identity->size > maxBytes) {
            // The size is checked before reading, so a large file is never loaded.
            snapshot.notSent = NotSent::tooLarge(ContentKind::File, name, identity->size, maxBytes);
            snapshot.notSentIdentity = identityBytes(*identity);
        } else if (identity->size > 0) {
            if (const QByteArray* digest = cache ? cache->find(*identity) : nullptr) {
                snapshot.knownPayloadDigest = *digest;
                if (auto read = cache->takeRead())
                    snapshot.payload = ClipboardPayload{ContentKind::File, std::move(*read)};
            } else if (identity->size > readUpTo) {
                ClipboardSnapshot unread;
                unread.fileToRead = *identity;
                return unread;
            } else if (auto bytes = readFilePayload(path, identity->size)) {
                snapshot.payload = ClipboardPayload{ContentKind::File, std::move(*bytes)};
            }
            if (snapshot.payload || snapshot.knownPayloadDigest) snapshot.file = *identity;
        }
    } else if (QFileInfo(path).isDir()) {
        snapshot.notSent = NotSent::folder(name);
        snapshot.notSentIdentity = path.toUtf8();
    }
    if (urls.size() > 1) {
        // One file crosses at a time: the user learns which, if any, did.
        const bool crosses = snapshot.payload || snapshot.knownPayloadDigest;
        snapshot.notSent = NotSent::severalFiles(urls.size(), crosses ? name : QString());
        for (const QUrl& url : urls) snapshot.notSentIdentity += url.toEncoded() + '\n';
    }
    if (!snapshot.payload && !snapshot.notSent && !snapshot.knownPayloadDigest) return std::nullopt;
    return snapshot;
}

std::optional<ClipboardPayload> pngFrom(const QByteArray& image) {
    const QImage decoded = QImage::fromData(image);
    if (decoded.isNull()) return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "PNG");
    if (!writer.write(decoded) || png.isEmpty()) return std::nullopt;
    return ClipboardPayload{ContentKind::Image, std::move(png)};
}

std::optional<ClipboardPayload> textFromHtml(const QByteArray& html) {
    QString text = QTextDocumentFragment::fromHtml(QString::fromUtf8(html)).toPlainText();
    // Non-breaking spaces are what HTML spells its spaces with; nobody pastes them on purpose.
    text.replace(QChar::Nbsp, u' ');
    if (text.trimmed().isEmpty()) return std::nullopt;
    return ClipboardPayload{ContentKind::Text, text.toUtf8()};
}

// An image or a text, of any size: what the clipboard offers, best first.
std::optional<ClipboardPayload> contentPayload(const Pasteboard& pasteboard) {
    if (auto png = pasteboard.data(Pasteboard::DataType::PNG)) {
        return ClipboardPayload{ContentKind::Image, std::move(*png)};
    }
    if (auto image = pasteboard.data(Pasteboard::DataType::Image)) {
        if (auto converted = pngFrom(*image)) return converted;
    }
    if (auto text = pasteboard.string(); text && !text->isEmpty()) {
        return ClipboardPayload{ContentKind::Text, std::move(*text)};
    }
    if (const auto html = pasteboard.data(Pasteboard::DataType::HTML)) return textFromHtml(*html);
    return std::nullopt;
}

// A content over the limit is named, and stays known by its own bytes.
ClipboardSnapshot withinLimit(ClipboardPayload payload) {
    ClipboardSnapshot snapshot;
    if (payload.bytes.size() <= maxBytes) {
        snapshot.payload = std::move(payload);
        return snapshot;
    }
    snapshot.notSent = NotSent::tooLarge(payload.kind, {}, payload.bytes.size(), maxBytes);
    snapshot.notSentIdentity = std::move(payload.bytes);
    return snapshot;
}

// A clipboard that offers something, none of it of a kind that can cross: named by its first
// type. A type that could have held a content held none (empty text): nothing to name. Types
// without a slash are the X server's own (TARGETS, TIMESTAMP) or hints.
ClipboardSnapshot unknownKind(const QList<QByteArray>& formats) {
    ClipboardSnapshot snapshot;
    if (std::any_of(formats.begin(), formats.end(), isContentType)) return snapshot;
    for (const QByteArray& type : formats) {
        if (!type.contains('/')) continue;
        if (!snapshot.notSent) {
            snapshot.notSent = NotSent::unknownKind(QString::fromLatin1(type));
        }
        snapshot.notSentIdentity += type + '\n';
    }
    return snapshot;
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

ClipboardSnapshot clipboardSnapshot(const Pasteboard& pasteboard, SnapshotCache* cache,
                                    qint64 readUpTo) {
    const QList<QUrl> urls = pasteboard.fileURLs();
    if (!urls.isEmpty()) {
        if (auto files = filesSnapshot(urls, cache, readUpTo)) return std::move(*files);
    }
    if (auto payload = contentPayload(pasteboard)) return withinLimit(std::move(*payload));
    // Files that could not be used (empty, gone) are not a kind of their own.
    return urls.isEmpty() ? unknownKind(pasteboard.formats()) : ClipboardSnapshot();
}

std::optional<QByteArray> filePayload(const SnapshotCache::FileIdentity& identity) {
    return readFilePayload(identity.path, identity.size);
}

std::optional<ClipboardPayload> clipboardPayload(const Pasteboard& pasteboard) {
    return clipboardSnapshot(pasteboard).payload;
}

}  // namespace clipwren
