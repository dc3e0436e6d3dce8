// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "platform/Result.h"
#include "platform/clipboard/wayland/DataControlProtocol.h"

class QSocketNotifier;
struct wl_display;
struct wl_registry;

namespace clipwren::wayland {

// The backend's own connection to the compositor, whatever platform Qt itself runs on: the
// seat, the data-control manager it offers, and the dispatch of events from the Qt event loop.
class WaylandConnection : public QObject {
    Q_OBJECT

public:
    // Connects to the compositor that WAYLAND_DISPLAY names and finds what the backend needs,
    // or says why not, a CompositorFault as the failure's code: no compositor to reach, or no
    // data-control or seat offered. Works before the application object exists, so a program
    // can look before choosing Qt's platform.
    static Result<std::unique_ptr<WaylandConnection>> open();
    ~WaylandConnection() override;

    const DataControlProtocol& protocol() const { return *m_protocol; }
    wl_proxy* manager() const { return m_manager; }
    wl_seat* seat() const { return m_seat; }
    bool isLost() const { return m_lost; }

    // Waits until the compositor has answered every request so far, dispatching what it sends.
    void roundtrip();
    // From now on, events are read and dispatched by the thread's event loop.
    void attachToEventLoop();

    // Sends the requests made so far; what does not fit now goes when the loop next waits.
    void flush();

Q_SIGNALS:
    // The compositor went away or broke the connection; nothing works on it any more.
    void lost(int error);

private:
    explicit WaylandConnection(wl_display* display);
    Result<void> bindGlobals();
    void readEvents();
    void dispatchPending();
    void fail();

    wl_display* m_display;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    wl_proxy* m_manager = nullptr;
    const DataControlProtocol* m_protocol = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_lost = false;
};

}  // namespace clipwren::wayland
