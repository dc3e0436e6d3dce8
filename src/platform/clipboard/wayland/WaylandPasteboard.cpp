// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/wayland/WaylandPasteboard.h"


#include "platform/clipboard/wayland/SelectionOffer.h"
#include "platform/clipboard/wayland/SelectionSource.h"
#include "platform/clipboard/wayland/WaylandConnection.h"

namespace clipwren::wayland {

WaylandPasteboard::WaylandPasteboard(std::unique_ptr<WaylandConnection> connection, qint64 readCap,
                                     QObject* parent)
    : ContentsPasteboard(readCap, parent), m_connection(std::move(connection)) {
    connect(m_connection.get(), &WaylandConnection::lost, this, &WaylandPasteboard::lose);
    m_device = m_connection->protocol().getDevice(m_connection->manager(), m_connection->seat());
    m_connection->protocol().listenToDevice(m_device, this);
    // The compositor names the present selection at once: its reading starts before anyone
    // looks, so that what is already there is known as such and never taken for new.
    m_connection->roundtrip();
    m_connection->attachToEventLoop();
}

WaylandPasteboard::~WaylandPasteboard() {
    qDeleteAll(m_announced);
    m_offer.reset();
    m_source.reset();
    if (m_device) m_connection->protocol().destroyDevice(m_device);
}

void WaylandPasteboard::onDataOffer(wl_proxy* offer) {
    m_announced.insert(offer, new SelectionOffer(*m_connection, offer, this));
}

void WaylandPasteboard::onSelection(wl_proxy* offer) {
    m_offer.reset(m_announced.take(offer));
    // Our own selection comes back as an offer; it is never read through a pipe to
    // ourselves, which would wait on the very loop that must serve it.
    if (m_source) return;
    readOffer();
}

void WaylandPasteboard::onPrimarySelection(wl_proxy* offer) {
    delete m_announced.take(offer);  // the middle-click selection is not synchronised
}

void WaylandPasteboard::onFinished() {
    lose(QStringLiteral("il compositore Wayland ha ritirato l'accesso agli appunti"));
}

void WaylandPasteboard::readOffer() {
    m_contents = {};
    m_reading = m_offer != nullptr;
    if (!m_offer) {
        Q_EMIT changed();
        return;
    }
    m_offer->read(m_readCap, readTimeLimitMs, [this](const ClipboardContents& contents) {
        m_contents = contents;
        m_reading = false;
        Q_EMIT changed();
    });
}

void WaylandPasteboard::sourceCancelled() {
    // The source may still be in its own event handler: it goes once that is over.
    m_source.release()->deleteLater();
    // The offer that came with the change, whichever order the compositor told them in.
    readOffer();
}

bool WaylandPasteboard::isUsable() const {
    return m_device && !m_connection->isLost();
}

void WaylandPasteboard::own(const ClipboardContents& contents) {
    if (!isUsable()) return;
    m_offer.reset();
    m_source = std::make_unique<SelectionSource>(*m_connection, contents, &m_writers);
    connect(m_source.get(), &SelectionSource::cancelled, this, &WaylandPasteboard::sourceCancelled);
    m_connection->protocol().setSelection(m_device, m_source->proxy());
    m_connection->flush();
    m_contents = contents;
    m_reading = false;
}

void WaylandPasteboard::disown() {
    m_source.reset();
    m_offer.reset();
    m_contents = {};
    m_reading = false;
}

void WaylandPasteboard::lose(const QString& reason) {
    if (!m_device) return;
    // Whatever the proxies were, the compositor has forgotten them.
    qDeleteAll(m_announced);
    m_announced.clear();
    disown();
    m_connection->protocol().destroyDevice(m_device);
    m_device = nullptr;
    Q_EMIT unavailable(reason);
}

}  // namespace clipwren::wayland
