// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/Utf8.h"
#include "platform/clipboard/PasswordManagerHint.h"

namespace clipwren {

namespace {

const QString pngType = QStringLiteral("image/png");
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
    if (!mime) return std::nullopt;
    std::optional<QString> format;
    switch (type) {
        case DataType::PNG:
            format = pngType;
            break;
        case DataType::Image:
            if (const auto image = convertibleImageType(formats())) {
                format = QString::fromLatin1(*image);
            }
            break;
        case DataType::HTML:
            format = QStringLiteral("text/html");
            break;
    }
    if (!format || !mime->hasFormat(*format)) return std::nullopt;
    return mime->data(*format);
}

QList<QByteArray> QtPasteboard::formats() const {
    const QMimeData* mime = contents();
    QList<QByteArray> types;
    if (mime) {
        for (const QString& format : mime->formats()) types.append(format.toLatin1());
    }
    return types;
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
