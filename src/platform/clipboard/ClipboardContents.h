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
    std::optional<QByteArray> tiff;
    std::optional<QByteArray> text;  // UTF-8
    std::optional<QByteArray> passwordManagerHint;

    static ClipboardContents ofText(const QByteArray& utf8);
    static ClipboardContents ofPNG(const QByteArray& png);
    static ClipboardContents ofFile(const QUrl& url);
};

// The types a source of ours offers for contents, and the bytes it writes for one of them.
QList<QByteArray> offeredTypes(const ClipboardContents& contents);
std::optional<QByteArray> bytesForType(const ClipboardContents& contents,
                                       const QByteArray& mimeType);

// Which of an offer's types to read, in the order the snapshot prefers them: the URL list,
// then PNG; only without PNG the TIFF and the first UTF-8 text type, since the snapshot never
// looks past a PNG. A password manager's hint comes first: it is tiny, and it decides whether
// the rest may ever leave the machine.
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
