#include "TrayItem.h"

#include "ClipboardIcons.h"
#include "service/SyncService.h"

namespace clipwren {

TrayItem::TrayItem(const SyncService& sync, QObject* parent)
    : QObject(parent), m_sync(sync), m_outline(icons::outline()), m_filled(icons::filled()) {
    connect(&m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A double click has already opened the panel with its first click.
                if (reason != QSystemTrayIcon::DoubleClick) Q_EMIT clicked();
            });
    // The notification comes before the assignment: read isConnected once it is in place.
    connect(&sync, &SyncService::objectWillChange, this, &TrayItem::redraw, Qt::QueuedConnection);
    redraw();
}

void TrayItem::redraw() {
    // Most notifications are about typing; the tray need not hear of those.
    const QIcon& wanted = m_sync.isConnected() ? m_filled : m_outline;
    if (m_icon.icon().cacheKey() != wanted.cacheKey()) m_icon.setIcon(wanted);
    // The status can be read by pointing at the icon, without opening the panel.
    const QString toolTip = QStringLiteral("Clipwren+\n") + m_sync.status();
    if (m_icon.toolTip() != toolTip) m_icon.setToolTip(toolTip);
}

}  // namespace clipwren
