// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "TokenFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/AtomicFile.h"

namespace clipwren::peer {

QString defaultTokenFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ClipwrenPlus/peer-token");
}

Result<void> saveTokenFile(const QString& path, const QString& code) {
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder))
        return Failure{QStringLiteral("non riesco a creare la cartella ") + folder};
    // Owner-only before the code is in it.
    const auto written = writeAtomically(path, QByteArray(code.toUtf8() + '\n'),
                                         QFile::ReadOwner | QFile::WriteOwner);
    if (!written) return Failure{path + QStringLiteral(": ") + written.error()};
    return {};
}

}  // namespace clipwren::peer
