// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/AtomicFile.h"

#include <QSaveFile>
#include <cerrno>

namespace clipwren {

Result<void> writeAtomically(const QString& path, QByteArrayView bytes,
                             QFileDevice::Permissions permissions) {
    QSaveFile file(path);
    // Unbuffered, so that a failing write fails at once and its reason is still errno.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        (permissions && !file.setPermissions(permissions)) ||
        file.write(bytes.data(), bytes.size()) != bytes.size() || !file.commit()) {
        const int error = errno;
        return Failure{file.errorString(), error};
    }
    return {};
}

}  // namespace clipwren
