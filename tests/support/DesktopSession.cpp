#include "support/DesktopSession.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QUrl>
#include <cstdlib>
#include <functional>

#include "platform/wayland/SelectionSource.h"
#include "platform/wayland/WaylandConnection.h"

using namespace Qt::StringLiterals;
namespace clipwren::test {

namespace {

constexpr int deadlineMs = 15000;

QProcessEnvironment withoutSession() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    return environment;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

bool DesktopSession::waylandChosen() {
    return qEnvironmentVariable("CLIPWREN_TEST_SESSION") == u"wayland";
}

std::unique_ptr<DesktopSession> DesktopSession::chosen() {
    if (waylandChosen()) return std::make_unique<SwaySession>();
    return std::make_unique<XvfbSession>();
}

QProcessEnvironment DesktopSession::environmentWithFolders(const QString& root) const {
    QProcessEnvironment session = environment();
    const std::pair<const char*, const char*> folders[] = {{"XDG_CONFIG_HOME", "/config"},
                                                           {"XDG_DATA_HOME", "/data"},
                                                           {"XDG_RUNTIME_DIR", "/runtime"}};
    for (const auto& [variable, folder] : folders) {
        const QString path = root + QLatin1String(folder);
        QDir().mkpath(path);
        session.insert(QLatin1String(variable), path);
    }
    QFile::setPermissions(root + u"/runtime"_s,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return session;
}

void DesktopSession::enter() const {
    const QProcessEnvironment session = environment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const QString value = session.value(QString::fromLatin1(name));
        if (value.isEmpty()) {
            qunsetenv(name);
        } else {
            qputenv(name, QFile::encodeName(value));
        }
    }
}

void DesktopSession::copyFile(const QString& path) const {
    copy(u"text/uri-list"_s, QUrl::fromLocalFile(path).toEncoded() + "\r\n");
}

QString DesktopSession::file() const {
    const QList<QByteArray> lines =
        paste(u"text/uri-list"_s).value_or(QByteArray()).trimmed().split('\n');
    if (lines.size() != 1) return QString();
    return QUrl::fromEncoded(lines[0].trimmed()).toLocalFile();
}

std::optional<QByteArray> DesktopSession::run(const QString& program, const QStringList& arguments,
                                              const QByteArray& input) const {
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    if (!process.waitForStarted()) return std::nullopt;
    process.write(input);
    process.closeWriteChannel();
    QDeadlineTimer deadline(deadlineMs);
    QByteArray output;
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QTest::qWait(5);
        output += process.readAllStandardOutput();
    }
    output += process.readAllStandardOutput();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return output;
}

void DesktopSession::serve(const QString& program, const QStringList& arguments,
                           const QByteArray& input) const {
    // The part left behind keeps what it inherits: nothing of ours, or we would wait on it.
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(program, arguments);
    tool.write(input);
    tool.closeWriteChannel();
    QDeadlineTimer deadline(deadlineMs);
    while (tool.state() != QProcess::NotRunning && !deadline.hasExpired()) QTest::qWait(5);
}

XvfbSession::~XvfbSession() {
    stop();
}

std::shared_ptr<void> XvfbSession::offer(const ClipboardContents& contents) const {
    QStringList arguments;
    for (const QByteArray& type : offeredTypes(contents)) {
        arguments << QString::fromLatin1(type)
                  << QString::fromUtf8(bytesForType(contents, type).value_or(QByteArray()));
    }
    auto helper = std::make_shared<QProcess>();
    helper->setProcessEnvironment(environment());
    helper->start(QStringLiteral(OFFER_CLIPBOARD_PATH), arguments);
    // It says so once it owns the clipboard.
    if (!helper->waitForReadyRead(deadlineMs)) return nullptr;
    return std::shared_ptr<void>(helper, helper.get());
}

void XvfbSession::stop() {
    m_xvfb.terminate();
    m_xvfb.waitForFinished(5000);
}

std::shared_ptr<void> XvfbSession::hangClipboard() const {
    xcb_connection_t* connection = xcb_connect(m_display.toLatin1().constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    // A window that takes the clipboard; the connection is never read again, so every
    // request for its content waits unanswered.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const QByteArray name("CLIPBOARD");
    xcb_intern_atom_reply_t* clipboard = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, quint16(name.size()), name.constData()),
        nullptr);
    xcb_set_selection_owner(connection, window, clipboard->atom, XCB_CURRENT_TIME);
    std::free(clipboard);
    xcb_flush(connection);
    return std::shared_ptr<void>(
        connection, [](void* held) { xcb_disconnect(static_cast<xcb_connection_t*>(held)); });
}

bool XvfbSession::start() {
    m_xvfb.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"640x480x24"_s,
                             u"-nolisten"_s, u"tcp"_s});
    QDeadlineTimer deadline(deadlineMs);
    while (!m_xvfb.canReadLine() && !deadline.hasExpired()) m_xvfb.waitForReadyRead(100);
    if (!m_xvfb.canReadLine()) return false;
    m_display = u':' + QString::fromLatin1(m_xvfb.readLine().trimmed());
    return true;
}

QProcessEnvironment XvfbSession::environment() const {
    QProcessEnvironment environment = withoutSession();
    environment.insert(u"DISPLAY"_s, m_display);
    return environment;
}

void XvfbSession::copy(const QString& type, const QByteArray& bytes) const {
    serve(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-t"_s, type, u"-i"_s}, bytes);
}

std::optional<QByteArray> XvfbSession::paste(const QString& type) const {
    return run(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-t"_s, type, u"-o"_s});
}

SwaySession::~SwaySession() {
    stop();
}

bool SwaySession::start() {
    if (!m_root.isValid()) return false;
    const QString runtime = m_root.path();
    const bool asRoot = ::geteuid() == 0;
    const QString user =
        QString::fromLocal8Bit(qgetenv("USER").isEmpty() ? "root" : qgetenv("USER"));
    QFile config(runtime + u"/config"_s);
    if (!config.open(QIODevice::WriteOnly)) return false;
    // Xwayland admits only sway's own user unless told otherwise; the display file appears
    // once it admits ours.
    // Windows of ours on Xwayland never take the focus from the terminal, as a tray program's
    // never does.
    config.write(
        u"xwayland force\n"
        "no_focus [shell=\"xwayland\"]\n"
        "exec sh -c 'xhost +SI:localuser:%1 >/dev/null 2>&1; "
        "echo \"$DISPLAY\" > %2/display.part && mv %2/display.part "
        "%2/display'\n"
        "exec foot cat\n"_s.arg(asRoot ? u"root"_s : user, runtime)
            .toUtf8());
    config.close();
    if (asRoot && ::chown(QFile::encodeName(runtime).constData(), 65534, 65534) != 0) return false;
    QFile(runtime + u"/config"_s).setPermissions(QFile::ReadOwner | QFile::ReadOther);

    QStringList command{u"env"_s,
                        u"-i"_s,
                        u"PATH=/usr/bin:/bin"_s,
                        u"HOME="_s + runtime,
                        u"XDG_RUNTIME_DIR="_s + runtime,
                        u"WLR_BACKENDS=headless"_s,
                        u"WLR_LIBINPUT_NO_DEVICES=1"_s,
                        u"WLR_RENDERER=pixman"_s,
                        u"sway"_s,
                        u"-c"_s,
                        runtime + u"/config"_s};
    if (asRoot) {
        command =
            QStringList{u"--reuid=nobody"_s, u"--regid=nogroup"_s, u"--clear-groups"_s, u"--"_s} +
            command;
        command.prepend(u"setpriv"_s);
    }
    m_sway.setStandardOutputFile(runtime + u"/sway.log"_s);
    m_sway.setStandardErrorFile(runtime + u"/sway.log"_s);
    m_sway.start(command.takeFirst(), command);
    if (!m_sway.waitForStarted()) return false;

    QDeadlineTimer deadline(deadlineMs);
    while (!deadline.hasExpired() && m_sway.state() == QProcess::Running) {
        const QStringList sockets = QDir(runtime).entryList({u"wayland-?"_s}, QDir::System);
        const QByteArray display = readAll(runtime + u"/display"_s).trimmed();
        if (!sockets.isEmpty() && !display.isEmpty()) {
            m_waylandDisplay = runtime + u'/' + sockets.first();
            m_display = QString::fromLatin1(display);
            if (focusedOnFoot()) return true;
        }
        QTest::qWait(50);
    }
    qWarning("sway did not start: %s", readAll(runtime + u"/sway.log"_s).constData());
    return false;
}

bool SwaySession::focusedOnFoot() const {
    const QStringList sockets = QDir(m_root.path()).entryList({u"sway-ipc.*.sock"_s}, QDir::System);
    if (sockets.isEmpty()) return false;
    const auto tree = run(
        u"swaymsg"_s, {u"-s"_s, m_root.filePath(sockets.first()), u"-t"_s, u"get_tree"_s, u"-r"_s});
    if (!tree) return false;
    std::function<bool(const QJsonObject&)> search = [&](const QJsonObject& node) {
        if (node.value(u"app_id"_s).toString() == u"foot" && node.value(u"focused"_s).toBool()) {
            return true;
        }
        for (const QJsonValue& child : node.value(u"nodes"_s).toArray()) {
            if (search(child.toObject())) return true;
        }
        return false;
    };
    return search(QJsonDocument::fromJson(*tree).object());
}

void SwaySession::stop() {
    if (m_sway.state() == QProcess::NotRunning) return;
    m_sway.terminate();
    if (!m_sway.waitForFinished(5000)) {
        m_sway.kill();
        m_sway.waitForFinished();
    }
}

QProcessEnvironment SwaySession::environment() const {
    QProcessEnvironment environment = withoutSession();
    environment.insert(u"WAYLAND_DISPLAY"_s, m_waylandDisplay);
    environment.insert(u"DISPLAY"_s, m_display);
    return environment;
}

void SwaySession::copy(const QString& type, const QByteArray& bytes) const {
    serve(u"wl-copy"_s, {u"--type"_s, type}, bytes);
}

std::optional<QByteArray> SwaySession::paste(const QString& type) const {
    return run(u"wl-paste"_s, {u"--no-newline"_s, u"--type"_s, type});
}

std::unique_ptr<wayland::WaylandConnection> SwaySession::connect() const {
    const QByteArray previous = qgetenv("WAYLAND_DISPLAY");
    qputenv("WAYLAND_DISPLAY", m_waylandDisplay.toUtf8());
    auto opened = wayland::WaylandConnection::open();
    qputenv("WAYLAND_DISPLAY", previous);
    return std::move(opened.connection);
}

std::shared_ptr<void> SwaySession::offer(const ClipboardContents& contents) const {
    struct Offered {
        std::unique_ptr<wayland::WaylandConnection> connection;
        QObject writers;
        std::unique_ptr<wayland::SelectionSource> source;
    };
    auto offered = std::make_shared<Offered>();
    offered->connection = connect();
    if (!offered->connection) return nullptr;
    wayland::WaylandConnection& connection = *offered->connection;
    wl_proxy* device = connection.protocol().getDevice(connection.manager(), connection.seat());
    offered->source =
        std::make_unique<wayland::SelectionSource>(connection, contents, &offered->writers);
    connection.protocol().setSelection(device, offered->source->proxy());
    connection.flush();
    connection.attachToEventLoop();
    return offered;
}

std::shared_ptr<void> SwaySession::hangClipboard() const {
    // The connection is never read again: the compositor's requests for the text wait
    // unanswered, and the pipes they carry stay open.
    std::shared_ptr<wayland::WaylandConnection> connection = connect();
    if (!connection) return nullptr;
    const wayland::DataControlProtocol& protocol = connection->protocol();
    wl_proxy* device = protocol.getDevice(connection->manager(), connection->seat());
    wl_proxy* source = protocol.createSource(connection->manager());
    protocol.offer(source, "text/plain;charset=utf-8");
    protocol.setSelection(device, source);
    connection->flush();
    return connection;
}

}  // namespace clipwren::test
