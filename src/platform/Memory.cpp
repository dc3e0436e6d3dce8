// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/Memory.h"

#include <cstdint>
#include <cstdlib>  // defines __GLIBC__ where it applies

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

void adviseHugePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t size) {
#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t hugePage = 2 << 20;
    const auto start = (reinterpret_cast<std::uintptr_t>(data) + hugePage - 1) & ~(hugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(hugePage - 1);
    // Advice only: a kernel without huge pages refuses it, and nothing changes.
    if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#endif
}

}  // namespace clipwren
