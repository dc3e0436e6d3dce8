// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "StatusPrinter.h"

#include <cstdio>

#include "service/SyncService.h"

namespace clipwren {

StatusPrinter::StatusPrinter(const SyncService& sync, LineWriter writeLine, QObject* parent)
    : QObject(parent), m_sync(sync), m_writeLine(std::move(writeLine)) {
    // A notification comes before its assignment, so it shows the text of the assignment
    // before it: that catches a text replaced again within the same turn of the event loop.
    // The queued call reads the last text once it is in place.
    connect(&sync, &SyncService::objectWillChange, this, &StatusPrinter::print,
            Qt::DirectConnection);
    connect(&sync, &SyncService::objectWillChange, this, &StatusPrinter::print,
            Qt::QueuedConnection);
    m_writeLine(m_printed = m_sync.status());
}

StatusPrinter::LineWriter StatusPrinter::standardOutput() {
    return [](const QString& line) {
        // One status, one line, even if an error description brings a line break with it.
        QString text = line;
        text.replace(QLatin1Char('\n'), QLatin1Char(' '))
            .replace(QLatin1Char('\r'), QLatin1Char(' '));
        std::fputs(text.toUtf8().append('\n').constData(), stdout);
        std::fflush(stdout);
    };
}

void StatusPrinter::print() {
    // The notification also announces the other fields; only a different text is news.
    if (m_sync.status() == m_printed) return;
    m_printed = m_sync.status();
    m_writeLine(m_printed);
}

}  // namespace clipwren
