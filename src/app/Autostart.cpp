// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "Autostart.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <algorithm>

#include "platform/AtomicFile.h"

namespace clipwren {

QString Autostart::defaultFolder() {
    if (nativeKind == Kind::LaunchAgent)
        return QDir::homePath() + QStringLiteral("/Library/LaunchAgents");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

Autostart::Autostart(QString program, QString folder, Kind kind)
    : m_program(std::move(program)), m_folder(std::move(folder)), m_kind(kind) {}

QString Autostart::filePath() const {
    const QString suffix =
        m_kind == Kind::LaunchAgent ? QStringLiteral(".plist") : QStringLiteral(".desktop");
    return m_folder + u'/' + QLatin1String(desktopId) + suffix;
}

bool Autostart::isEnabled() const {
    return QFile::exists(filePath());
}

QByteArray Autostart::entry() const {
    return m_kind == Kind::LaunchAgent ? launchAgent() : desktopEntry();
}

QByteArray Autostart::desktopEntry() const {
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Clipwren+\n"
                             "Comment=Appunti condivisi con una macchina Linux\n"
                             "Icon=%1\n"
                             "Exec=%2 --connect\n"
                             "Terminal=false\n"
                             "StartupNotify=false\n")
                             .arg(QLatin1String(desktopId), execArgument(m_program));
    return text.toUtf8();
}

// launchd runs it once at login and leaves it alone afterwards: a program the user quit stays
// quit.
QByteArray Autostart::launchAgent() const {
    const QString text = QStringLiteral(
                             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                             "<plist version=\"1.0\">\n"
                             "<dict>\n"
                             "\t<key>Label</key>\n"
                             "\t<string>%1</string>\n"
                             "\t<key>ProgramArguments</key>\n"
                             "\t<array>\n"
                             "\t\t<string>%2</string>\n"
                             "\t\t<string>--connect</string>\n"
                             "\t</array>\n"
                             "\t<key>RunAtLoad</key>\n"
                             "\t<true/>\n"
                             "\t<key>ProcessType</key>\n"
                             "\t<string>Interactive</string>\n"
                             "</dict>\n"
                             "</plist>\n")
                             .arg(QLatin1String(desktopId), m_program.toHtmlEscaped());
    return text.toUtf8();
}

Result<void> Autostart::setEnabled(bool enabled) const {
    if (!enabled) {
        QFile file(filePath());
        if (file.exists() && !file.remove())
            return Failure{filePath() + QStringLiteral(": ") + file.errorString()};
        return {};
    }
    if (!QDir().mkpath(m_folder)) {
        return Failure{QStringLiteral("non riesco a creare la cartella ") + m_folder};
    }
    // Whole or not at all: a half-written entry could start something else at login.
    if (const auto written = writeAtomically(filePath(), entry()); !written) {
        return Failure{filePath() + QStringLiteral(": ") + written.error()};
    }
    return {};
}

QString execArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString quoted = argument;
    if (std::any_of(argument.begin(), argument.end(),
                    [](QChar c) { return reserved.contains(c); })) {
        quoted.clear();
        for (const QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
            quoted += c;
        }
        quoted = u'"' + quoted + u'"';
    }
    // Field codes start with %; the value is a string, whose own escapes come on top.
    return quoted.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'\n', QStringLiteral("\\n"))
        .replace(u'\t', QStringLiteral("\\t"))
        .replace(u'%', QStringLiteral("%%"));
}

}  // namespace clipwren
