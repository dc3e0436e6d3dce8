// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

#include "ClipboardIcons.h"

namespace clipwren {

class SyncService;

// The program's item in the system tray: a clipboard that shows at a glance whether the
// session is up, down, or waits for the user, and opens the control panel when clicked; its
// tool tip carries the status line.
class TrayItem : public QObject {
    Q_OBJECT

public:
    explicit TrayItem(const SyncService& sync, QObject* parent = nullptr);

    void show() { m_icon.show(); }
    // Where the icon is on the screen; empty when the tray does not say.
    QRect geometry() const { return m_icon.geometry(); }
    const QSystemTrayIcon& icon() const { return m_icon; }
    QSystemTrayIcon& icon() { return m_icon; }
    icons::Look look() const { return m_look; }

Q_SIGNALS:
    void clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void redraw();
    void drawIcon();

    const SyncService& m_sync;
    QSystemTrayIcon m_icon;
    icons::Look m_look = icons::Look::NotConnected;
};

}  // namespace clipwren
