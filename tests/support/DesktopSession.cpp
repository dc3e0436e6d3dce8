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
    copy(QStringLiteral("text/uri-list"), QUrl::fromLocalFile(path).toEncoded() + "\r\n");
}

QString DesktopSession::file() const {
    const QList<QByteArray> lines =
        paste(QStringLiteral("text/uri-list")).value_or(QByteArray()).trimmed().split('\n');
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
    m_xvfb.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("640x480x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    QDeadlineTimer deadline(deadlineMs);
    while (!m_xvfb.canReadLine() && !deadline.hasExpired()) m_xvfb.waitForReadyRead(100);
    if (!m_xvfb.canReadLine()) return false;
    m_display = u':' + QString::fromLatin1(m_xvfb.readLine().trimmed());
    return true;
}

QProcessEnvironment XvfbSession::environment() const {
    QProcessEnvironment environment = withoutSession();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    return environment;
}

void XvfbSession::copy(const QString& type, const QByteArray& bytes) const {
    serve(QStringLiteral("xclip"),
          {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"), type,
           QStringLiteral("-i")},
          bytes);
}

std::optional<QByteArray> XvfbSession::paste(const QString& type) const {
    return run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                         QStringLiteral("-t"), type, QStringLiteral("-o")});
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
    QFile config(runtime + QStringLiteral("/config"));
    if (!config.open(QIODevice::WriteOnly)) return false;
    // Xwayland admits only sway's own user unless told otherwise; the display file appears
    // once it admits ours.
    // Windows of ours on Xwayland never take the focus from the terminal, as a tray program's
    // never does.
    config.write(QStringLiteral("xwayland force\n"
                                "no_focus [shell=\"xwayland\"]\n"
                                "exec sh -c 'xhost +SI:localuser:%1 >/dev/null 2>&1; "
                                "echo \"$DISPLAY\" > %2/display.part && mv %2/display.part "
                                "%2/display'\n"
                                "exec foot cat\n")
                     .arg(asRoot ? QStringLiteral("root") : user, runtime)
                     .toUtf8());
    config.close();
    if (asRoot && ::chown(QFile::encodeName(runtime).constData(), 65534, 65534) != 0) return false;
    QFile(runtime + QStringLiteral("/config")).setPermissions(QFile::ReadOwner | QFile::ReadOther);

    QStringList command{QStringLiteral("env"),
                        QStringLiteral("-i"),
                        QStringLiteral("PATH=/usr/bin:/bin"),
                        QStringLiteral("HOME=") + runtime,
                        QStringLiteral("XDG_RUNTIME_DIR=") + runtime,
                        QStringLiteral("WLR_BACKENDS=headless"),
                        QStringLiteral("WLR_LIBINPUT_NO_DEVICES=1"),
                        QStringLiteral("WLR_RENDERER=pixman"),
                        QStringLiteral("sway"),
                        QStringLiteral("-c"),
                        runtime + QStringLiteral("/config")};
    if (asRoot) {
        command = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                              QStringLiteral("--clear-groups"), QStringLiteral("--")} +
                  command;
        command.prepend(QStringLiteral("setpriv"));
    }
    m_sway.setStandardOutputFile(runtime + QStringLiteral("/sway.log"));
    m_sway.setStandardErrorFile(runtime + QStringLiteral("/sway.log"));
    m_sway.start(command.takeFirst(), command);
    if (!m_sway.waitForStarted()) return false;

    QDeadlineTimer deadline(deadlineMs);
    while (!deadline.hasExpired() && m_sway.state() == QProcess::Running) {
        const QStringList sockets =
            QDir(runtime).entryList({QStringLiteral("wayland-?")}, QDir::System);
        const QByteArray display = readAll(runtime + QStringLiteral("/display")).trimmed();
        if (!sockets.isEmpty() && !display.isEmpty()) {
            m_waylandDisplay = runtime + u'/' + sockets.first();
            m_display = QString::fromLatin1(display);
            if (focusedOnFoot()) return true;
        }
        QTest::qWait(50);
    }
    qWarning("sway did not start: %s", readAll(runtime + QStringLiteral("/sway.log")).constData());
    return false;
}

bool SwaySession::focusedOnFoot() const {
    const QStringList sockets =
        QDir(m_root.path()).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
    if (sockets.isEmpty()) return false;
    const auto tree = run(QStringLiteral("swaymsg"),
                          {QStringLiteral("-s"), m_root.filePath(sockets.first()),
                           QStringLiteral("-t"), QStringLiteral("get_tree"), QStringLiteral("-r")});
    if (!tree) return false;
    std::function<bool(const QJsonObject&)> search = [&](const QJsonObject& node) {
        if (node.value(QStringLiteral("app_id")).toString() == u"foot" &&
            node.value(QStringLiteral("focused")).toBool()) {
            return true;
        }
        for (const QJsonValue& child : node.value(QStringLiteral("nodes")).toArray()) {
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
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_waylandDisplay);
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    return environment;
}

void SwaySession::copy(const QString& type, const QByteArray& bytes) const {
    serve(QStringLiteral("wl-copy"), {QStringLiteral("--type"), type}, bytes);
}

std::optional<QByteArray> SwaySession::paste(const QString& type) const {
    return run(QStringLiteral("wl-paste"),
               {QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
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
