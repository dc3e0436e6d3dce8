// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/Memory.h"

#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <cstdint>
#include <cstdlib>  // defines __GLIBC__ where it applies
#include <utility>

#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#endif

namespace clipwren {

void returnLargeBlocksToSystem() {
#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__)
    // Blocks of 1 MiB and more (frames, payloads, their Base64) get mappings of their own,
    // which go back to the system the moment they are freed: nothing large stays mapped for a
    // content that may never come. Asked for huge pages (adviseHugePages), a fresh one costs
    // a fault for every 2 MiB, little enough to pay for each large content. What the heap
    // frees stays until releaseFreedMemory.
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

void releaseFreedMemory() {
#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

namespace {
// The whole pages of pageSize (a power of two) inside [data, data + size): [start, end).
[[maybe_unused]] std::pair<std::uintptr_t, std::uintptr_t> pagesWithin(void* data, std::size_t size,
                                                                       std::uintptr_t pageSize) {
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    return {(at + pageSize - 1) & ~(pageSize - 1), (at + size) & ~(pageSize - 1)};
}
}  // namespace

void adviseHugePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t size) {
#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    const auto [start, end] = pagesWithin(data, size, 2 << 20);
    // Advice only: a kernel without huge pages refuses it, and nothing changes.
    if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#endif
}

void prepareLargeBuffer([[maybe_unused]] void* data, [[maybe_unused]] std::size_t size) {
#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__) && defined(MADV_POPULATE_WRITE)
    const auto [start, end] = pagesWithin(data, size, 4096);
    if (end <= start) return;
    // Where the kernel gives huge pages unasked, the loop would still wait for 2 MiB at a time.
    ::madvise(reinterpret_cast<void*>(start), end - start, MADV_NOHUGEPAGE);
    // Idle priority: it only uses a core that nothing else wants, so it never holds the loop
    // back; where it falls behind, the loop's writes fault their own pages in as before.
    static QThreadPool* const pool = [] {
        auto* threads = new QThreadPool;  // lives as long as the program
        threads->setMaxThreadCount(1);
        threads->setThreadPriority(QThread::IdlePriority);
        return threads;
    }();
    pool->start([start = start, end = end] {
        // Small slices: the loop, writing right behind, waits for one 4 KiB page at most.
        // Advice as well: an older kernel refuses it and nothing changes.
        // Were the buffer freed meanwhile, its range is gone (the call fails and we stop) or
        // belongs to a later mapping, whose pages are faulted in a little early.
        constexpr std::uintptr_t slice = 256 << 10;
        for (std::uintptr_t at = start; at < end; at += slice) {
            const std::size_t length = std::min(slice, end - at);
            if (::madvise(reinterpret_cast<void*>(at), length, MADV_POPULATE_WRITE) != 0) return;
        }
    });
#endif
}

}  // namespace clipwren
