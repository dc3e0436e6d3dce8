// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

#include "ClipboardIcons.h"
#include "TrayMenu.h"

namespace clipwren {

class SyncService;

// The program's item in the system tray: a clipboard that shows at a glance whether the
// session is up, down, paused or waits for the user. A click opens the control panel, a
// right click its menu; its tool tip carries the status line.
class TrayItem : public QObject {
    Q_OBJECT

public:
    explicit TrayItem(SyncService& sync, QObject* parent = nullptr);

    void show() { m_icon.show(); }
    // Where the icon is on the screen; empty when the tray does not say.
    QRect geometry() const { return m_icon.geometry(); }
    const QSystemTrayIcon& icon() const { return m_icon; }
    QSystemTrayIcon& icon() { return m_icon; }
    TrayMenu& menu() { return m_menu; }
    icons::Look look() const { return m_look; }

Q_SIGNALS:
    void clicked();

private:
    void redraw();

    const SyncService& m_sync;
    TrayMenu m_menu;
    QSystemTrayIcon m_icon;
    icons::Look m_look = icons::Look::NotConnected;
};

}  // namespace clipwren
