// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

namespace clipwren {

// Blocks of 1 MiB and more (frames, payloads, their Base64) come straight from the system
// and go straight back when freed, instead of staying in the allocator's heap after a large
// transfer. Called once at start.
void returnLargeBlocksToSystem();

// Gives back what the allocator still holds free, after a large frame is done with.
void releaseFreedMemory();

}  // namespace clipwren
