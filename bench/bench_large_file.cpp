// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// What a 12,582,912-byte file on the clipboard costs on the main thread: one watcher tick,
// building and framing its clip message, and applying the received frame. Beside each, the
// floor: OpenSSL's SHA-256 plus Base64 of the same bytes. Median of several runs. Then the
// stages of one copy as a user makes it, long after the last: memory given back first.
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "clipboard/ChangeWatcher.h"
#include "clipboard/Digest.h"
#include "clipboard/InboundApply.h"
#include "clipboard/ReceivedFiles.h"
#include "clipboard/Snapshot.h"
#include "platform/Crypto.h"
#include "platform/Memory.h"
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

// Median time of each stage over runs, each run a whole copy on memory given back before it.
class Stages {
public:
    template <class Work>
    auto time(const char* name, Work work) {
        QElapsedTimer timer;
        timer.start();
        auto result = work();
        m_times[name].push_back(double(timer.nsecsElapsed()) / 1e6);
        if (std::find(m_order.begin(), m_order.end(), name) == m_order.end())
            m_order.push_back(name);
        return result;
    }
    void print() {
        double total = 0;
        for (const std::string& name : m_order) {
            std::vector<double>& times = m_times[name];
            std::sort(times.begin(), times.end());
            total += times[times.size() / 2];
            std::printf("  %-40s %8.1f ms\n", name.c_str(), times[times.size() / 2]);
        }
        std::printf("  %-40s %8.1f ms\n", "sum", total);
    }

private:
    std::vector<std::string> m_order;
    std::map<std::string, std::vector<double>> m_times;
};

// One copy of the largest file from the clipboard to the received-files folder, in the stages
// the two programs go through (both here, in one process), the transport left out.
void isolatedCopy(Stages& stages, const Pasteboard& pasteboard) {
    releaseFreedMemory();
    QByteArray stream;
    {
        const auto payload =
            stages.time("send: read the file", [&] { return clipboardPayload(pasteboard); });
        stages.time("send: SHA-256", [&] { return contentDigest(payload->kind, payload->bytes); });
        const auto frame = stages.time("send: Base64 and JSON", [&] {
            return *clipMessage(payload->kind, payload->bytes, QStringLiteral("ABCDEFGHJKLMNPQR"),
                                QStringLiteral("mac-X"))
                        .toFrame();
        });
        stream = frame;
    }
    releaseFreedMemory();
    QByteArray body = stages.time("receive: frame from 64 KiB reads", [&] {
        QByteArray buffer, cut;
        for (qsizetype at = 0; at < stream.size(); at += 65536) {
            buffer.append(
                QByteArrayView(stream).sliced(at, std::min<qsizetype>(65536, stream.size() - at)));
            cutFrames(buffer, [&](QByteArray b) { cut = std::move(b); });
        }
        return cut;
    });
    stream = QByteArray();
    ClipMessageReader reader;
    const auto clip = stages.time("receive: parse and decode", [&] {
        return reader.read(body, QStringLiteral("ABCDEFGHJKLMNPQR"), QStringLiteral("mac-Y"));
    });
    stages.time("receive: SHA-256", [&] { return contentDigest(clip->kind, clip->data); });
    const StoredClip stored = stages.time("receive: write and fdatasync", [&] {
        return storeFile(clip->data, &ReceivedFiles::store);
    });
    if (stored.applied.outcome != Applied::Outcome::Written) std::abort();
    QFile::remove(stored.applied.detail);
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

    // A look as the bridge makes it: a large file is left to its worker to read and hash, then
    // looked at again.
    const auto look = [](ChangeWatcher& watcher, KnownContent& known) {
        if (auto content = watcher.takeNewContent(known)) return content;
        const auto unread = watcher.takeFileToRead();
        if (!unread) return std::optional<NewContent>();
        auto read = filePayload(*unread);
        watcher.fileRead(*unread, read,
                         read ? contentDigest(ContentKind::File, *read) : QByteArray());
        return watcher.takeNewContent(known);
    };
    // The file itself is maxBytes long, the largest that crosses: the tick reads and hashes it
    // and hands it on. Forgetting the digest makes every run find the content new, as after a
    // copy.
    row("poll tick, the largest file (read + hash)", medianMs([&] {
            KnownContent forgotten;
            ChangeWatcher fresh(pasteboard);
            if (!look(fresh, forgotten)) std::abort();
        }),
        encodeFloor);
    // The idle tick: the same file still on the clipboard, already known.
    ChangeWatcher watcher(pasteboard);
    KnownContent known;
    look(watcher, known);
    row("idle tick, unchanged file", medianMs([&] {
            if (look(watcher, known)) std::abort();
        }),
        encodeFloor);

    QByteArray frame;
    row("clip message built and framed", medianMs([&] {
            frame = *clipMessage(ContentKind::File, payload, QStringLiteral("ABCDEFGHJKLMNPQR"),
                                 QStringLiteral("mac-X"))
                         .toFrame();
        }),
        encodeFloor);

    ClipMessageReader reader;
    QByteArray buffer = frame;
    row("received frame applied (file stored)", medianMs([&] {
            QByteArray stream = buffer;
            KnownContent received;
            cutFrames(stream, [&](const QByteArray& body) {
                const auto clip =
                    reader.read(body, QStringLiteral("ABCDEFGHJKLMNPQR"), QStringLiteral("mac-Y"));
                if (!clip) std::abort();
                if (applyClip(*clip, pasteboard, received).outcome != Applied::Outcome::Written)
                    std::abort();
            });
        }),
        decodeFloor);

    std::printf("\nan isolated copy of the largest file, stage by stage (median of %d):\n", runs);
    Stages stages;
    for (int i = 0; i < runs; ++i) {
        isolatedCopy(stages, pasteboard);
        QThread::msleep(200);
    }
    stages.print();
    return 0;
}
