// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

namespace clipwren {

// Large blocks (frames, payloads) come from the allocator's heap, where the next large content
// finds them already mapped, and are given back to the system once large contents have
// stopped moving for a while (releaseFreedMemorySoon). Called once at start.
void returnLargeBlocksToSystem();

// Gives back what the allocator still holds free.
void releaseFreedMemory();

// Gives it back once no large content has been done with for releaseDelayMs: a burst of
// large contents reuses the same mapped memory instead of paying for fresh pages each time.
// On the thread of the application object; at once without one.
inline constexpr int releaseDelayMs = 1000;
void releaseFreedMemorySoon();

}  // namespace clipwren
