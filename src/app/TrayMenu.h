// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QMenu>

namespace clipwren {

class SyncService;

// The tray item's right-click menu: connect or disconnect, pause or resume, the received
// files, quit. Its labels follow the service, as the panel's do. StatusNotifierItem hosts
// get it over D-Bus.
class TrayMenu final : public QMenu {
    Q_OBJECT

public:
    explicit TrayMenu(SyncService& sync, QWidget* parent = nullptr);

    // Made when first asked for, so that the user always finds it.
    void openReceivedFolder();

Q_SIGNALS:
    // The connection could not start for want of an address or a code: the panel shows why.
    void panelWanted();
    // The desktop would not open the received files' folder.
    void folderNotOpened(const QString& folder);
    void quitRequested();

private:
    void redraw();

    SyncService& m_sync;
    QAction* m_connect;
    QAction* m_pause;
};

}  // namespace clipwren
