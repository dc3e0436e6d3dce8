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
    connect(m_connection.get(), &WaylandConnection::lost, this,
            [this](int error) { lose(Loss::CompositorGone, error); });
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
    lose(Loss::AccessWithdrawn);
}

void WaylandPasteboard::readOffer() {
    if (!m_offer) return settleEmpty();
    beginReading();
    readOffered(m_offer->types());
}

void WaylandPasteboard::fetch(const QByteArray& mimeType, Fetched done) {
    // An offer replaced meanwhile is read no more: the newer selection has its own reading.
    if (m_offer) m_offer->fetch(mimeType, readCap(), readTimeLimitMs, std::move(done));
}

void WaylandPasteboard::sourceCancelled() {
    // The source may still be in its own event handler: it goes once that is over.
    m_source.release()->deleteLater();
    // The offer that came with the change, whichever order the compositor told them in.
    readOffer();
}

bool WaylandPasteboard::own(const ClipboardContents& contents) {
    if (!m_device || m_connection->isLost()) return false;
    m_offer.reset();
    m_source = std::make_unique<SelectionSource>(*m_connection, contents, &m_writers);
    connect(m_source.get(), &SelectionSource::cancelled, this, &WaylandPasteboard::sourceCancelled);
    m_connection->protocol().setSelection(m_device, m_source->proxy());
    m_connection->flush();
    return true;
}

void WaylandPasteboard::abandon() {
    // Whatever the proxies were, the compositor has forgotten them.
    qDeleteAll(m_announced);
    m_announced.clear();
    m_source.reset();
    m_offer.reset();
    if (m_device) m_connection->protocol().destroyDevice(m_device);
    m_device = nullptr;
}

}  // namespace clipwren::wayland
