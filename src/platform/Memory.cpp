// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/Memory.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdlib>  // defines __GLIBC__ where it applies

#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__)
#include <malloc.h>
#endif

namespace clipwren {

void returnLargeBlocksToSystem() {
#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__)
    // Blocks up to the largest the allocator keeps in its heap (above every frame) are reused:
    // a fresh mapping costs a page fault for every 4 KiB, more than hashing and encoding
    // them. Nothing is trimmed on free; releaseFreedMemory gives it all back at once.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

void releaseFreedMemory() {
#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

void releaseFreedMemorySoon() {
    QCoreApplication* const application = QCoreApplication::instance();
    if (!application) return releaseFreedMemory();
    // One timer for the process, restarted by each large content; it goes with the application.
    static QTimer* timer = nullptr;
    if (!timer) {
        timer = new QTimer(application);
        timer->setSingleShot(true);
        timer->setInterval(releaseDelayMs);
        QObject::connect(timer, &QTimer::timeout, &releaseFreedMemory);
        QObject::connect(timer, &QObject::destroyed, [] { timer = nullptr; });
    }
    timer->start();
}

}  // namespace clipwren
