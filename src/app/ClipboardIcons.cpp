// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "ClipboardIcons.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPalette>
#include <QPixmap>

#include "service/SyncService.h"

namespace clipwren::icons {

namespace {

// The colour the pictures are drawn in, as symbolic icons mark it.
constexpr QByteArrayView symbolicColor = "#232629";

QString resourceOf(Look look) {
    switch (look) {
        case Look::Connected:
            return QStringLiteral(":/icons/clipboard-connected.svg");
        case Look::NeedsUser:
            return QStringLiteral(":/icons/clipboard-attention.svg");
        case Look::NotConnected:
            break;
    }
    return QStringLiteral(":/icons/clipboard-disconnected.svg");
}

}  // namespace

Look lookOf(const SyncService& sync) {
    if (sync.needsUser()) return Look::NeedsUser;
    return sync.isConnected() ? Look::Connected : Look::NotConnected;
}

QColor themeColor() {
    return QGuiApplication::palette().color(QPalette::WindowText);
}

QIcon forLook(Look look, const QColor& color) {
    QFile file(resourceOf(look));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray svg = file.readAll();
    svg.replace(symbolicColor, color.name().toLatin1());
    QIcon icon;
    // Every size a tray asks for, drawn from the outline rather than scaled from one bitmap.
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        QBuffer buffer(&svg);
        QImageReader reader(&buffer, "svg");
        reader.setScaledSize(QSize(side, side));
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    // The Mac's menu bar then tints it for its own light or dark look.
    icon.setIsMask(true);
    return icon;
}

}  // namespace clipwren::icons
