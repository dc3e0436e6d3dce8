// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "ClipwrenPlusApp.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QSystemTrayIcon>

#include "ClipboardIcons.h"
#include "ControlPanel.h"
#include "Logging.h"
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
                                 TrayCheck trayAvailable, QObject* parent)
    : QObject(parent),
      m_clipboard(std::move(clipboard)),
      m_sync(std::move(connectionFactory), *m_clipboard.pasteboard),
      m_panelState(m_clipboard, Autostart(QCoreApplication::applicationFilePath())),
      m_trayAvailable(std::move(trayAvailable)) {
    m_trayCheck.setInterval(trayCheckIntervalMs);
    connect(&m_trayCheck, &QTimer::timeout, this, &ClipwrenPlusApp::dockWhenTrayAppears);
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
    // The program lives in the tray, or syncs on without one: closing its panel, popup or
    // window, ends nothing.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setWindowIcon(icons::forLook(icons::Look::NotConnected));
    if (options.printStatus) m_statusPrinter = std::make_unique<StatusPrinter>(m_sync);
    m_tray = std::make_unique<TrayItem>(m_sync);
    connect(m_tray.get(), &TrayItem::clicked, this, &ClipwrenPlusApp::openPanel);
    connect(&m_tray->menu(), &TrayMenu::panelWanted, this, &ClipwrenPlusApp::openPanel);
    connect(&m_tray->menu(), &TrayMenu::quitRequested, this, &ClipwrenPlusApp::quit);
#if CLIPWREN_LINUX_BACKENDS
    m_notifier = std::make_unique<DBusNotifier>();
#else
    m_notifier = std::make_unique<TrayNotifier>(m_tray->icon());
#endif
    m_announcer = std::make_unique<Announcer>(m_sync.bridge(), *m_notifier,
                                              [this] { return m_panelState.announcesFiles(); });
    m_asWindow = !m_trayAvailable();
    if (m_asWindow) {
        openPanel();
        m_trayCheck.start();
    } else {
        m_tray->show();
    }
    if (options.connect) connectIfSaved();
}

void ClipwrenPlusApp::connectIfSaved() {
    // As if "Connetti" were pressed once, and only when there is something to connect to.
    if (!m_sync.host().isEmpty() && !m_sync.token().isEmpty()) m_sync.connectOrDisconnect();
}

void ClipwrenPlusApp::dockWhenTrayAppears() {
    if (!m_trayAvailable()) return;
    qCDebug(lcService) << "a system tray appeared: the icon goes there";
    m_trayCheck.stop();
    m_asWindow = false;
    m_tray->show();
    // The next click builds a popup in its place.
    delete m_panel.data();
}

ControlPanel* ClipwrenPlusApp::panel() const {
    return m_panel;
}

void ClipwrenPlusApp::openPanel() {
    if (!m_asWindow) {
        openPanelUnder(m_tray ? m_tray->geometry() : QRect());
        return;
    }
    if (!m_panel) m_panel = buildPanel();
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
    m_anchor = icon;
    m_pointer = QCursor::pos();
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
    const QPoint near = m_anchor.isValid() ? m_anchor.center() : m_pointer;
    const QScreen* screen = QGuiApplication::screenAt(near);
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect area = screen->availableGeometry();
    m_panel->move(m_anchor.isValid()
                      ? popupPosition(m_panel->size(), m_anchor, area)
                      : cornerPosition(m_panel->size(), m_pointer, screen->geometry(), area));
}

void ClipwrenPlusApp::quit() {
    QApplication::quit();
}

}  // namespace clipwren
