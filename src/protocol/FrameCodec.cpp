#include "protocol/FrameCodec.h"

#include <QtEndian>
#include <cstring>

namespace clipwren {

namespace {
constexpr qsizetype headerSize = 4;
}

std::optional<QByteArray> encodeFrame(const QByteArray& json) {
    if (json.isEmpty() || quint64(json.size()) > maxFrameBody) return std::nullopt;
    QByteArray frame(headerSize + json.size(), Qt::Uninitialized);
    qToBigEndian(quint32(json.size()), frame.data());
    std::memcpy(frame.data() + headerSize, json.constData(), size_t(json.size()));
    return frame;
}

CutResult cutFrames(QByteArray& buffer, const std::function<void(QByteArray body)>& onFrame) {
    for (;;) {
        if (buffer.size() < headerSize) return CutResult::NeedMore;
        const quint32 length = qFromBigEndian<quint32>(buffer.constData());
        if (length == 0 || length > maxFrameBody) return CutResult::Corrupt;
        const qsizetype frameSize = headerSize + qsizetype(length);
        if (buffer.size() < frameSize) {
            // Grow once for the whole frame instead of at every read.
            if (buffer.capacity() < frameSize) buffer.reserve(frameSize);
            return CutResult::NeedMore;
        }
        QByteArray body;
        body.reserve(qsizetype(length) + bodySlack);
        body.append(buffer.constData() + headerSize, qsizetype(length));
        buffer.remove(0, frameSize);
        onFrame(std::move(body));
    }
}

}  // namespace clipwren
