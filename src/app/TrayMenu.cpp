// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "TrayMenu.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#include "clipboard/ReceivedFiles.h"
#include "service/SyncService.h"

namespace clipwren {

namespace {

QAction* named(QAction* action, const QString& name) {
    action->setObjectName(name);
    return action;
}

// Most notifications are about typing: a host that hears of a change fetches the whole menu.
void showText(QAction* action, const QString& text) {
    if (action->text() != text) action->setText(text);
}

}  // namespace

TrayMenu::TrayMenu(SyncService& sync, QWidget* parent)
    : QMenu(parent),
      m_sync(sync),
      m_connect(named(addAction(QString()), QStringLiteral("connect"))),
      m_pause(named(addAction(QString()), QStringLiteral("pause"))) {
    setObjectName(QStringLiteral("trayMenu"));
    named(addAction(QStringLiteral("Apri cartella dei file ricevuti"), this,
                    &TrayMenu::openReceivedFolder),
          QStringLiteral("openReceived"));
    addSeparator();
    named(addAction(QStringLiteral("Esci da Clipwren+"), this, &TrayMenu::quitRequested),
          QStringLiteral("quit"));
    connect(m_connect, &QAction::triggered, this, [this] {
        m_sync.connectOrDisconnect();
        if (m_sync.invalidField() != SyncService::Field::None) Q_EMIT panelWanted();
    });
    connect(m_pause, &QAction::triggered, this, [this] { m_sync.setPaused(!m_sync.isPaused()); });
    // The notification comes before the assignment: read the service once it is in place.
    connect(&sync, &SyncService::objectWillChange, this, &TrayMenu::redraw, Qt::QueuedConnection);
    redraw();
}

void TrayMenu::openReceivedFolder() {
    const QString folder = ReceivedFiles::folder();
    if (!QDir().mkpath(folder) || !QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
        Q_EMIT folderNotOpened(folder);
    }
}

void TrayMenu::redraw() {
    showText(m_connect, m_sync.isConnected() || m_sync.isReconnecting()
                            ? QStringLiteral("Disconnetti")
                            : QStringLiteral("Connetti"));
    showText(m_pause, m_sync.isPaused() ? QStringLiteral("Riprendi sincronizzazione")
                                        : QStringLiteral("Sospendi sincronizzazione"));
}

}  // namespace clipwren
