// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/wayland/SelectionOffer.h"

#include <fcntl.h>
#include <unistd.h>

#include "Logging.h"
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

void SelectionOffer::read(qint64 cap, int timeLimitMs, Done done) {
    m_plan = readingPlan(m_types);
    m_contents = {};
    m_cap = cap;
    m_timeLimitMs = timeLimitMs;
    m_done = std::move(done);
    // Always from the loop, so the caller finishes what it is doing first.
    QMetaObject::invokeMethod(this, &SelectionOffer::readNext, Qt::QueuedConnection);
}

void SelectionOffer::take(const ReadStep& step, std::optional<QByteArray> bytes) {
    if (!bytes) qCDebug(lcWayland) << "no" << step.mimeType << "in time";
    // Nothing written is nothing offered: a source already gone closes the pipe at once.
    if (bytes && !bytes->isEmpty()) m_contents.*step.field = *bytes;
    m_reader->deleteLater();
    m_reader = nullptr;
    readNext();
}

void SelectionOffer::readNext() {
    if (m_plan.isEmpty()) {
        if (m_done) std::exchange(m_done, nullptr)(m_contents);
        return;
    }
    const ReadStep step = m_plan.takeFirst();
    if (m_connection.isLost()) return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        // No descriptors to spare: this type stays absent, the next is tried.
        QMetaObject::invokeMethod(this, &SelectionOffer::readNext, Qt::QueuedConnection);
        return;
    }
    m_connection.protocol().receive(m_offer, step.mimeType.constData(), fds[1]);
    ::close(fds[1]);  // the compositor has its own copy; ours would keep the pipe open
    m_connection.flush();
    m_reader = new PipeReader(
        fds[0], m_cap, m_timeLimitMs,
        [this, step](std::optional<QByteArray> bytes) { take(step, std::move(bytes)); });
}

}  // namespace clipwren::wayland
