#include "support/DesktopSession.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTest>
#include <QUrl>

#include "platform/wayland/SelectionSource.h"
#include "platform/wayland/WaylandConnection.h"

using namespace Qt::StringLiterals;
namespace clipwren::test {

constexpr int deadlineMs = 15000;

bool DesktopSession::waylandChosen() {
    return qEnvironmentVariable("CLIPWREN_TEST_SESSION") == u"wayland";
}

std::unique_ptr<DesktopSession> DesktopSession::chosen() {
    if (waylandChosen()) return std::make_unique<SwaySession>();
    return std::make_unique<XvfbSession>();
}

bool DesktopSession::start() {
    if (!m_wayland) m_server.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s});
    // Either server prints where it is once it is ready.
    if ((m_wayland && !startSway()) ||
        !QTest::qWaitFor([&] { return m_server.canReadLine(); }, deadlineMs)) {
        qWarning("no display server: %s", m_server.readAllStandardError().constData());
        return false;
    }
    const QList<QByteArray> where = m_server.readLine().trimmed().split(' ');
    m_display = (m_wayland ? QString() : u":"_s) + QString::fromLocal8Bit(where.last());
    if (m_wayland) m_waylandDisplay = m_root.path() + u'/' + QString::fromLocal8Bit(where[0]);
    return true;
}

bool DesktopSession::startSway() {
    // Ready once Xwayland admits our user (it admits only sway's own unless told) and the
    // terminal has the focus, which windows of ours on Xwayland never take, as a tray's never do.
    const QString root = m_root.path();
    const bool asRoot = ::geteuid() == 0;
    QFile config(root + u"/config"_s);
    if (!config.open(QIODevice::WriteOnly)) return false;
    config.write(
        u"xwayland force\n"
        "no_focus [shell=\"xwayland\"]\n"
        "exec sh -c 'xhost +SI:localuser:%1 >/dev/null 2>&1; until swaymsg "
        "\"[app_id=foot con_id=__focused__] nop\" >/dev/null 2>&1; do sleep 0.05; done; "
        "echo \"$WAYLAND_DISPLAY $DISPLAY\"'\n"
        "exec foot cat\n"_s.arg(QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name))
            .toUtf8());
    config.close();
    if (asRoot && ::chown(QFile::encodeName(root).constData(), 65534, 65534) != 0) return false;
    config.setPermissions(QFile::ReadOwner | QFile::ReadOther);

    const QString sway =
        u"env -i PATH=/usr/bin:/bin HOME=%1 XDG_RUNTIME_DIR=%1 WLR_BACKENDS=headless "
        "WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c %1/config"_s;
    const QString asNobody = u"setpriv --reuid=nobody --regid=nogroup --clear-groups -- "_s;
    QStringList command = ((asRoot ? asNobody : QString()) + sway.arg(root)).split(u' ');
    m_server.start(command.takeFirst(), command);
    return true;
}

void DesktopSession::stop() {
    if (m_server.state() == QProcess::NotRunning) return;
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) m_server.kill();
    m_server.waitForFinished();
}

QProcessEnvironment DesktopSession::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"QT_QPA_PLATFORM"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    if (m_wayland) environment.insert(u"WAYLAND_DISPLAY"_s, m_waylandDisplay);
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
    return m_wayland ? u"text/plain;charset=utf-8"_s : u"UTF8_STRING"_s;
}

void DesktopSession::copy(const QString& type, const QByteArray& bytes) const {
    run((m_wayland ? u"wl-copy --type "_s : u"xclip -selection clipboard -i -t "_s) + type, bytes,
        true);
}

std::optional<QByteArray> DesktopSession::paste(const QString& type) const {
    return run((m_wayland ? u"wl-paste -n --type "_s : u"xclip -selection clipboard -o -t "_s) +
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
    if (!m_wayland) {
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
        helper->setProcessEnvironment(environment());
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
    held->connection = wayland::WaylandConnection::open().connection;
    if (!held->connection) return nullptr;
    wayland::WaylandConnection& connection = *held->connection;
    wl_proxy* device = connection.protocol().getDevice(connection.manager(), connection.seat());
    held->source = std::make_unique<wayland::SelectionSource>(connection, contents, &held->writers);
    connection.protocol().setSelection(device, held->source->proxy());
    connection.flush();
    if (answers) connection.attachToEventLoop();
    return held;
}

}  // namespace clipwren::test
