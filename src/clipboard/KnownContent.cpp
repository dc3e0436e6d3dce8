// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/KnownContent.h"

#include <QThread>

namespace clipwren {

KnownContent::KnownContent() : m_thread(QThread::currentThread()) {}

void KnownContent::assertOwnThread() const {
    Q_ASSERT_X(QThread::currentThread() == m_thread, "KnownContent",
               "changed off the thread that owns it");
}

bool KnownContent::knows(const QByteArray& digest) const {
    if (m_lastDigest == digest) return true;
    // Still the renamed file on the clipboard, and the same message again.
    return m_renamed && m_renamed->receivedDigest == digest &&
           m_renamed->storedDigest == m_lastDigest;
}

bool KnownContent::recordReceived(const QByteArray& digest) {
    assertOwnThread();
    if (knows(digest)) return false;
    m_renamed.reset();
    // Known from here on, written or not: the same message is not tried again.
    m_lastDigest = digest;
    return true;
}

void KnownContent::recordRenamed(const QByteArray& receivedDigest, const QByteArray& storedDigest) {
    assertOwnThread();
    m_lastDigest = storedDigest;
    m_renamed = RenamedFile{receivedDigest, storedDigest};
}

void KnownContent::recordFound(QByteArray digest) {
    assertOwnThread();
    m_lastDigest = std::move(digest);
}

}  // namespace clipwren
