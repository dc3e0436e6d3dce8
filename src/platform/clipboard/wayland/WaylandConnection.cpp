// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/wayland/WaylandConnection.h"

#include <wayland-client.h>

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Logging.h"
#include "platform/clipboard/ClipboardBackend.h"

namespace clipwren::wayland {

namespace {

// The globals the backend needs, as the registry announces them.
struct Globals {
    std::uint32_t seatName = 0;
    std::uint32_t extName = 0;
    std::uint32_t wlrName = 0;
    std::uint32_t wlrVersion = 0;
};

const wl_registry_listener registryListener{
    [](void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version) {
        auto* globals = static_cast<Globals*>(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0) {
            // A desktop has one seat; the first is the user's.
            if (globals->seatName == 0) globals->seatName = name;
        } else if (std::strcmp(interface, extDataControl().managerName) == 0) {
            globals->extName = name;
        } else if (std::strcmp(interface, wlrDataControl().managerName) == 0) {
            globals->wlrName = name;
            globals->wlrVersion = version;
        }
    },
    [](void*, wl_registry*, std::uint32_t) {},
};

Failure fault(CompositorFault code, const char* reason) {
    return Failure{QString::fromLatin1(reason), int(code)};
}

}  // namespace

Result<std::unique_ptr<WaylandConnection>> WaylandConnection::open() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        return Failure{QString::fromLocal8Bit(std::strerror(errno)),
                       int(CompositorFault::Unreachable)};
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    if (const Result<void> bound = connection->bindGlobals(); !bound) return bound.failure();
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display) : m_display(display) {}

WaylandConnection::~WaylandConnection() {
    m_notifier.reset();
    if (m_manager) m_protocol->destroyManager(m_manager);
    if (m_seat) wl_seat_destroy(m_seat);
    if (m_registry) wl_registry_destroy(m_registry);
    if (!m_lost) wl_display_flush(m_display);
    wl_display_disconnect(m_display);
}

Result<void> WaylandConnection::bindGlobals() {
    Globals globals;
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &registryListener, &globals);
    if (wl_display_roundtrip(m_display) < 0) {
        return fault(CompositorFault::Silent, "no answer");
    }
    if (globals.extName != 0) {
        m_protocol = &extDataControl();
        m_manager = static_cast<wl_proxy*>(wl_registry_bind(
            m_registry, globals.extName, m_protocol->managerInterface, m_protocol->highestVersion));
    } else if (globals.wlrName != 0) {
        m_protocol = &wlrDataControl();
        m_manager = static_cast<wl_proxy*>(
            wl_registry_bind(m_registry, globals.wlrName, m_protocol->managerInterface,
                             std::min(globals.wlrVersion, m_protocol->highestVersion)));
    } else {
        return fault(CompositorFault::NoDataControl, "no data-control manager");
    }
    if (globals.seatName == 0) return fault(CompositorFault::NoSeat, "no seat");
    m_seat = static_cast<wl_seat*>(
        wl_registry_bind(m_registry, globals.seatName, &wl_seat_interface, 1));
    qCDebug(lcWayland) << "using" << m_protocol->managerName;
    return {};
}

void WaylandConnection::attachToEventLoop() {
    m_notifier =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &WaylandConnection::readEvents);
    // Events that arrived with another read, and requests made since, are dealt with before
    // the loop sleeps.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &WaylandConnection::dispatchPending);
    flush();
}

void WaylandConnection::roundtrip() {
    if (!m_lost && wl_display_roundtrip(m_display) < 0) fail();
}

void WaylandConnection::flush() {
    if (m_lost) return;
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN) fail();
}

void WaylandConnection::readEvents() {
    if (m_lost) return;
    // libwayland's discipline for a loop of one's own: queued events first, then read.
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0) return fail();
    }
    // The socket is readable, so this does not wait.
    if (wl_display_read_events(m_display) < 0) return fail();
    dispatchPending();
}

void WaylandConnection::dispatchPending() {
    if (m_lost) return;
    if (wl_display_dispatch_pending(m_display) < 0) return fail();
    flush();
}

void WaylandConnection::fail() {
    if (m_lost) return;
    m_lost = true;
    if (m_notifier) m_notifier->setEnabled(false);
    const int error = wl_display_get_error(m_display);
    qCInfo(lcWayland) << "connection to the compositor lost:" << error;
    Q_EMIT lost(error);
}

}  // namespace clipwren::wayland
