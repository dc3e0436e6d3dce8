// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// native-window: the window of a Wayland application that a user works in. Once it has the
// focus it prints where its session is, "WAYLAND_DISPLAY DISPLAY": from then on the clipboard
// is out of Xwayland's reach, as it is while a user works in a native application.
#include <QGuiApplication>
#include <QRasterWindow>
#include <cstdio>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "wayland");
    QGuiApplication app(argc, argv);
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
