// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QString>

#include "platform/Result.h"

namespace clipwren {

// The name the desktop knows the program by: its desktop entry, its icon, its metainfo.
inline constexpr char desktopId[] = "org.clipwren.ClipwrenPlus";

// Starting at login: an entry that runs the program with --connect. The entry's presence is
// the whole setting, so it is never kept elsewhere.
class Autostart {
public:
    enum class Kind {
        DesktopEntry,  // in the autostart folder under the user's configuration folder
        LaunchAgent,   // the Mac's: a property list in ~/Library/LaunchAgents
    };
#ifdef Q_OS_MACOS
    static constexpr Kind nativeKind = Kind::LaunchAgent;
#else
    static constexpr Kind nativeKind = Kind::DesktopEntry;
#endif

    // Where this platform's login entries go.
    static QString defaultFolder();

    explicit Autostart(QString program, QString folder = defaultFolder(), Kind kind = nativeKind);

    QString filePath() const;
    bool isEnabled() const;
    // Writes the entry whole, or removes it; the reason when that could not be done.
    Result<void> setEnabled(bool enabled) const;

    QByteArray entry() const;

private:
    QByteArray desktopEntry() const;
    QByteArray launchAgent() const;

    QString m_program;
    QString m_folder;
    Kind m_kind;
};

// One argument of an Exec line, quoted and escaped the way desktop entries require.
QString execArgument(const QString& argument);

}  // namespace clipwren
