// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
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
    // Both platform objects reach the service: connections to the peer, and the clipboard
    // backend chosen at start.
    ClipwrenPlusApp(ConnectionFactory connectionFactory, ClipboardBackend clipboard,
                    QObject* parent = nullptr);
    ~ClipwrenPlusApp() override;

    SyncService& sync() { return m_sync; }
    PanelState& panelState() { return m_panelState; }

    // Puts the program on screen: the tray item, or the panel as an ordinary window where
    // there is no tray, so that the program is never invisible. Nothing connects unless
    // options.connect asks for it.
    void launch(const LaunchOptions& options = {});

    // Opens the panel (built anew if it was closed), next to the tray icon where there is
    // one, as a window otherwise.
    void openPanel();
    // Opens the panel as a popup hanging from icon (at the pointer when icon is empty). It
    // stays there, wholly on screen, as its content grows and shrinks.
    void openPanelUnder(QRect icon);
    ControlPanel* panel() const;
    TrayItem* trayItem() const { return m_tray.get(); }

    // Ends the event loop at once: no stop(), nothing saved.
    void quit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectIfSaved();
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
    bool m_asWindow = false;
    std::unique_ptr<TrayItem> m_tray;
    std::unique_ptr<Notifier> m_notifier;
    std::unique_ptr<Announcer> m_announcer;
    std::unique_ptr<StatusPrinter> m_statusPrinter;
    QPointer<ControlPanel> m_panel;
    QRect m_anchor;  // what the popup hangs from: the icon, or the point clicked
};

}  // namespace clipwren
