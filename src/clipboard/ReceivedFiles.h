// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArrayView>
#include <QString>

#include "platform/Result.h"

namespace clipwren {

// Where received files are kept: ClipwrenPlus/Received under the user's data folder, each
// file in a folder of its own named by a new UUID, so two files of one name never meet.
class ReceivedFiles {
public:
    // The received-files folder under the user's data location (looked up at every call).
    static QString folder();

    // The longest file name, in UTF-8 bytes, that common Linux file systems take.
    static constexpr qsizetype maxNameBytes = 255;

    // Stores contents under storedName(name), written atomically; the stored file's path. A
    // name holding U+0000 is refused.
    static Result<QString> store(const QString& name, QByteArrayView contents);

    // The last component of name; one that leaves nothing usable ("", ".", "..", only
    // slashes) becomes "file", and one longer than maxNameBytes is shortened from the end of
    // its stem, keeping its extension.
    static QString storedName(const QString& name);
};

}  // namespace clipwren
