// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/wayland/SelectionOffer.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/clipboard/wayland/PipeTransfer.h"
#include "platform/clipboard/wayland/WaylandConnection.h"

namespace clipwren::wayland {

SelectionOffer::SelectionOffer(WaylandConnection& connection, wl_proxy* offer, QObject* parent)
    : QObject(parent), m_connection(connection), m_offer(offer) {
    m_connection.protocol().listenToOffer(m_offer, this);
}

SelectionOffer::~SelectionOffer() {
    delete m_reader;  // closes its pipe: the source sees the reader gone
    m_connection.protocol().destroyOffer(m_offer);
    m_connection.flush();
}

void SelectionOffer::onOffered(const char* mimeType) {
    m_types.append(QByteArray(mimeType));
}

void SelectionOffer::fetch(const QByteArray& mimeType, qint64 cap, int timeLimitMs, Fetched done) {
    if (m_connection.isLost()) return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        // No descriptors to spare: this type stays absent.
        QMetaObject::invokeMethod(
            this, [done = std::move(done)] { done(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    m_connection.protocol().receive(m_offer, mimeType.constData(), fds[1]);
    ::close(fds[1]);  // the compositor has its own copy; ours would keep the pipe open
    m_connection.flush();
    m_reader = new PipeReader(fds[0], cap, timeLimitMs,
                              [this, done = std::move(done)](std::optional<QByteArray> bytes) {
                                  m_reader->deleteLater();
                                  m_reader = nullptr;
                                  done(std::move(bytes));
                              });
}

}  // namespace clipwren::wayland
