// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// native-window: the window of a Wayland application that a user works in. Once it has the
// focus it prints where its session is, "WAYLAND_DISPLAY DISPLAY": from then on the clipboard
// is out of Xwayland's reach, as it is while a user works in a native application.
// With --press-a-key it first gives mutter's headless seat a keyboard, which it lacks until a
// remote desktop session presses a key: without one no window takes the focus. The session
// lasts as long as this program.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QGuiApplication>
#include <QRasterWindow>
#include <cstdio>

namespace {

QDBusMessage callMutter(const QString& path, const QString& interface, const QString& method,
                        const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Mutter.RemoteDesktop"), path, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call);
}

bool pressAKey() {
    const QDBusMessage created = callMutter(QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                                            QStringLiteral("org.gnome.Mutter.RemoteDesktop"),
                                            QStringLiteral("CreateSession"));
    if (created.type() != QDBusMessage::ReplyMessage) return false;
    const QString session = created.arguments().value(0).value<QDBusObjectPath>().path();
    const QString control = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");
    bool done =
        callMutter(session, control, QStringLiteral("Start")).type() == QDBusMessage::ReplyMessage;
    for (const bool pressed : {true, false}) {
        done = done && callMutter(session, control, QStringLiteral("NotifyKeyboardKeycode"),
                                  {42u, pressed})  // left Shift
                               .type() == QDBusMessage::ReplyMessage;
    }
    return done;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "wayland");
    QGuiApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--press-a-key")) && !pressAKey()) {
        std::fputs("native-window: no key pressed on mutter's seat\n", stderr);
        return 1;
    }
    QRasterWindow window;
    QObject::connect(&window, &QWindow::activeChanged, &window, [&window] {
        static bool told = false;
        if (told || !window.isActive()) return;
        told = true;
        std::printf("%s %s\n", qgetenv("WAYLAND_DISPLAY").constData(),
                    qgetenv("DISPLAY").constData());
        std::fflush(stdout);
    });
    window.show();
    return app.exec();
}
