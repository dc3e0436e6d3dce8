// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "TokenFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace clipwren::peer {

QString defaultTokenFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ClipwrenPlus/peer-token");
}

Result<void> saveTokenFile(const QString& path, const QString& code) {
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder))
        return Failure{QStringLiteral("non riesco a creare la cartella ") + folder};
    QSaveFile file(path);
    // Owner-only before the code is in it; the new file replaces the old one only when whole.
    const QByteArray bytes = code.toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
        file.write(bytes) != bytes.size() || !file.commit()) {
        return Failure{path + QStringLiteral(": ") + file.errorString()};
    }
    return {};
}

}  // namespace clipwren::peer
