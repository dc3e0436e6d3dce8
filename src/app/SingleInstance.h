// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

namespace clipwren {

// One running program per user session. The first launch holds a lock file and listens on a
// local socket, both in the user's runtime folder; a later launch asks it to show its panel
// and ends. A lock or socket left behind by a program that crashed belongs to no living
// process, so it never stands in the way of a fresh start.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        Running,       // this is the one instance: go on
        Raised,        // another instance runs and has been asked to show its panel
        NotAnswering,  // another instance holds the lock but does not answer
    };

    // The user's runtime folder ($XDG_RUNTIME_DIR).
    static QString defaultFolder();

    explicit SingleInstance(const QString& folder = defaultFolder(), QObject* parent = nullptr);

    // Blocks for at most a few seconds, and only when another instance exists.
    Claim claim();

    QString socketPath() const { return m_socketPath; }

Q_SIGNALS:
    // A later launch asked for the panel.
    void raiseRequested();

private:
    bool listen();
    Claim askTheRunningOne();

    QString m_socketPath;
    QLockFile m_lock;
    QLocalServer m_server;
};

}  // namespace clipwren
