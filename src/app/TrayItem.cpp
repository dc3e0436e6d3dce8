// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "TrayItem.h"

#include <QCoreApplication>
#include <QEvent>

#include "service/SyncService.h"

namespace clipwren {

TrayItem::TrayItem(const SyncService& sync, QObject* parent) : QObject(parent), m_sync(sync) {
    connect(&m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A double click has already opened the panel with its first click.
                if (reason != QSystemTrayIcon::DoubleClick) Q_EMIT clicked();
            });
    // The notification comes before the assignment: read the service once it is in place.
    connect(&sync, &SyncService::objectWillChange, this, &TrayItem::redraw, Qt::QueuedConnection);
    // A new theme (light to dark) draws the picture anew in its colour.
    QCoreApplication::instance()->installEventFilter(this);
    m_look = icons::lookOf(m_sync);
    drawIcon();
    redraw();
}

bool TrayItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() &&
        event->type() == QEvent::ApplicationPaletteChange) {
        drawIcon();
    }
    return QObject::eventFilter(watched, event);
}

void TrayItem::drawIcon() {
    m_icon.setIcon(icons::forLook(m_look, icons::themeColor()));
}

void TrayItem::redraw() {
    // Most notifications are about typing; the tray need not hear of those.
    const icons::Look look = icons::lookOf(m_sync);
    if (look != m_look) {
        m_look = look;
        drawIcon();
    }
    // The status can be read by pointing at the icon, without opening the panel.
    const QString toolTip = QStringLiteral("Clipwren+\n") + m_sync.status();
    if (m_icon.toolTip() != toolTip) m_icon.setToolTip(toolTip);
}

}  // namespace clipwren
