// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QString>

#include "platform/Result.h"

namespace clipwren {

// The name the desktop knows the program by: its desktop entry, its icon, its metainfo.
inline constexpr char desktopId[] = "org.clipwren.ClipwrenPlus";

// Starting at login: a desktop entry in the user's autostart folder that runs the program
// with --connect. The entry's presence is the whole setting, so it is never kept elsewhere.
class Autostart {
public:
    // The autostart folder under the user's configuration folder.
    static QString defaultFolder();

    explicit Autostart(QString program, QString folder = defaultFolder());

    QString filePath() const;
    bool isEnabled() const;
    // Writes the entry whole, or removes it; the reason when that could not be done.
    Result<void> setEnabled(bool enabled) const;

    QByteArray entry() const;

private:
    QString m_program;
    QString m_folder;
};

// One argument of an Exec line, quoted and escaped the way desktop entries require.
QString execArgument(const QString& argument);

}  // namespace clipwren
