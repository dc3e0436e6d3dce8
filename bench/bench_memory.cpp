// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// Memory of both sides around large transfers: RSS when idle before it, the peak during it and
// RSS 5 s after it has landed, in MiB. This process plays the companion (PeerServer and
// ClipboardBridge, as clipwren-peer runs them); a child process plays the tray program
// (SyncService on a real TLS connection). Each side sets up its allocator as its program does.
// Figures only; goals: a 24 MiB frame peaks at most 64 MiB above idle, and 5 s after a 12 MiB
// file each side is back within 8 MiB of idle.
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QScopedValueRollback>
#include <QSocketNotifier>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtEndian>
#include <cstdio>
#include <functional>
#include <iostream>
#include <random>
#include <string>

#include "PeerIdentity.h"
#include "PeerServer.h"
#include "clipboard/ClipboardBridge.h"
#include "platform/Crypto.h"
#include "platform/Memory.h"
#include "platform/clipboard/QtPasteboard.h"
#include "platform/net/SelfSignedCertificate.h"
#include "platform/net/TlsConnection.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"
#include "service/SyncService.h"

using namespace clipwren;

namespace {

const QString code = QStringLiteral("K7MZQ4RT9WXC2HPV");
constexpr int settleMs = 1500;
// What a user's machine looks like a while after a copy.
constexpr int afterMs = 5000;

double statusMiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ')[0].toDouble() / 1024;
    }
    return -1;
}

// Starts a new peak: the kernel's high-water mark goes back to the present RSS.
void markIdle() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly)) refs.write("5");
}

QString report() {
    return QStringLiteral("%1 %2").arg(statusMiB("VmHWM:")).arg(statusMiB("VmRSS:"));
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 60'000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Letters, so that they are valid text too.
QByteArray randomBytes(qsizetype size, unsigned seed = 47832) {
    QByteArray bytes(size, Qt::Uninitialized);
    std::mt19937 random(seed);
    for (char& c : bytes) c = char('a' + random() % 26);
    return bytes;
}

QString writeFile(const QString& folder, const QString& name, qsizetype size) {
    const QString path = folder + u'/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) std::abort();
    file.write(randomBytes(size));
    return path;
}

void offerFile(const QString& path) {
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(path)});
    QGuiApplication::clipboard()->setMimeData(mime);
}

// Round r of a mixed run: a text, or a file of 300 kB, 3 MB or 12 MiB, new bytes every time.
void offerMixed(const QString& folder, int round) {
    static constexpr qsizetype sizes[] = {2000, 300'000, 3'000'000, maxBytes - 64};
    const qsizetype size = sizes[(round / 2) % 4];
    const QByteArray bytes = randomBytes(size, unsigned(round) + 1);
    if (size == sizes[0]) {
        QGuiApplication::clipboard()->setText(QString::fromLatin1(bytes));
        return;
    }
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/mista-%1.bin").arg(round);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) std::abort();
    file.write(bytes);
    file.close();
    offerFile(path);
}

bool isMixedText(int round) {
    return (round / 2) % 4 == 0;
}

// A JSON text of ours in a frame: its length, big-endian, then the text.
QByteArray framed(const QByteArray& json) {
    QByteArray frame(frameHeaderSize, Qt::Uninitialized);
    qToBigEndian(quint32(json.size()), frame.data());
    return frame + json;
}

// A valid clip of the largest file, padded with white space to the largest frame. A file,
// so that what is measured afterwards is not the content itself sitting on the clipboard.
QByteArray largestValidFrame(unsigned seed) {
    QByteArray json = *clipMessage(ContentKind::File,
                                   "grande.txt" + QByteArray(1, '\0') + randomBytes(maxBytes, seed),
                                   code, QStringLiteral("bench"))
                           .toJson();
    json.insert(json.size() - 1, QByteArray(qsizetype(maxFrameBody) - json.size(), ' '));
    return framed(json);
}

// Valid JSON with the code, as dense as JSON gets: one number per two bytes.
QByteArray largestDenseFrame() {
    QByteArray json = "{\"token\":\"" + code.toUtf8() + "\",\"v\":1,\"kind\":\"text\",\"pad\":[";
    const qsizetype numbers = (qsizetype(maxFrameBody) - json.size() - 2) / 2;
    json += QByteArray("0,").repeated(numbers);
    json.chop(1);
    json += "]}";
    return framed(json);
}

QByteArray marker(const QByteArray& text) {
    return *clipMessage(ContentKind::Text, text, code, QStringLiteral("bench")).toFrame();
}

void say(const QString& line) {
    std::cout << line.toStdString() << std::endl;
}

// The tray program's side, driven by commands on standard input.
int programSide(quint16 port) {
    QtPasteboard pasteboard;
    SyncService service(
        [port](const QString&, quint16) {
            return std::make_unique<TlsConnection>(QStringLiteral("127.0.0.1"), port);
        },
        pasteboard);
    service.setHost(QStringLiteral("127.0.0.1"));
    service.setToken(code);
    // Only what arrives is told: a copy of this side's own would answer a later wait for the
    // other side's content before it has come.
    bool copyingHere = false;
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, [&copyingHere] {
        if (copyingHere) return;
        const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
        if (mime && mime->hasUrls()) say(QStringLiteral("clip file"));
        if (mime && mime->hasText() && !mime->hasUrls())
            say(QStringLiteral("clip text ") + QString::number(mime->text().size()));
    });
    QTemporaryDir folder;
    std::unique_ptr<QSslSocket> flood;
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        std::string line;
        if (!std::getline(std::cin, line)) QCoreApplication::quit();
        const QString command = QString::fromStdString(line);
        if (command == u"mark") {
            markIdle();
            say(QStringLiteral("ok"));
        } else if (command == u"report") {
            say(QStringLiteral("rss ") + report());
        } else if (command == u"file") {
            const QScopedValueRollback copying(copyingHere, true);
            offerFile(writeFile(folder.path(), QStringLiteral("dal-programma.bin"), maxBytes - 64));
        } else if (command.startsWith(u"mixed ")) {
            const int round = command.sliced(6).toInt();
            const QScopedValueRollback copying(copyingHere, true);
            offerMixed(folder.path() + QStringLiteral("/programma"), round);
        } else if (command == u"flood") {
            // Another client with the code: it takes the place of the service's connection.
            flood = std::make_unique<QSslSocket>();
            flood->setPeerVerifyMode(QSslSocket::VerifyNone);
            flood->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
            if (!flood->waitForEncrypted(10'000)) std::abort();
            flood->write(*helloMessage(code, QStringLiteral("bench")).toFrame());
            flood->write(largestValidFrame(1) + largestDenseFrame() + marker("fine"));
        }
    });
    service.start();
    if (!waitFor([&] { return service.isConnected(); })) return 1;
    say(QStringLiteral("ready"));
    return QCoreApplication::exec();
}

// A content that never comes ends the run: its figures would be of nothing.
void arrived(bool came) {
    if (came) return;
    std::fprintf(stderr, "the program side's content never arrived here\n");
    std::exit(1);
}

struct Child {
    QProcess process;
    QStringList lines;

    QString await(const QString& prefix) {
        QString found;
        if (!waitFor([&] {
                lines += QString::fromUtf8(process.readAllStandardOutput())
                             .split(u'\n', Qt::SkipEmptyParts);
                for (qsizetype i = 0; i < lines.size(); ++i) {
                    if (lines[i].startsWith(prefix)) {
                        found = lines.takeAt(i);
                        lines = lines.mid(i);
                        return true;
                    }
                }
                return false;
            })) {
            std::fprintf(stderr, "no \"%s\" from the program side; it said: %s\n",
                         qPrintable(prefix), qPrintable(lines.join(u'|')));
            std::exit(1);
        }
        return found;
    }
    void tell(const char* command) { process.write(QByteArray(command) + '\n'); }
};

int peerSide(const QString& self, int mixedRounds) {
    const auto certificate = SelfSignedCertificate::generate(QStringLiteral("bench")).value();
    const peer::PeerIdentity identity{certificate.certificatePem, certificate.privateKeyPem,
                                      QString(), true};
    peer::PeerServer server(code, identity);
    QtPasteboard pasteboard;
    ClipboardBridge mirror(
        pasteboard, [] { return code; }, QStringLiteral("linux-bench"));
    QObject::connect(&server, &peer::PeerServer::authenticated, &mirror, &ClipboardBridge::begin);
    QObject::connect(&server, &peer::PeerServer::frameReceived, &mirror, &ClipboardBridge::receive);
    QObject::connect(&mirror, &ClipboardBridge::frameReady, &server, &peer::PeerServer::send);
    int stored = 0;
    QList<ContentKind> texts;
    QObject::connect(&mirror, &ClipboardBridge::fileStored, [&] { ++stored; });
    QObject::connect(&mirror, &ClipboardBridge::applied,
                     [&](ContentKind kind) { texts.append(kind); });
    if (!server.listen(QHostAddress::LocalHost, 0)) return 1;

    Child child;
    child.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.process.start(self, {QStringLiteral("--program"), QString::number(server.serverPort())});
    child.await(QStringLiteral("ready"));
    pause(settleMs);
    QTemporaryDir folder;

    std::printf("%-34s %26s   %26s\n", "MiB", "program: idle  peak  5 s", "peer: idle  peak  5 s");
    const auto phase = [&](const char* name, const std::function<void()>& transfer,
                           bool programMeasured = true) {
        child.tell("mark");
        child.await(QStringLiteral("ok"));
        markIdle();
        const double peerIdle = statusMiB("VmRSS:");
        child.tell("report");
        const double programIdle = child.await(QStringLiteral("rss ")).split(u' ')[2].toDouble();
        transfer();
        pause(afterMs);
        const double peerPeak = statusMiB("VmHWM:");
        const double peerAfter = statusMiB("VmRSS:");
        child.tell("report");
        const QStringList program = child.await(QStringLiteral("rss ")).split(u' ');
        if (programMeasured) {
            std::printf("%-34s %11.1f %5.1f %5.1f   %11.1f %5.1f %5.1f\n", name, programIdle,
                        program[1].toDouble(), program[2].toDouble(), peerIdle, peerPeak,
                        peerAfter);
        } else {  // the program side only played the sending client
            std::printf("%-34s %23s   %11.1f %5.1f %5.1f\n", name, "-", peerIdle, peerPeak,
                        peerAfter);
        }
    };
    phase("12 MiB file, program -> peer", [&] {
        child.tell("file");
        arrived(waitFor([&] { return stored == 1; }));
    });
    phase("12 MiB file, peer -> program", [&] {
        offerFile(writeFile(folder.path(), QStringLiteral("dal-peer.bin"), maxBytes - 64));
        child.await(QStringLiteral("clip file"));
    });
    if (mixedRounds > 0) {
        const QString name = QStringLiteral("%1 rounds mixed, both ways").arg(mixedRounds);
        phase(qPrintable(name), [&] {
            for (int round = 0; round < mixedRounds; ++round) {
                if (round % 2 == 0) {  // program -> peer
                    const auto before = std::pair(stored, texts.size());
                    child.tell(qPrintable(QStringLiteral("mixed %1").arg(round)));
                    arrived(waitFor([&] { return std::pair(stored, texts.size()) != before; }));
                } else {
                    offerMixed(folder.path() + QStringLiteral("/peer"), round);
                    child.await(isMixedText(round) ? QStringLiteral("clip text")
                                                   : QStringLiteral("clip file"));
                }
            }
        });
    }
    phase("24 MiB valid frame -> program", [&] {
        server.send(largestValidFrame(2));
        child.await(QStringLiteral("clip file"));
    });
    phase("24 MiB dense JSON -> program", [&] {
        server.send(QByteArray(largestDenseFrame() + marker("ok")));
        child.await(QStringLiteral("clip text 2"));
    });
    phase(
        "24 MiB valid + dense -> peer",
        [&] {
            child.tell("flood");
            arrived(waitFor([&] { return texts.size() >= 3; }));
        },
        false);
    child.process.closeWriteChannel();
    child.process.waitForFinished(5000);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    returnLargeBlocksToSystem();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (qEnvironmentVariableIsEmpty("CLIPWREN_BENCH_HOME")) {
        qputenv("CLIPWREN_BENCH_HOME", QFile::encodeName(home.path()));
    }
    const QByteArray root = qgetenv("CLIPWREN_BENCH_HOME");
    const bool program = argc == 3 && std::strcmp(argv[1], "--program") == 0;
    qputenv("XDG_DATA_HOME", root + (program ? "/program/data" : "/peer/data"));
    qputenv("XDG_CONFIG_HOME", root + (program ? "/program/config" : "/peer/config"));
    QGuiApplication app(argc, argv);
    if (program) return programSide(quint16(QByteArray(argv[2]).toUInt()));
    // bench_memory [--mixed N]: N rounds of texts and files of every size after the phases.
    const int mixedRounds =
        argc == 3 && std::strcmp(argv[1], "--mixed") == 0 ? std::atoi(argv[2]) : 0;
    return peerSide(QCoreApplication::applicationFilePath(), mixedRounds);
}
