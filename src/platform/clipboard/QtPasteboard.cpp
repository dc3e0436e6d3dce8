// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/clipboard/PasswordManagerHint.h"
#include "platform/Utf8.h"

namespace clipwren {

namespace {

const QString pngType = QStringLiteral("image/png");
const QString tiffType = QStringLiteral("image/tiff");
const QString passwordManagerHint = QString::fromLatin1(passwordManagerHintType);

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

const QMimeData* contents() {
    return clipboard()->mimeData(QClipboard::Clipboard);
}

}  // namespace

QtPasteboard::QtPasteboard(QObject* parent) : Pasteboard(parent) {
    connect(clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard) Q_EMIT changed();
    });
}

void QtPasteboard::write(const ClipboardContents& contents) {
    auto* mime = new QMimeData;
    // Qt offers text under each of its text types by itself.
    if (contents.text) mime->setText(fromUtf8Exactly(*contents.text));
    ClipboardContents rest = contents;
    rest.text.reset();
    for (const QByteArray& type : offeredTypes(rest))
        mime->setData(QString::fromLatin1(type), *bytesForType(rest, type));
    // One setMimeData: the clipboard goes from the old content to the new in one change.
    clipboard()->setMimeData(mime, QClipboard::Clipboard);
}

QList<QUrl> QtPasteboard::fileURLs() const {
    const QMimeData* mime = contents();
    QList<QUrl> files;
    if (!mime || !mime->hasUrls()) return files;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) files.append(url);
    }
    return files;
}

std::optional<QByteArray> QtPasteboard::data(DataType type) const {
    const QMimeData* mime = contents();
    const QString& format = type == DataType::PNG ? pngType : tiffType;
    if (!mime || !mime->hasFormat(format)) return std::nullopt;
    return mime->data(format);
}

std::optional<QByteArray> QtPasteboard::string() const {
    const QMimeData* mime = contents();
    // Only real text: Qt would otherwise turn a URL list into text on its own.
    if (!mime || !mime->hasFormat(QStringLiteral("text/plain"))) return std::nullopt;
    return mime->text().toUtf8();
}

bool QtPasteboard::isSecret() const {
    const QMimeData* mime = contents();
    return mime && mime->hasFormat(passwordManagerHint) &&
           isSecretHint(mime->data(passwordManagerHint));
}

}  // namespace clipwren
