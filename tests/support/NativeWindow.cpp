// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// native-window: the window of a Wayland application that a user works in. Once it has the
// focus it prints where its session is, "WAYLAND_DISPLAY DISPLAY": from then on the clipboard
// is out of Xwayland's reach, as it is while a user works in a native application.
#include <QDBusInterface>
#include <QDBusReply>
#include <QGuiApplication>
#include <QRasterWindow>
#include <cstdio>

// mutter's headless seat has no keyboard, so no window takes the focus, until a remote desktop
// session presses a key; the session lasts as long as this program. Elsewhere nothing answers.
static void pressAKeyOnMutter() {
    const QString service = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
    QDBusInterface desktop(service, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), service);
    const QDBusReply<QDBusObjectPath> session = desktop.call(QStringLiteral("CreateSession"));
    if (!session.isValid()) return;
    QDBusInterface control(service, session.value().path(), service + QStringLiteral(".Session"));
    control.call(QStringLiteral("Start"));
    for (const bool pressed : {true, false})
        control.call(QStringLiteral("NotifyKeyboardKeycode"), 42u, pressed);  // left Shift
}

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "wayland");
    QGuiApplication app(argc, argv);
    pressAKeyOnMutter();
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
