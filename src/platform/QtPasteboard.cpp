#include "platform/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/PasswordManagerHint.h"
#include "platform/Utf8.h"

namespace clipwren {

namespace {

const QString pngType = QStringLiteral("image/png");
const QString tiffType = QStringLiteral("image/tiff");
// GNOME's and KDE's file managers paste files from this format, not from text/uri-list alone.
const QString gnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");
const QString passwordManagerHint = QString::fromLatin1(passwordManagerHintType);

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

const QMimeData* contents() {
    return clipboard()->mimeData(QClipboard::Clipboard);
}

// Every write of ours follows a clear, so each one sets the clipboard's whole content.
void replaceContents(QMimeData* mime) {
    clipboard()->setMimeData(mime, QClipboard::Clipboard);
}

}  // namespace

QtPasteboard::QtPasteboard(QObject* parent) : Pasteboard(parent) {
    connect(clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard) Q_EMIT changed();
    });
}

void QtPasteboard::clearContents() {
    clipboard()->clear(QClipboard::Clipboard);
}

void QtPasteboard::setString(const QByteArray& utf8) {
    auto* mime = new QMimeData;
    mime->setText(fromUtf8Exactly(utf8));
    replaceContents(mime);
}

void QtPasteboard::setPNG(const QByteArray& png) {
    auto* mime = new QMimeData;
    mime->setData(pngType, png);
    replaceContents(mime);
}

void QtPasteboard::writeFileURL(const QString& path) {
    const QUrl url = QUrl::fromLocalFile(path);
    auto* mime = new QMimeData;
    mime->setUrls({url});
    mime->setData(gnomeCopiedFiles, "copy\n" + url.toEncoded());
    replaceContents(mime);
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
