// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "ClipwrenPlusApp.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QScreen>
#include <QSystemTrayIcon>

#include "ClipboardIcons.h"
#include "ControlPanel.h"
#include "PopupPlacement.h"
#include "StatusPrinter.h"
#include "TrayItem.h"
#include "clipboard/Announcer.h"
#if CLIPWREN_LINUX_BACKENDS
#include "platform/DBusNotifier.h"
#else
#include "TrayNotifier.h"
#endif

namespace clipwren {

ClipwrenPlusApp::ClipwrenPlusApp(ConnectionFactory connectionFactory, ClipboardBackend clipboard,
                                 QObject* parent)
    : QObject(parent),
      m_clipboard(std::move(clipboard)),
      m_sync(std::move(connectionFactory), *m_clipboard.pasteboard),
      m_panelState(m_clipboard, Autostart(QCoreApplication::applicationFilePath())) {
#if CLIPWREN_LINUX_BACKENDS
    connect(&m_sleepWatcher, &SleepWatcher::resumed, &m_sync, &SyncService::resumeFromSleep);
#endif
    connect(&m_networkWatcher, &NetworkWatcher::returned, &m_sync, &SyncService::networkReturned);
}

ClipwrenPlusApp::~ClipwrenPlusApp() {
    // The panel and the tray item look at the service: they go first.
    delete m_panel;
    m_statusPrinter.reset();
    m_announcer.reset();
    m_notifier.reset();
    m_tray.reset();
}

void ClipwrenPlusApp::launch(const LaunchOptions& options) {
    QGuiApplication::setWindowIcon(icons::forLook(icons::Look::NotConnected, icons::themeColor()));
    if (options.printStatus) m_statusPrinter = std::make_unique<StatusPrinter>(m_sync);
    m_tray = std::make_unique<TrayItem>(m_sync);
    connect(m_tray.get(), &TrayItem::clicked, this, &ClipwrenPlusApp::openPanel);
#if CLIPWREN_LINUX_BACKENDS
    m_notifier = std::make_unique<DBusNotifier>();
#else
    m_notifier = std::make_unique<TrayNotifier>(m_tray->icon());
#endif
    m_announcer = std::make_unique<Announcer>(m_sync.bridge(), *m_notifier,
                                              [this] { return m_panelState.announcesFiles(); });
    m_asWindow = !QSystemTrayIcon::isSystemTrayAvailable();
    if (m_asWindow) {
        openPanel();
    } else {
        m_tray->show();
    }
    if (options.connect) connectIfSaved();
}

void ClipwrenPlusApp::connectIfSaved() {
    // As if "Connetti" were pressed once, and only when there is something to connect to.
    if (!m_sync.host().isEmpty() && !m_sync.token().isEmpty()) m_sync.connectOrDisconnect();
}

ControlPanel* ClipwrenPlusApp::panel() const {
    return m_panel;
}

void ClipwrenPlusApp::openPanel() {
    if (!m_asWindow) {
        openPanelUnder(m_tray ? m_tray->geometry() : QRect());
        return;
    }
    if (!m_panel) {
        m_panel = buildPanel();
        m_panel->installEventFilter(this);
    }
    m_panel->showNormal();
    m_panel->raise();
    m_panel->activateWindow();
}

void ClipwrenPlusApp::openPanelUnder(QRect icon) {
    if (!m_panel) {
        m_panel = buildPanel();
        // A popup closes on a click elsewhere; the next click on the icon builds it anew.
        m_panel->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
        m_panel->setAttribute(Qt::WA_DeleteOnClose);
        // Like a menu: each new size is placed anew, so the popup never leaves the screen nor
        // drifts away from its icon.
        connect(m_panel, &ControlPanel::resized, this, &ClipwrenPlusApp::placePanel);
    }
    m_anchor = icon.isValid() ? icon : QRect(QCursor::pos(), QSize(1, 1));
    m_panel->adjustSize();
    placePanel();
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}

ControlPanel* ClipwrenPlusApp::buildPanel() {
    auto* panel = new ControlPanel(m_sync, m_panelState);
    connect(panel, &ControlPanel::quitRequested, this, &ClipwrenPlusApp::quit);
    return panel;
}

void ClipwrenPlusApp::placePanel() {
    const QScreen* screen = QGuiApplication::screenAt(m_anchor.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    m_panel->move(popupPosition(m_panel->size(), m_anchor, screen->availableGeometry()));
}

bool ClipwrenPlusApp::eventFilter(QObject* watched, QEvent* event) {
    // Without a tray the panel is an ordinary application window: closing it ends the
    // program, which could not be reached again on a desktop without a task bar. The event
    // type goes first: while the panel is being destroyed its filter still sees events, and
    // reading m_panel then would cast an object that is no longer a ControlPanel.
    if (event->type() == QEvent::Close && watched == m_panel) quit();
    return QObject::eventFilter(watched, event);
}

void ClipwrenPlusApp::quit() {
    QApplication::quit();
}

}  // namespace clipwren
