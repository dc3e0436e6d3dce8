// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <optional>

namespace clipwren::wayland {

// Reads what another program writes into a pipe, from the event loop: never waiting for it,
// never longer than the time limit, never more than the byte cap. The read end is closed when
// the reader finishes or is destroyed.
class PipeReader : public QObject {
    Q_OBJECT

public:
    // The bytes up to end of file, or the first cap bytes of a longer content (the writer is
    // then cut off); nothing when the writer failed or did not finish in time.
    using Done = std::function<void(std::optional<QByteArray>)>;

    PipeReader(int fd, qint64 cap, int timeLimitMs, Done done, QObject* parent = nullptr);
    ~PipeReader() override;

private:
    void readAvailable();
    void finish(std::optional<QByteArray> result);

    int m_fd;
    qint64 m_cap;
    QByteArray m_bytes;
    QSocketNotifier m_notifier;
    QTimer m_timeLimit;
    Done m_done;
};

// Writes bytes into a pipe that another program reads, from the event loop, as fast as the
// reader takes them. A reader that stops taking them for the time limit is cut off. The write
// end is closed when all is written, on failure, or when the writer is destroyed.
class PipeWriter : public QObject {
    Q_OBJECT

public:
    PipeWriter(int fd, QByteArray bytes, int stallLimitMs, QObject* parent = nullptr);
    ~PipeWriter() override;

Q_SIGNALS:
    void finished();

private:
    void writeAvailable();
    void finish();

    int m_fd;
    QByteArray m_bytes;
    qsizetype m_written = 0;
    QSocketNotifier m_notifier;
    QTimer m_stallLimit;
};

}  // namespace clipwren::wayland
