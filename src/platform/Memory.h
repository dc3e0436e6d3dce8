// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <cstddef>

namespace clipwren {

// Large blocks (frames, payloads) get mappings of their own, given back as they are freed;
// what the heap frees is given back when whoever moved a large content asks for it
// (releaseFreedMemory). Called once at start.
void returnLargeBlocksToSystem();

// Gives back what the allocator still holds free.
void releaseFreedMemory();

// Asks the kernel to back the whole 2 MiB pages inside [data, data + size) with huge pages,
// where it offers them on request: a large buffer first touched then costs a fault for every
// 2 MiB instead of every 4 KiB. Called before the buffer is written; small ones are left as
// they are.
void adviseHugePages(void* data, std::size_t size);

// Has the pages of [data, data + size) made present on a thread of idle priority, ahead of the
// bytes that will fill them: an event that writes the next slice then mostly finds its pages
// there instead of waiting for the kernel to hand out and clear each one. Only pages are
// faulted in, the bytes are never touched, so the buffer may be written, or freed, at once.
// Meant for a buffer the event loop fills; one filled on a worker asks for huge pages instead.
void prepareLargeBuffer(void* data, std::size_t size);

// How long the bridge waits after a large content before giving the heap's free memory back:
// a burst of contents reuses it instead of paying for fresh pages each time.
inline constexpr int releaseDelayMs = 1000;

}  // namespace clipwren
