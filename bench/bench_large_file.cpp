// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// What a 12,582,912-byte file on the clipboard costs on the main thread: one watcher tick,
// building and framing its clip message, and applying the received frame. Beside each, the
// floor: OpenSSL's SHA-256 plus Base64 of the same bytes. Median of several runs.
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "clipboard/ChangeWatcher.h"
#include "clipboard/InboundApply.h"
#include "platform/Crypto.h"
#include "platform/clipboard/QtPasteboard.h"
#include "protocol/ClipMessageReader.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"

using namespace clipwren;

namespace {

constexpr int runs = 7;

double medianMs(const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void row(const char* what, double ms, double floorMs) {
    std::printf("%-42s %8.1f ms   (SHA-256 + Base64 of the same bytes: %6.1f ms)\n", what, ms,
                floorMs);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir folder;
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.filePath(QStringLiteral("data"))));
    QGuiApplication app(argc, argv);

    QByteArray contents(maxBytes, Qt::Uninitialized);
    std::mt19937_64 random(47832);
    for (qsizetype i = 0; i + 8 <= contents.size(); i += 8) {
        const quint64 value = random();
        std::memcpy(contents.data() + i, &value, 8);
    }
    const QString path = folder.filePath(QStringLiteral("large.bin"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(contents);
    file.close();
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(path)});
    QGuiApplication::clipboard()->setMimeData(mime);
    QtPasteboard pasteboard;

    const QByteArray payload = QByteArray("large.bin") + '\0' + contents;
    const double encodeFloor = medianMs([&] {
        sha256({payload});
        base64Encode(payload);
    });
    const QByteArray base64 = base64Encode(payload);
    const double decodeFloor = medianMs([&] {
        sha256({payload});
        base64DecodeStrict(base64);
    });

    std::printf("payload: %lld bytes, %d runs each, median\n", qlonglong(payload.size()), runs);

    // The file itself is maxBytes long, the largest that crosses: the tick reads and hashes it
    // and hands it on. Forgetting the digest makes every run find the content new, as after a
    // copy.
    row("poll tick, the largest file (read + hash)", medianMs([&] {
            std::optional<QByteArray> lastDigest;
            if (!ChangeWatcher(pasteboard).takeNewContent(lastDigest)) std::abort();
        }),
        encodeFloor);
    // The idle tick: the same file still on the clipboard, already known.
    ChangeWatcher watcher(pasteboard);
    std::optional<QByteArray> known;
    watcher.takeNewContent(known);
    row("idle tick, unchanged file", medianMs([&] {
            if (watcher.takeNewContent(known)) std::abort();
        }),
        encodeFloor);

    QByteArray frame;
    row("clip message built and framed", medianMs([&] {
            frame = *clipMessage(QStringLiteral("file"), payload,
                                 QStringLiteral("ABCDEFGHJKLMNPQR"), QStringLiteral("mac-X"))
                         .toFrame();
        }),
        encodeFloor);

    ClipMessageReader reader;
    QByteArray buffer = frame;
    row("received frame applied (file stored)", medianMs([&] {
            QByteArray stream = buffer;
            std::optional<QByteArray> lastDigest;
            std::optional<RenamedFile> renamed;
            cutFrames(stream, [&](const QByteArray& body) {
                const auto clip =
                    reader.read(body, QStringLiteral("ABCDEFGHJKLMNPQR"), QStringLiteral("mac-Y"));
                if (!clip) std::abort();
                if (applyClip(*clip, pasteboard, lastDigest, renamed).outcome !=
                    Applied::Outcome::Written)
                    std::abort();
            });
        }),
        decodeFloor);
    return 0;
}
