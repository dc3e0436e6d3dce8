// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>

#include "platform/clipboard/ClipboardContents.h"

namespace clipwren {

// The system clipboard, as the rest of the program uses it: one write, five reads, and two
// notifications. One backend is chosen at start and handed to whoever needs it.
class Pasteboard : public QObject {
    Q_OBJECT

public:
    enum class DataType {
        PNG,
        Image,  // the first image of another type that Qt reads (TIFF, JPEG, GIF, BMP, WebP…)
        HTML,   // text/html, as offered
    };
    // Why the clipboard went out of reach: its display server or compositor went away, or the
    // compositor withdrew our access.
    enum class Loss { DisplayServerGone, CompositorGone, AccessWithdrawn };
    Q_ENUM(Loss)

    using QObject::QObject;
    ~Pasteboard() override = default;

    // Replaces the whole content at once: one change of the clipboard, never an empty
    // clipboard first, which a clipboard manager would answer by restoring an older content.
    virtual void write(const ClipboardContents& contents) = 0;

    // The text as UTF-8 bytes, offered exactly as given.
    void setString(const QByteArray& utf8) { write(ClipboardContents::ofText(utf8)); }
    void setPNG(const QByteArray& png) { write(ClipboardContents::ofPNG(png)); }
    // Offers a local file as a file reference, the way file managers paste files.
    void writeFileURL(const QString& path) {
        write(ClipboardContents::ofFile(QUrl::fromLocalFile(path)));
    }

    // The local file URLs on the clipboard, in their order; other URLs are left out.
    virtual QList<QUrl> fileURLs() const = 0;
    virtual std::optional<QByteArray> data(DataType type) const = 0;
    // The plain text as UTF-8 bytes, exactly as offered.
    virtual std::optional<QByteArray> string() const = 0;
    // Every type the clipboard's owner offers, in its order; empty when nobody owns it.
    virtual QList<QByteArray> formats() const = 0;

    // False while the backend is still reading a new content: what it reports then is not
    // the clipboard's content yet, and changed() follows once it is.
    virtual bool isSettled() const { return true; }

    // Whether the content was marked by a password manager as a secret
    // (x-kde-passwordManagerHint = "secret"): such a content never leaves this machine.
    virtual bool isSecret() const = 0;

Q_SIGNALS:
    // The content may have changed: a watcher can look now instead of at its next tick.
    void changed();
    // The clipboard can no longer be reached; error is the system's error number when one is
    // known. The programs say why in their own words.
    void unavailable(clipwren::Pasteboard::Loss loss, int error);
};

}  // namespace clipwren
