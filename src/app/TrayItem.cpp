// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "TrayItem.h"

#include "service/SyncService.h"

namespace clipwren {

TrayItem::TrayItem(SyncService& sync, QObject* parent)
    : QObject(parent), m_sync(sync), m_menu(sync) {
    m_icon.setContextMenu(&m_menu);
    connect(&m_menu, &TrayMenu::folderNotOpened, this, [this](const QString& folder) {
        m_icon.showMessage(
            QStringLiteral("Clipwren+"),
            QStringLiteral("Non riesco ad aprire la cartella dei file ricevuti: ") + folder,
            QSystemTrayIcon::Warning);
    });
    connect(&m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A right click opens the menu, and only that; a double click has already
                // opened the panel with its first click.
                if (reason == QSystemTrayIcon::Trigger) Q_EMIT clicked();
            });
    // The notification comes before the assignment: read the service once it is in place.
    connect(&sync, &SyncService::objectWillChange, this, &TrayItem::redraw, Qt::QueuedConnection);
    m_look = icons::lookOf(m_sync);
    m_icon.setIcon(icons::forLook(m_look));
    redraw();
}

void TrayItem::redraw() {
    // Most notifications are about typing; the tray need not hear of those.
    const icons::Look look = icons::lookOf(m_sync);
    if (look != m_look) {
        m_look = look;
        m_icon.setIcon(icons::forLook(m_look));
    }
    // The status can be read by pointing at the icon, without opening the panel.
    const QString toolTip = QStringLiteral("Clipwren+\n") + m_sync.status();
    if (m_icon.toolTip() != toolTip) m_icon.setToolTip(toolTip);
}

}  // namespace clipwren
