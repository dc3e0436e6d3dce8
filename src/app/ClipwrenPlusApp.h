// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>

#include "LaunchOptions.h"
#include "PanelState.h"
#include "platform/NetworkWatcher.h"
#include "platform/clipboard/ClipboardBackend.h"
#if CLIPWREN_LINUX_BACKENDS
#include "platform/SleepWatcher.h"
#endif
#include "service/SyncService.h"

namespace clipwren {

class Announcer;
class ControlPanel;
class Notifier;
class StatusPrinter;
class TrayItem;

// The program: the one SyncService of the run, the state the panel shows beside it, the tray
// item and the panel it opens.
class ClipwrenPlusApp : public QObject {
    Q_OBJECT

public:
    // Whether the desktop has a system tray now.
    using TrayCheck = std::function<bool()>;
    // How often a tray that is not there yet is looked for.
    static constexpr int trayCheckIntervalMs = 1000;

    // Both platform objects reach the service: connections to the peer, and the clipboard
    // backend chosen at start.
    ClipwrenPlusApp(ConnectionFactory connectionFactory, ClipboardBackend clipboard,
                    TrayCheck trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable,
                    QObject* parent = nullptr);
    ~ClipwrenPlusApp() override;

    SyncService& sync() { return m_sync; }
    PanelState& panelState() { return m_panelState; }

    // Puts the program on screen: the tray item, or the panel as an ordinary window where
    // there is no tray, so that the program is never invisible. A tray that comes later (a
    // login where the program starts first) is used as soon as it is there, and the window
    // goes. Closing the window ends nothing. Nothing connects unless options.connect asks.
    void launch(const LaunchOptions& options = {});

    // Opens the panel (built anew if it was closed), next to the tray icon where there is
    // one, as a window otherwise.
    void openPanel();
    // Opens the panel as a popup hanging from icon (in the screen's corner nearest the pointer
    // when icon is empty). It stays there, wholly on screen, as its content grows and shrinks.
    void openPanelUnder(QRect icon);
    ControlPanel* panel() const;
    TrayItem* trayItem() const { return m_tray.get(); }
    // The panel shows as an ordinary window, for want of a tray.
    bool isWindow() const { return m_asWindow; }

    // Ends the event loop at once: no stop(), nothing saved.
    void quit();

private:
    void connectIfSaved();
    void dockWhenTrayAppears();
    void placePanel();
    ControlPanel* buildPanel();

    // The clipboard outlives the service that uses it.
    ClipboardBackend m_clipboard;
    SyncService m_sync;
    PanelState m_panelState;
#if CLIPWREN_LINUX_BACKENDS
    // It wakes the service after a suspend.
    SleepWatcher m_sleepWatcher{QDBusConnection::systemBus()};
#endif
    // It cuts a wait short when the network comes back.
    NetworkWatcher m_networkWatcher;
    TrayCheck m_trayAvailable;
    QTimer m_trayCheck;
    bool m_asWindow = false;
    std::unique_ptr<TrayItem> m_tray;
    std::unique_ptr<Notifier> m_notifier;
    std::unique_ptr<Announcer> m_announcer;
    std::unique_ptr<StatusPrinter> m_statusPrinter;
    QPointer<ControlPanel> m_panel;
    QRect m_anchor;  // what the popup hangs from: the icon, or nothing
    QPoint m_pointer;
};

}  // namespace clipwren
