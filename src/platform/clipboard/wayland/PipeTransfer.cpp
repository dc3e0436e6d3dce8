// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/wayland/PipeTransfer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace clipwren::wayland {

namespace {

constexpr qsizetype chunkSize = 65'536;

void makeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

PipeReader::PipeReader(int fd, qint64 cap, int timeLimitMs, Done done, QObject* parent)
    : QObject(parent),
      m_fd(fd),
      m_cap(cap),
      m_notifier(fd, QSocketNotifier::Read),
      m_done(std::move(done)) {
    makeNonBlocking(fd);
    connect(&m_notifier, &QSocketNotifier::activated, this, &PipeReader::readAvailable);
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] { finish(std::nullopt); });
    m_timeLimit.start(timeLimitMs);
}

PipeReader::~PipeReader() {
    if (m_fd >= 0) ::close(m_fd);
}

void PipeReader::readAvailable() {
    for (;;) {
        const qsizetype wanted = std::min<qint64>(chunkSize, m_cap - m_bytes.size());
        const qsizetype before = m_bytes.size();
        // Doubling keeps a 12 MiB content from being copied once per chunk.
        if (m_bytes.capacity() < before + wanted) {
            m_bytes.reserve(std::max(2 * m_bytes.capacity(), before + wanted));
        }
        m_bytes.resize(before + wanted);
        const ssize_t got = ::read(m_fd, m_bytes.data() + before, size_t(wanted));
        m_bytes.resize(before + std::max<ssize_t>(got, 0));
        if (got > 0) {
            if (m_bytes.size() >= m_cap) return finish(std::move(m_bytes));
            continue;
        }
        if (got == 0) return finish(std::move(m_bytes));
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return;
        return finish(std::nullopt);
    }
}

void PipeReader::finish(std::optional<QByteArray> result) {
    m_notifier.setEnabled(false);
    m_timeLimit.stop();
    ::close(m_fd);
    m_fd = -1;
    if (result) result->squeeze();
    // The callback may destroy this reader: nothing of it is touched afterwards.
    Done done = std::move(m_done);
    if (done) done(std::move(result));
}

PipeWriter::PipeWriter(int fd, QByteArray bytes, int stallLimitMs, QObject* parent)
    : QObject(parent), m_fd(fd), m_bytes(std::move(bytes)), m_notifier(fd, QSocketNotifier::Write) {
    makeNonBlocking(fd);
    connect(&m_notifier, &QSocketNotifier::activated, this, &PipeWriter::writeAvailable);
    m_stallLimit.setSingleShot(true);
    m_stallLimit.setInterval(stallLimitMs);
    connect(&m_stallLimit, &QTimer::timeout, this, &PipeWriter::finish);
    m_stallLimit.start();
}

PipeWriter::~PipeWriter() {
    if (m_fd >= 0) ::close(m_fd);
}

void PipeWriter::writeAvailable() {
    while (m_written < m_bytes.size()) {
        const qsizetype wanted = std::min(chunkSize, m_bytes.size() - m_written);
        const ssize_t put = ::write(m_fd, m_bytes.constData() + m_written, size_t(wanted));
        if (put > 0) {
            m_written += put;
            m_stallLimit.start();
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        break;  // the reader went away (EPIPE) or the pipe failed
    }
    finish();
}

void PipeWriter::finish() {
    if (m_fd < 0) return;
    m_notifier.setEnabled(false);
    m_stallLimit.stop();
    ::close(m_fd);
    m_fd = -1;
    Q_EMIT finished();
}

}  // namespace clipwren::wayland
