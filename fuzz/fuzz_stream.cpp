// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// The received byte stream, end to end: cut into frames, each body read as a clip message
// with our code, and applied to a clipboard, files stored on disk. Every stored file lies in
// a folder of its own under the received-files folder, with the content it was sent.
#include <QFile>
#include <QFileInfo>

#include "FuzzSupport.h"
#include "clipboard/InboundApply.h"
#include "protocol/ClipMessageReader.h"
#include "protocol/FrameCodec.h"

using namespace clipwren;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (fuzz::isolateDataFolder(), true);
    (void)ready;
    static ClipMessageReader reader;
    const QString token = QStringLiteral("K7MZQ4RT9WXC2HPV");

    // The first byte splits the stream into reads of different sizes.
    if (size == 0) return 0;
    const size_t step = size_t(data[0]) + 1;
    fuzz::FakePasteboard pasteboard;
    KnownContent known;
    QByteArray buffer;
    for (size_t at = 1; at < size; at += step) {
        buffer.append(reinterpret_cast<const char*>(data) + at,
                      qsizetype(std::min(step, size - at)));
        const CutResult result = cutFrames(buffer, [&](QByteArray body) {
            const auto clip = reader.read(body, token, QStringLiteral("mac-FUZZ"));
            if (!clip) return;
            fuzz::require(!clip->data.isEmpty() && clip->data.size() <= maxReceivedData,
                          "decoded data within its limits");
            const QList<QUrl> before = pasteboard.fileURLs();
            const Applied applied = applyClip(*clip, pasteboard, known);
            // What is not written leaves the clipboard as it was.
            if (applied.outcome != Applied::Outcome::Written) {
                fuzz::require(pasteboard.fileURLs() == before, "clipboard kept");
                return;
            }
            if (clip->kind != ContentKind::File) return;
            const QString path = applied.detail;
            fuzz::require(pasteboard.fileURLs() == QList<QUrl>{QUrl::fromLocalFile(path)},
                          "the stored file offered");
            fuzz::require(fuzz::isInsideReceivedFiles(path), "stored inside its own folder");
            QFile stored(path);
            fuzz::require(stored.open(QIODevice::ReadOnly), "stored file readable");
            fuzz::require(clip->data.endsWith(stored.readAll()), "stored file holds the contents");
            fuzz::removeStored(path);
        });
        if (result == CutResult::Corrupt) break;
    }
    return 0;
}
