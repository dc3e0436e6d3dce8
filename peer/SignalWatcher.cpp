// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "SignalWatcher.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace clipwren::peer {

namespace {

int pairEnds[2] = {-1, -1};  // [0] written by the handler, [1] read by the event loop

void onSignal(int signalNumber) {
    const int saved = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pairEnds[0], &byte, 1);
    errno = saved;
}

}  // namespace

SignalWatcher::SignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent) {
    if (pairEnds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pairEnds) != 0) {
        return;
    }
    m_notifier = new QSocketNotifier(pairEnds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::drain);
    for (const int signalNumber : signalNumbers) {
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(signalNumber, &action, nullptr);
        m_signals.push_back(signalNumber);
    }
}

SignalWatcher::~SignalWatcher() {
    if (!m_notifier) return;
    for (const int signalNumber : m_signals) std::signal(signalNumber, SIG_DFL);
    delete m_notifier;
    ::close(pairEnds[0]);
    ::close(pairEnds[1]);
    pairEnds[0] = pairEnds[1] = -1;
}

void SignalWatcher::drain() {
    char byte = 0;
    if (::read(pairEnds[1], &byte, 1) == 1) Q_EMIT caught(int(byte));
}

}  // namespace clipwren::peer
