// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// offer-clipboard TYPE BYTES...: copies under several types at once, as a password manager
// does, and says "ready" once it owns the clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    auto* mime = new QMimeData;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        mime->setData(arguments[i], arguments[i + 1].toUtf8());
    }
    QGuiApplication::clipboard()->setMimeData(mime);
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
