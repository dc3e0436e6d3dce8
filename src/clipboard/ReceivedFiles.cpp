// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/ReceivedFiles.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

#include "clipboard/SharedTexts.h"
#include "platform/AtomicFile.h"
#include "platform/Utf8.h"
#include "platform/Uuid.h"

namespace clipwren {

QString ReceivedFiles::folder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) return QString();
    return data + QStringLiteral("/ClipwrenPlus/Received");
}

namespace {

// Cuts a name down to maxNameBytes of UTF-8, from the end of its stem, so that its extension
// survives and no character is split.
QString fitted(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    if (utf8.size() <= ReceivedFiles::maxNameBytes) return name;
    const qsizetype dot = utf8.lastIndexOf('.');
    // An "extension" that would take most of the room is part of the name, not a type.
    const bool keepsExtension = dot > 0 && utf8.size() - dot <= ReceivedFiles::maxNameBytes / 4;
    const QByteArrayView extension =
        keepsExtension ? QByteArrayView(utf8).sliced(dot) : QByteArrayView();
    qsizetype cut = ReceivedFiles::maxNameBytes - extension.size();
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
    return fromUtf8Exactly(QByteArrayView(utf8).first(cut)) + QString::fromUtf8(extension);
}

}  // namespace

QString ReceivedFiles::storedName(const QString& name) {
    QStringView rest(name);
    while (rest.endsWith(u'/')) rest.chop(1);
    const QStringView last = rest.sliced(rest.lastIndexOf(u'/') + 1);
    if (last.isEmpty() || last == u"." || last == u"..") return QStringLiteral("file");
    return fitted(last.toString());
}

Result<QString> ReceivedFiles::store(const QString& name, QByteArrayView contents) {
    // The file system would end the name at the first U+0000 and store another file.
    if (name.contains(QChar(0))) {
        return Failure{QStringLiteral("il nome del file contiene un carattere nullo")};
    }
    const QString root = folder();
    if (root.isEmpty()) {
        return Failure{QStringLiteral("cartella dei dati dell'utente non disponibile")};
    }
    const QString fileFolder = root + u'/' + newUuidText();
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(fileFolder).toStdString(), error);
    if (error) return Failure{systemErrorText(error.value())};

    const QString path = fileFolder + u'/' + storedName(name);
    if (const auto written = writeAtomically(path, contents); !written) {
        // Nothing half-written stays, not even the folder made for this file.
        QDir().rmdir(fileFolder);
        const Failure why = written.failure();
        return Failure{why.code != 0 ? systemErrorText(why.code) : why.reason};
    }
    return path;
}

}  // namespace clipwren
