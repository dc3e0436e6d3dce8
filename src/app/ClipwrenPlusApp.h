// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <memory>

#include "Autostart.h"
#include "LaunchOptions.h"
#include "platform/clipboard/ClipboardBackend.h"
#if CLIPWREN_LINUX_BACKENDS
#include "platform/SleepWatcher.h"
#endif
#include "service/SyncService.h"

namespace clipwren {

class ControlPanel;
class StatusPrinter;
class TrayItem;

// The program: the one SyncService of the run, the one piece of view state the panel needs
// (revealToken), the tray item and the panel it opens.
class ClipwrenPlusApp : public QObject {
    Q_OBJECT

public:
    // connectionFactory reaches the service, so that tests can point it elsewhere; so does the
    // clipboard backend (Qt's own when none is given).
    explicit ClipwrenPlusApp(
        SyncService::ConnectionFactory connectionFactory = SyncService::tlsConnectionFactory(),
        ClipboardBackend clipboard = {}, QObject* parent = nullptr);
    ~ClipwrenPlusApp() override;

    // Made on first use, then the same for the whole run.
    SyncService& sync();

    // What the clipboard backend chosen at start means for the user; empty when nothing.
    const QString& clipboardNotice() const { return m_clipboard.notice; }

    // Whether the panel shows the pairing code in clear; false at every launch.
    bool revealToken() const { return m_revealToken; }
    void setRevealToken(bool reveal);

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

    // Starting at login, with this very program file.
    const Autostart& autostart() const { return m_autostart; }

Q_SIGNALS:
    void revealTokenChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectIfSaved();
    void placePanel();

    SyncService::ConnectionFactory m_connectionFactory;
    ClipboardBackend m_clipboard;
    const Autostart m_autostart;
#if CLIPWREN_LINUX_BACKENDS
    // A child; it wakes the service after a suspend.
    SleepWatcher* m_sleepWatcher = new SleepWatcher(QDBusConnection::systemBus(), this);
#endif
    SyncService* m_sync = nullptr;  // a child: it lives as long as the program
    bool m_revealToken = false;
    bool m_asWindow = false;
    std::unique_ptr<TrayItem> m_tray;
    std::unique_ptr<StatusPrinter> m_statusPrinter;
    QPointer<ControlPanel> m_panel;
    QRect m_anchor;  // what the popup hangs from: the icon, or the point clicked
};

}  // namespace clipwren
