// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// How long a text copied on this machine takes to leave as a frame on the socket, for both
// programs, on X11 (Xvfb, xclip) and on Wayland (headless sway and KWin, wl-copy): from the
// moment the copying program starts to the moment the whole frame has arrived at the other end.
// bench_copy_latency [x11|sway|kwin]...: those desktops only.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/Crypto.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"
#include "support/DesktopSession.h"
#include "support/TlsTestServer.h"

using namespace clipwren;

namespace {

constexpr int copies = 15;
const QString code = QStringLiteral("K7MZQ4RT9WXC2HPV");

// Waits for the frame that carries text, reading as bytes come.
bool awaitText(QSslSocket& socket, QByteArray& buffer, const QByteArray& text) {
    QElapsedTimer waited;
    waited.start();
    bool found = false;
    while (!found && waited.elapsed() < 10'000) {
        if (!socket.bytesAvailable()) socket.waitForReadyRead(5);
        buffer.append(socket.readAll());
        cutFrames(buffer, [&](const QByteArray& body) {
            const QJsonObject message = QJsonDocument::fromJson(body).object();
            const auto data = base64DecodeStrict(message.value(u"data").toString().toLatin1());
            found = found || (data && *data == text);
        });
    }
    return found;
}

void report(const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%-34s no copy arrived\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s median %6.1f ms   min %6.1f   max %6.1f   (%zu copies)\n", what,
                ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
}

std::vector<double> measure(const test::DesktopSession& session, QSslSocket& socket,
                            QByteArray& buffer) {
    std::vector<double> ms;
    for (int i = 0; i < copies; ++i) {
        QTest::qWait(300);  // apart from the tick's phase, as a person's copies are
        const QByteArray text = "copia numero " + QByteArray::number(i);
        QElapsedTimer timer;
        timer.start();
        session.copy(session.textType(), text);
        if (awaitText(socket, buffer, text)) ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return ms;
}

// The companion, with this process as the admitted client.
std::vector<double> measurePeer(const test::DesktopSession& session, const QString& root) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    QProcess peer;
    peer.setProcessEnvironment(session.environmentWithFolders(root));
    peer.start(QStringLiteral(CLIPWREN_PEER_PATH),
               {QStringLiteral("--listen"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                QString::number(port)});
    peer.write(code.toUtf8() + '\n');
    peer.closeWriteChannel();
    QByteArray log;
    while (!log.contains("Impronta") && peer.waitForReadyRead(10'000)) log += peer.readAll();

    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForEncrypted(10'000)) return {};
    socket.write(*helloMessage(code, QStringLiteral("mac-BENCH")).toFrame());
    socket.waitForBytesWritten(10'000);
    while (!log.contains("Autenticata") && peer.waitForReadyRead(10'000)) log += peer.readAll();
    QByteArray buffer;
    auto ms = measure(session, socket, buffer);
    if (ms.empty()) std::fputs(log.constData(), stderr);
    peer.terminate();
    peer.waitForFinished();
    return ms;
}

// The tray program, connecting to this process on 127.0.0.1:47832.
std::vector<double> measureProgram(const test::DesktopSession& session, const QString& root) {
    test::TlsTestServer server;
    if (!server.listen(47832)) return {};
    QDir().mkpath(root + QStringLiteral("/config/ClipwrenPlus"));
    QFile settings(root + QStringLiteral("/config/ClipwrenPlus/ClipwrenPlus.conf"));
    settings.open(QIODevice::WriteOnly);
    settings.write("[General]\nhost=127.0.0.1\ntoken=" + code.toUtf8() + '\n');
    settings.close();
    QProcess program;
    program.setProcessEnvironment(session.environmentWithFolders(root));
    program.start(QStringLiteral(CLIPWREN_PLUS_PATH), {QStringLiteral("--connect")});
    QSslSocket* client = server.waitForClient(10'000);
    // Its hello has come: the session is up. awaitText passes over it.
    if (!client || (!client->bytesAvailable() && !client->waitForReadyRead(10'000))) return {};
    QByteArray buffer;
    auto ms = measure(session, *client, buffer);
    program.terminate();
    program.waitForFinished();
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using Kind = test::DesktopSession::Kind;
    const std::vector<std::pair<QString, Kind>> desktops{{QStringLiteral("x11"), Kind::X11},
                                                         {QStringLiteral("sway"), Kind::Sway},
                                                         {QStringLiteral("kwin"), Kind::KWin}};
    const QStringList chosen = app.arguments().mid(1);
    QTemporaryDir root;
    std::printf("copy to frame on the socket, %d text copies each\n", copies);
    for (const auto& [name, kind] : desktops) {
        if (!chosen.isEmpty() && !chosen.contains(name)) continue;
        test::DesktopSession session(kind);
        if (!session.start()) return 1;
        const QString side = root.filePath(name);
        report(qPrintable(name + QStringLiteral(", clipwren-peer")),
               measurePeer(session, side + QStringLiteral("/peer")));
        report(qPrintable(name + QStringLiteral(", clipwren-plus")),
               measureProgram(session, side + QStringLiteral("/plus")));
    }
    return 0;
}
