// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/ClipboardContents.h"

#include <QImageReader>

#include "platform/clipboard/PasswordManagerHint.h"

namespace clipwren {

namespace {

const QByteArray uriListType = QByteArrayLiteral("text/uri-list");
const QByteArray pngType = QByteArrayLiteral("image/png");
const QByteArray htmlType = QByteArrayLiteral("text/html");
// File managers on GNOME and KDE paste files from this type, not from the URL list alone.
const QByteArray gnomeCopiedFilesType = QByteArrayLiteral("x-special/gnome-copied-files");
const QByteArray hintType(passwordManagerHintType);

// The text types read, best first, and those written: X11 programs behind Xwayland ask for
// the old atom names.
const QList<QByteArray> textTypesRead{QByteArrayLiteral("text/plain;charset=utf-8"),
                                      QByteArrayLiteral("UTF8_STRING"),
                                      QByteArrayLiteral("text/plain")};
const QList<QByteArray> textTypesWritten{
    QByteArrayLiteral("text/plain;charset=utf-8"), QByteArrayLiteral("text/plain"),
    QByteArrayLiteral("UTF8_STRING"), QByteArrayLiteral("STRING"), QByteArrayLiteral("TEXT")};

QByteArray gnomeCopiedFiles(const QByteArray& uriList) {
    QByteArray files = "copy";
    for (const QUrl& url : localFileURLs(uriList)) files += '\n' + url.toEncoded();
    return files;
}

}  // namespace

ClipboardContents ClipboardContents::ofText(const QByteArray& utf8) {
    ClipboardContents contents;
    contents.text = utf8;
    return contents;
}

ClipboardContents ClipboardContents::ofPNG(const QByteArray& png) {
    ClipboardContents contents;
    contents.png = png;
    return contents;
}

ClipboardContents ClipboardContents::ofFile(const QUrl& url) {
    ClipboardContents contents;
    contents.uriList = url.toEncoded() + "\r\n";
    return contents;
}

QList<QByteArray> offeredTypes(const ClipboardContents& contents) {
    QList<QByteArray> types;
    if (contents.uriList) types << uriListType << gnomeCopiedFilesType;
    if (contents.png) types << pngType;
    if (contents.text) types << textTypesWritten;
    if (contents.passwordManagerHint) types << hintType;
    return types;
}

std::optional<QByteArray> bytesForType(const ClipboardContents& contents,
                                       const QByteArray& mimeType) {
    if (mimeType == uriListType) return contents.uriList;
    if (mimeType == gnomeCopiedFilesType && contents.uriList) {
        return gnomeCopiedFiles(*contents.uriList);
    }
    if (mimeType == pngType) return contents.png;
    if (textTypesWritten.contains(mimeType)) return contents.text;
    if (mimeType == hintType) return contents.passwordManagerHint;
    return std::nullopt;
}

QList<ReadStep> readingPlan(const QList<QByteArray>& offered) {
    QList<ReadStep> plan;
    if (offered.contains(hintType))
        plan.append({hintType, &ClipboardContents::passwordManagerHint});
    if (offered.contains(uriListType)) plan.append({uriListType, &ClipboardContents::uriList});
    if (offered.contains(pngType)) {
        plan.append({pngType, &ClipboardContents::png});
        return plan;
    }
    if (const auto image = convertibleImageType(offered)) {
        plan.append({*image, &ClipboardContents::image});
    }
    for (const QByteArray& type : textTypesRead) {
        if (offered.contains(type)) {
            plan.append({type, &ClipboardContents::text});
            return plan;
        }
    }
    if (offered.contains(htmlType)) plan.append({htmlType, &ClipboardContents::html});
    return plan;
}

bool isContentType(const QByteArray& type) {
    return type == pngType || type == htmlType || textTypesRead.contains(type) ||
           convertibleImageType({type});
}

std::optional<QByteArray> convertibleImageType(const QList<QByteArray>& offered) {
    static const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    for (const QByteArray& type : offered) {
        if (type != pngType && readable.contains(type)) return type;
    }
    return std::nullopt;
}

bool isSecret(const ClipboardContents& contents) {
    return contents.passwordManagerHint && isSecretHint(*contents.passwordManagerHint);
}

QList<QUrl> localFileURLs(const QByteArray& uriList) {
    QList<QUrl> files;
    for (const QByteArray& line : uriList.split('\n')) {
        const QByteArray entry = line.trimmed();
        if (entry.isEmpty() || entry.startsWith('#')) continue;  // comments are allowed
        const QUrl url = QUrl::fromEncoded(entry);
        if (url.isLocalFile()) files.append(url);
    }
    return files;
}

}  // namespace clipwren
