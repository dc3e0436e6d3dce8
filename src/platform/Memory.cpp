// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/Memory.h"

#include <cstdlib>  // defines __GLIBC__ where it applies

#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__)
#include <malloc.h>
#endif

namespace clipwren {

void returnLargeBlocksToSystem() {
#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__)
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

void releaseFreedMemory() {
#if CLIPWREN_LINUX_BACKENDS && defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

}  // namespace clipwren
