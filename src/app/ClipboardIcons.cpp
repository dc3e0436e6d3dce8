// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "ClipboardIcons.h"

#include <QImageReader>
#include <QPixmap>

#include "service/SyncService.h"

namespace clipwren::icons {

namespace {

#ifdef Q_OS_MACOS
const QString folder = QStringLiteral(":/icons/mask/");
#else
const QString folder = QStringLiteral(":/icons/");
#endif

QString resourceOf(Look look) {
    switch (look) {
        case Look::Connected:
            return folder + QStringLiteral("clipboard-connected.svg");
        case Look::NeedsUser:
            return folder + QStringLiteral("clipboard-attention.svg");
        case Look::Paused:
            return folder + QStringLiteral("clipboard-paused.svg");
        case Look::NotConnected:
            break;
    }
    return folder + QStringLiteral("clipboard-disconnected.svg");
}

}  // namespace

Look lookOf(const SyncService& sync) {
    if (sync.needsUser()) return Look::NeedsUser;
    if (sync.isPaused()) return Look::Paused;
    return sync.isConnected() ? Look::Connected : Look::NotConnected;
}

QIcon forLook(Look look) {
    QIcon icon;
    // Every size a tray asks for, drawn from the outline rather than scaled from one bitmap.
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        QImageReader reader(resourceOf(look), "svg");
        reader.setScaledSize(QSize(side, side));
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
#ifdef Q_OS_MACOS
    icon.setIsMask(true);
#endif
    return icon;
}

}  // namespace clipwren::icons
