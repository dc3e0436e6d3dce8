// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "support/DesktopSession.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>
#include <QUrl>

#include "platform/clipboard/wayland/SelectionSource.h"
#include "platform/clipboard/wayland/WaylandConnection.h"
#include "support/TestEnvironment.h"

using namespace Qt::StringLiterals;
namespace clipwren::test {

constexpr int deadlineMs = 15000;
// Its Xwayland starts for the first X client.
const QString mutterCommand =
    u"dbus-run-session -- mutter --headless --wayland --virtual-monitor 1280x800 -- sh -c"_s;

DesktopSession::Kind DesktopSession::chosenKind() {
    const QString chosen = qEnvironmentVariable("CLIPWREN_TEST_SESSION");
    if (chosen == u"sway") return Kind::Sway;
    if (chosen == u"kwin") return Kind::KWin;
    if (chosen == u"gnome") return Kind::Gnome;
    return Kind::X11;
}

bool DesktopSession::start() {
    m_server.setStandardErrorFile(m_root.filePath(u"log"_s));
    // Its own process group, so that stop() ends all of it: dbus-run-session leaves its
    // program running when it ends alone.
    m_server.setChildProcessModifier([] { ::setpgid(0, 0); });
    if (!wayland()) m_server.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s});
    // Either server prints where it is once it is ready.
    if ((wayland() && !startCompositor()) ||
        !QTest::qWaitFor([&] { return m_server.canReadLine(); }, deadlineMs)) {
        QFile log(m_root.filePath(u"log"_s));
        log.open(QIODevice::ReadOnly);
        qWarning("no display server: %s", log.readAll().right(4000).constData());
        return false;
    }
    const QList<QByteArray> where = m_server.readLine().trimmed().split(' ');
    m_display = (wayland() ? QString() : u":"_s) + QString::fromLocal8Bit(where.last());
    if (wayland()) m_waylandDisplay = m_root.path() + u'/' + QString::fromLocal8Bit(where[0]);
    return true;
}

bool DesktopSession::startCompositor() {
    // The native window opens once Xwayland admits our user (it admits only the compositor's
    // own unless told) and tells where the session is once it has the focus.
    const QString script = u"xhost +SI:localuser:%1 >/dev/null 2>&1; exec %2"_s.arg(
        QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name),
        QStringLiteral(NATIVE_WINDOW_PATH));
    const QString window = u"sh -c '"_s + script + u'\'';
    const QString root = m_root.path();
    QStringList command = m_kind == Kind::Gnome  ? mutterCommand.split(u' ') << script
                          : m_kind == Kind::Sway ? swayCommand(window)
                                                 : kwinCommand(window);
    if (command.isEmpty()) return false;
    command = QStringList{u"env"_s, u"-i"_s, u"PATH=/usr/bin:/bin"_s, u"HOME="_s + root,
                          u"XDG_RUNTIME_DIR="_s + root} +
              command;
    if (::geteuid() == 0) {
        // Everything in its folder becomes the session user's, configuration included.
        QDirIterator entries(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            if (::chown(QFile::encodeName(entries.next()).constData(), 65534, 65534) != 0) {
                return false;
            }
        }
        if (::chown(QFile::encodeName(root).constData(), 65534, 65534) != 0) return false;
        command = QStringList{u"setpriv"_s, u"--reuid=nobody"_s, u"--regid=nogroup"_s,
                              u"--clear-groups"_s, u"--"_s} +
                  command;
    }
    m_server.start(command.takeFirst(), command);
    return true;
}

QStringList DesktopSession::swayCommand(const QString& window) const {
    if (!writeFile(m_root.filePath(u"config"_s),
                   "xwayland force\n"
                   "no_focus [shell=\"xwayland\"]\n"
                   "exec " +
                       window.toUtf8() + '\n')) {
        return {};
    }
    return u"WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c"_s.split(
               u' ')
           << m_root.filePath(u"config"_s);
}

QStringList DesktopSession::kwinCommand(const QString& window) const {
    // A copy of the binary carries none of the file capabilities that a sandbox may refuse
    // to run; KWin picks its own Qt platform only under its own name.
    const QString kwin = m_root.filePath(u"kwin_wayland"_s);
    // Windows on Xwayland never take the focus, as a tray's never do.
    const QByteArray rules =
        "[1]\nacceptfocus=false\nacceptfocusrule=2\nwmclass=^(?!native-window$)\n"
        "wmclassmatch=3\n[General]\ncount=1\nrules=1\n";
    if (!QFile::copy(u"/usr/bin/kwin_wayland"_s, kwin) ||
        !writeFile(m_root.filePath(u".config/kwinrulesrc"_s), rules)) {
        return {};
    }
    return QStringList{u"dbus-run-session"_s, u"--"_s, kwin}
           << u"--virtual --xwayland --no-lockscreen --no-global-shortcuts --no-kactivities"_s
                  .split(u' ')
           << window;
}

void DesktopSession::stop() {
    if (m_server.state() == QProcess::NotRunning) return;
    const pid_t group = pid_t(m_server.processId());
    ::kill(-group, SIGTERM);
    if (!m_server.waitForFinished(5000)) ::kill(-group, SIGKILL);
    m_server.waitForFinished();
}

QProcessEnvironment DesktopSession::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"QT_QPA_PLATFORM"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    if (wayland()) environment.insert(u"WAYLAND_DISPLAY"_s, m_waylandDisplay);
    environment.insert(u"DISPLAY"_s, m_display);
    return environment;
}

QProcessEnvironment DesktopSession::environmentWithFolders(const QString& root) const {
    QProcessEnvironment session = environment();
    for (const char* name : {"CONFIG_HOME", "DATA_HOME", "RUNTIME_DIR"}) {
        const QString path = root + u'/' + QString::fromLatin1(name).section(u'_', 0, 0).toLower();
        QDir().mkpath(path);
        session.insert(u"XDG_"_s + QLatin1String(name), path);
    }
    QFile::setPermissions(root + u"/runtime"_s,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return session;
}

void DesktopSession::enter() const {
    qputenv("DISPLAY", QFile::encodeName(m_display));
    qputenv("WAYLAND_DISPLAY", QFile::encodeName(m_waylandDisplay));  // empty: none
}

QString DesktopSession::textType() const {
    return wayland() ? u"text/plain;charset=utf-8"_s : u"UTF8_STRING"_s;
}

void DesktopSession::copy(const QString& type, const QByteArray& bytes) const {
    run((wayland() ? u"wl-copy --type "_s : u"xclip -selection clipboard -i -t "_s) + type, bytes,
        true);
}

std::optional<QByteArray> DesktopSession::paste(const QString& type) const {
    return run((wayland() ? u"wl-paste -n --type "_s : u"xclip -selection clipboard -o -t "_s) +
               type);
}

QString DesktopSession::file() const {
    const QList<QByteArray> lines = paste(u"text/uri-list"_s).value_or("").trimmed().split('\n');
    return lines.size() == 1 ? QUrl::fromEncoded(lines[0].trimmed()).toLocalFile() : QString();
}

std::optional<QByteArray> DesktopSession::run(const QString& command, const QByteArray& input,
                                              bool serves) const {
    QStringList arguments = QProcess::splitCommand(command);
    QProcess process;
    process.setProcessEnvironment(environment());
    if (serves) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    }
    process.start(arguments.takeFirst(), arguments);
    if (!process.waitForStarted()) return std::nullopt;
    process.write(input);
    process.closeWriteChannel();
    // QProcess keeps reading what it prints while the loop turns.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, deadlineMs) ||
        process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return serves ? QByteArray() : process.readAllStandardOutput();
}

std::shared_ptr<void> DesktopSession::offer(const ClipboardContents& contents, bool answers) const {
    // mutter offers no data-control: an X program's copy reaches Wayland through Xwayland.
    if (!wayland() || m_kind == Kind::Gnome) {
        QStringList arguments;
        for (const QByteArray& type : offeredTypes(contents)) {
            arguments << QString::fromLatin1(type)
                      << QString::fromUtf8(bytesForType(contents, type).value_or(QByteArray()));
        }
        const std::shared_ptr<QProcess> helper(new QProcess, [](QProcess* held) {
            held->kill();
            held->waitForFinished();
            delete held;
        });
        QProcessEnvironment x11 = environment();
        x11.remove(u"WAYLAND_DISPLAY"_s);
        helper->setProcessEnvironment(x11);
        helper->start(QStringLiteral(OFFER_CLIPBOARD_PATH), arguments);
        if (!helper->waitForReadyRead(deadlineMs)) return nullptr;  // "ready": it owns it
        if (!answers) ::kill(pid_t(helper->processId()), SIGSTOP);
        return helper;
    }
    // Through a connection of this process's own: while it is never read again, the
    // compositor's requests wait unanswered, and the pipes they carry stay open.
    struct Held {
        std::unique_ptr<wayland::WaylandConnection> connection;
        QObject writers;
        std::unique_ptr<wayland::SelectionSource> source;
    };
    auto held = std::make_shared<Held>();
    enter();
    auto opened = wayland::WaylandConnection::open();
    if (!opened) return nullptr;
    held->connection = std::move(opened.value());
    wayland::WaylandConnection& connection = *held->connection;
    wl_proxy* device = connection.protocol().getDevice(connection.manager(), connection.seat());
    held->source = std::make_unique<wayland::SelectionSource>(connection, contents, &held->writers);
    connection.protocol().setSelection(device, held->source->proxy());
    connection.flush();
    if (answers) connection.attachToEventLoop();
    return held;
}

}  // namespace clipwren::test
