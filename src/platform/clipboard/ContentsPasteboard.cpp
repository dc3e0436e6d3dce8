// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/ContentsPasteboard.h"

#include "Logging.h"

namespace clipwren {

void ContentsPasteboard::write(const ClipboardContents& contents) {
    if (m_lost) return;
    dropReading();
    ClipboardContents owned = own(contents) ? contents : ClipboardContents{};
    owned.formats = offeredTypes(owned);
    settle(std::move(owned));
}

QList<QUrl> ContentsPasteboard::fileURLs() const {
    return m_contents.uriList ? localFileURLs(*m_contents.uriList) : QList<QUrl>();
}

std::optional<QByteArray> ContentsPasteboard::data(DataType type) const {
    switch (type) {
        case DataType::PNG:
            return m_contents.png;
        case DataType::Image:
            return m_contents.image;
        case DataType::HTML:
            return m_contents.html;
    }
    return std::nullopt;
}

void ContentsPasteboard::beginReading() {
    dropReading();
    m_contents = {};
    m_reading = true;
}

// A reading under way is of a selection that is no more: its steps are dropped, and its late
// answers are told apart by their number.
void ContentsPasteboard::dropReading() {
    ++m_readingNumber;
    m_plan.clear();
}

void ContentsPasteboard::readOffered(const QList<QByteArray>& offered) {
    m_contents.formats = offered;
    m_plan = readingPlan(offered);
    // From the loop, so that the backend finishes the event it is handling first.
    QMetaObject::invokeMethod(
        this, [this, reading = m_readingNumber] { readNext(reading); }, Qt::QueuedConnection);
}

void ContentsPasteboard::readNext(quint64 reading) {
    // A step queued for a selection that has been replaced since: the newer reading has its
    // own steps, and must not lose one to it.
    if (reading != m_readingNumber) return;
    if (m_plan.isEmpty()) {
        m_reading = false;
        Q_EMIT changed();
        return;
    }
    const ReadStep step = m_plan.takeFirst();
    fetch(step.mimeType, [this, step, reading](std::optional<QByteArray> bytes) {
        if (reading != m_readingNumber) return;
        if (!bytes) qCDebug(lcClipboard) << "no" << step.mimeType << "in time";
        // Nothing written is nothing offered: a source already gone closes at once.
        if (bytes && !bytes->isEmpty()) m_contents.*step.field = *bytes;
        readNext(reading);
    });
}

void ContentsPasteboard::settleEmpty() {
    dropReading();
    settle({});
    Q_EMIT changed();
}

void ContentsPasteboard::settle(ClipboardContents contents) {
    m_contents = std::move(contents);
    m_reading = false;
}

void ContentsPasteboard::lose(Loss loss, int error) {
    if (m_lost) return;
    m_lost = true;
    dropReading();
    abandon();
    settle({});
    Q_EMIT unavailable(loss, error);
}

}  // namespace clipwren
