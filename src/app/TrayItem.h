#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

namespace clipwren {

class SyncService;

// The program's item in the system tray: a clipboard, filled while connected, that opens the
// control panel when clicked; its tool tip carries the status line.
class TrayItem : public QObject {
    Q_OBJECT

public:
    explicit TrayItem(const SyncService& sync, QObject* parent = nullptr);

    void show() { m_icon.show(); }
    // Where the icon is on the screen; empty when the tray does not say.
    QRect geometry() const { return m_icon.geometry(); }
    const QSystemTrayIcon& icon() const { return m_icon; }

Q_SIGNALS:
    void clicked();

private:
    void redraw();

    const SyncService& m_sync;
    QSystemTrayIcon m_icon;
    const QIcon m_outline;
    const QIcon m_filled;
};

}  // namespace clipwren
