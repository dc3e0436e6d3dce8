// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace clipwren {

class SyncService;

// Hands every new status text to writeLine, starting with the one shown at launch: the way
// scripts and end-to-end tests follow the program without a screen.
class StatusPrinter : public QObject {
    Q_OBJECT

public:
    using LineWriter = std::function<void(const QString& line)>;

    // The default writes to standard output and flushes each line.
    explicit StatusPrinter(const SyncService& sync, LineWriter writeLine = standardOutput(),
                           QObject* parent = nullptr);

    static LineWriter standardOutput();

private:
    void print();

    const SyncService& m_sync;
    LineWriter m_writeLine;
    QString m_printed;
};

}  // namespace clipwren
