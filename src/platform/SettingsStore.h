// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>

namespace clipwren {

// The user's saved settings: text values under short keys, in a file only its owner can
// read, because it holds the pairing code.
class SettingsStore {
public:
    // The text stored under key, or the empty text when the key holds none.
    QString text(const QString& key) const;
    // False when the file could not be written (a full disk, a folder not ours): the value
    // holds only until the program ends.
    bool setText(const QString& key, const QString& value);

    // Where the settings live (for diagnostics and tests).
    static QString fileName();
};

}  // namespace clipwren
