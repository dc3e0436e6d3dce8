// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// Build-time helper: renders the scalable icon as a PNG of one size, for the hicolor theme's
// fixed-size folders (some trays and menus look only there).
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    if (argc != 4) {
        std::fputs("uso: render-icon ICONA.svg LATO USCITA.png\n", stderr);
        return 2;
    }
    QImageReader reader(QString::fromLocal8Bit(argv[1]), "svg");
    const int side = QString::fromLatin1(argv[2]).toInt();
    reader.setScaledSize(QSize(side, side));
    const QImage image = reader.read();
    if (image.isNull() || !image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "render-icon: %s\n", qPrintable(reader.errorString()));
        return 1;
    }
    return 0;
}
