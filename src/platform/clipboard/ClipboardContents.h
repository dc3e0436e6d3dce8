// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <optional>

namespace clipwren {

// What a clipboard selection holds in the forms the program reads and writes, each as the
// bytes of its MIME type: the held bytes of a source of ours, or what was read from an offer.
struct ClipboardContents {
    std::optional<QByteArray> uriList;  // text/uri-list
    std::optional<QByteArray> png;
    std::optional<QByteArray> image;  // of convertibleImageType(formats); read, never written
    std::optional<QByteArray> text;   // UTF-8
    std::optional<QByteArray> html;   // read only where there is no plain text; never written
    std::optional<QByteArray> passwordManagerHint;
    // Every type offered, read or not.
    QList<QByteArray> formats;

    static ClipboardContents ofText(const QByteArray& utf8);
    static ClipboardContents ofPNG(const QByteArray& png);
    static ClipboardContents ofFile(const QUrl& url);
};

// The types a source of ours offers for contents, and the bytes it writes for one of them.
QList<QByteArray> offeredTypes(const ClipboardContents& contents);
std::optional<QByteArray> bytesForType(const ClipboardContents& contents,
                                       const QByteArray& mimeType);

// The first of offered, other than PNG, that holds an image Qt can read: what is converted to
// PNG where no PNG is offered.
std::optional<QByteArray> convertibleImageType(const QList<QByteArray>& offered);

// Whether a type is one of those read for a content (text, HTML, images), as opposed to one
// no content is ever taken from.
bool isContentType(const QByteArray& type);

// Which of an offer's types to read, in the order the snapshot prefers them: the URL list,
// then PNG; only without PNG another image type and the first UTF-8 text type (or, without
// one, the HTML), since the snapshot never looks past a PNG. A password manager's hint comes first:
// it is tiny, and it decides whether the rest may ever leave the machine.
struct ReadStep {
    QByteArray mimeType;
    std::optional<QByteArray> ClipboardContents::*field;
};
QList<ReadStep> readingPlan(const QList<QByteArray>& offered);

// Whether a password manager marked contents as a secret.
bool isSecret(const ClipboardContents& contents);

// The local file URLs of a text/uri-list, in their order.
QList<QUrl> localFileURLs(const QByteArray& uriList);

}  // namespace clipwren
