// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <functional>

#include "protocol/Limits.h"

namespace clipwren {

// A frame: 4-byte big-endian body length N (1 to maxFrameBody), then N bytes of UTF-8 JSON.

inline constexpr qsizetype frameHeaderSize = 4;

// Spare bytes after the end of every cut body (see cutFrames).
inline constexpr qsizetype bodySlack = 64;

enum class CutResult { NeedMore, Corrupt };

// Frames above this are handed over without a copy, and their buffer's pages are made present
// ahead of the bytes (prepareLargeBuffer).
inline constexpr qsizetype largeFrame = 1 << 20;

// Cuts every complete frame off the front of buffer, in stream order, and hands each body to
// onFrame after it has left the buffer. Stops at the first corrupt length (0 or above
// maxFrameBody) and reports it, leaving the buffer from that length on untouched.
// Bodies come with bodySlack bytes of spare capacity, so a JSON parser can read them in place.
// A large body is the buffer itself, moved out; the buffer then keeps only the bytes after it,
// in a small array of their own.
CutResult cutFrames(QByteArray& buffer, const std::function<void(QByteArray body)>& onFrame);

}  // namespace clipwren
