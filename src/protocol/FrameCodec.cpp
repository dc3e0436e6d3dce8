// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "protocol/FrameCodec.h"

#include <QtEndian>

#include "platform/Memory.h"

namespace clipwren {

CutResult cutFrames(QByteArray& buffer, const std::function<void(QByteArray body)>& onFrame) {
    for (;;) {
        if (buffer.size() < frameHeaderSize) return CutResult::NeedMore;
        const quint32 length = qFromBigEndian<quint32>(buffer.constData());
        if (length == 0 || length > maxFrameBody) return CutResult::Corrupt;
        const qsizetype frameSize = frameHeaderSize + qsizetype(length);
        if (buffer.size() < frameSize) {
            // Grow once for the whole frame instead of at every read, with room for the slack.
            if (buffer.capacity() < frameSize + bodySlack) {
                buffer.reserve(frameSize + bodySlack);
                if (frameSize > largeFrame)
                    prepareLargeBuffer(buffer.data(), size_t(buffer.capacity()));
            }
            return CutResult::NeedMore;
        }
        if (frameSize <= largeFrame) {
            QByteArray body;
            body.reserve(qsizetype(length) + bodySlack);
            body.append(buffer.constData() + frameHeaderSize, qsizetype(length));
            buffer.remove(0, frameSize);
            onFrame(std::move(body));
            continue;
        }
        QByteArray body = std::move(buffer);
        buffer = body.sliced(frameSize);
        // Both keep the allocation: the end stays as slack, and removing the header only moves
        // the array's start.
        body.truncate(frameSize);
        body.remove(0, frameHeaderSize);
        onFrame(std::move(body));
    }
}

}  // namespace clipwren
