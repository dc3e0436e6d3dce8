// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

#include "platform/Result.h"

namespace clipwren {

// The whole of bytes at path, or nothing: an old file there is replaced only once the new one
// is complete (QSaveFile), and an unfinished one is taken away. Permissions, when given, are
// the new file's before anything is written into it. A failure's reason is Qt's description,
// its code the system's error number when there is one (for the words the user reads).
Result<void> writeAtomically(const QString& path, QByteArrayView bytes,
                             QFileDevice::Permissions permissions = {});

}  // namespace clipwren
