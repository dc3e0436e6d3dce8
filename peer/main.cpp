// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// clipwren-peer: the Linux side of Clipwren+. A TLS server on port 47832 that keeps this
// machine's clipboard in step with the one client that shows the pairing code.
#include <termios.h>
#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QNetworkInterface>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <variant>

#include "PeerAddresses.h"
#include "PeerIdentity.h"
#include "PeerLog.h"
#include "PeerOptions.h"
#include "PeerServer.h"
#include "SignalWatcher.h"
#include "TokenFile.h"
#include "clipboard/Announcer.h"
#include "clipboard/ClipboardBridge.h"
#include "clipboard/ClipboardPayload.h"
#include "clipboard/SharedTexts.h"
#include "platform/DBusNotifier.h"
#include "platform/Memory.h"
#include "platform/PlatformSetup.h"
#include "platform/Uuid.h"
#include "platform/clipboard/ClipboardBackend.h"
#include "platform/clipboard/QtPasteboard.h"

using namespace clipwren;
using namespace clipwren::peer;

namespace {

constexpr int exitUsage = 1;
// Worth trying again: the session may not be up yet, or may come back.
constexpr int exitNoClipboard = 2;
// Not worth trying again in this session: its compositor offers no clipboard to the
// background, and it has no Xwayland. The systemd unit does not restart on it.
constexpr int exitNoXwayland = 3;

void printError(const QString& text) {
    std::fputs((QStringLiteral("clipwren-peer: ") + text + u'\n').toLocal8Bit().constData(),
               stderr);
}

// One line from standard input; on a terminal, asked for and not echoed.
std::optional<QString> readCodeFromInput() {
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    termios saved{};
    if (terminal) {
        std::fputs("Codice pairing: ", stderr);
        std::fflush(stderr);
        if (::tcgetattr(STDIN_FILENO, &saved) == 0) {
            termios silent = saved;
            silent.c_lflag &= ~tcflag_t(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
        }
    }
    std::string line;
    const bool read = bool(std::getline(std::cin, line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (!read) return std::nullopt;
    return QString::fromStdString(line);
}

QString displayDescription() {
    const QByteArray display = qgetenv("DISPLAY");
    return display.isEmpty() ? QStringLiteral("WAYLAND_DISPLAY=") +
                                   QString::fromLocal8Bit(qgetenv("WAYLAND_DISPLAY"))
                             : QStringLiteral("DISPLAY=") + QString::fromLocal8Bit(display);
}

// Qt ends the process when no platform can start; we end it first, saying why.
void failWhenPlatformCannotStart(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type != QtFatalMsg) return;
    printError(QStringLiteral("non raggiungo gli appunti: la sessione grafica (") +
               displayDescription() + QStringLiteral(") non risponde"));
    std::_Exit(exitNoClipboard);
}

// Saves the code for the systemd unit, and says what comes next.
int saveCode(const QString& code) {
    const QString path = defaultTokenFile();
    if (const Result<void> saved = saveTokenFile(path, code); !saved) {
        printError(QStringLiteral("codice pairing non salvato: ") + saved.error());
        return EXIT_FAILURE;
    }
    const QString done =
        QStringLiteral("Codice pairing salvato in ") + path +
        QStringLiteral(
            "\nOra avvia il servizio: systemctl --user enable --now clipwren-peer\n"
            "(se era gi\u00e0 attivo: systemctl --user restart clipwren-peer)\n"
            "Nel pannello di Clipwren+ scrivi lo stesso codice pairing.\n");
    std::fputs(done.toLocal8Bit().constData(), stdout);
    return EXIT_SUCCESS;
}

// Help, a command line in error, a code that cannot be used, or saving the code: done without
// the clipboard or a server.
std::optional<int> finishWithoutServing(Result<PeerOptions>& parsed) {
    if (!parsed) {
        printError(parsed.error());
        std::fputs(peerUsage().toLocal8Bit().constData(), stderr);
        return exitUsage;
    }
    if (parsed->help) {
        std::fputs(peerUsage().toLocal8Bit().constData(), stdout);
        return EXIT_SUCCESS;
    }
    // A code at fault is said in one line: the usage would bury it.
    if (const Result<void> code =
            readPeerCode(parsed.value(), readCodeFromInput, defaultTokenFile());
        !code) {
        printError(code.error());
        return exitUsage;
    }
    if (parsed->saveToken) return saveCode(parsed->token);
    return std::nullopt;
}

bool hasGraphicalSession() {
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    printError(
        QStringLiteral("non raggiungo gli appunti: né DISPLAY né WAYLAND_DISPLAY sono impostati. "
                       "Avvialo dentro la sessione grafica dell'utente."));
    return false;
}

// What the way the clipboard is reached means for the user; empty when it means nothing.
QString clipboardNotice(const ClipboardBackend& clipboard) {
    switch (clipboard.reach) {
        case ClipboardReach::Own:
            return {};
        case ClipboardReach::ThroughXwayland:
            return QStringLiteral(
                "Questa sessione Wayland non offre data-control: le copie si vedono tramite "
                "Xwayland, e un'applicazione Wayland incolla ciò che arriva solo mentre ha il "
                "focus, come sempre.");
        case ClipboardReach::WaylandUnreached:
            return QStringLiteral("Compositore Wayland non raggiungibile (") +
                   waylandUnreachedText(clipboard) + QStringLiteral("): uso gli appunti di ") +
                   displayDescription();
        case ClipboardReach::NoDataControlNoXwayland:
            return QStringLiteral("il compositore Wayland non offre data-control e ") +
                   (qEnvironmentVariableIsEmpty("DISPLAY")
                        ? QStringLiteral("la sessione non ha Xwayland (DISPLAY non impostato)")
                        : QStringLiteral("Xwayland non risponde (") + displayDescription() + u')');
    }
    return {};
}

// The clipboard of the user's session; or, said why where it cannot be reached, the status
// to end with.
std::variant<ClipboardBackend, int> reachClipboard() {
    if (!QGuiApplication::clipboard()) {
        printError(QStringLiteral("non raggiungo gli appunti di ") + displayDescription());
        return exitNoClipboard;
    }
    ClipboardBackend clipboard = chooseClipboardBackend(maxBytes + 1);
    if (clipboard.reach == ClipboardReach::NoDataControlNoXwayland) {
        printError(QStringLiteral("non raggiungo gli appunti: ") + clipboardNotice(clipboard));
        return exitNoXwayland;
    }
    // Qt's own clipboard is left only where neither display could be reached; without a
    // display of Qt's own it would be a clipboard of this process alone.
    if (qobject_cast<QtPasteboard*>(clipboard.pasteboard.get()) &&
        QGuiApplication::platformName() == u"offscreen") {
        const QString why = waylandUnreachedText(clipboard);
        printError(QStringLiteral("non raggiungo gli appunti di ") + displayDescription() +
                   (why.isEmpty() ? QString() : QStringLiteral(": ") + why));
        return exitNoClipboard;
    }
    return clipboard;
}

bool listen(PeerServer& server, const PeerOptions& options) {
    if (server.listen(options.listenAddress, options.port)) return true;
    printError(QStringLiteral("non posso ascoltare su ") + options.listenAddress.toString() + u':' +
               QString::number(options.port) + QStringLiteral(": ") + server.errorString());
    return false;
}

void announce(PeerLog& log, const PeerServer& server, const PeerIdentity& identity) {
    const QString address = server.serverAddress() == QHostAddress::Any
                                ? QStringLiteral("tutti gli indirizzi")
                                : server.serverAddress().toString();
    log.line(QStringLiteral("In ascolto su ") + address + QStringLiteral(", porta ") +
             QString::number(server.serverPort()) +
             (identity.created ? QStringLiteral(" (certificato nuovo)") : QString()));
    log.line(QStringLiteral("Impronta SHA-256 del certificato: ") + identity.fingerprint);
}

// Where the code came from, and the addresses to type in the tray program: now, and again
// whenever a wrong code comes: the user is setting things up, and the first lines have long
// scrolled away.
void announcePairing(PeerLog& log, const PeerServer& server, const PeerOptions& options) {
    if (!options.tokenFile.isEmpty())
        log.line(QStringLiteral("Codice pairing letto da ") + options.tokenFile);
    const auto listAddresses = [&log, &server] {
        log.line(addressesLine(
            addressesToType(server.serverAddress(), QNetworkInterface::allAddresses())));
    };
    listAddresses();
    QObject::connect(&server, &PeerServer::codeRefused, &log, listAddresses);
}

// Serves one client at a time until a signal or the loss of the clipboard ends the program.
int serve(const PeerOptions& options, Pasteboard& clipboard, const QString& clipboardNotice) {
    PeerLog log(options.quiet);
    const Result<PeerIdentity> identity = loadOrCreateIdentity(defaultIdentityFolder());
    if (!identity) {
        printError(QStringLiteral("certificato non disponibile: ") + identity.error());
        return EXIT_FAILURE;
    }
    PeerServer server(options.token, identity.value());
    log.watch(server);
    if (!listen(server, options)) return EXIT_FAILURE;

    if (!clipboardNotice.isEmpty()) log.line(clipboardNotice);
    // Without the clipboard the companion has nothing to do: it ends, saying why, so that a
    // service manager can start it again in the next session.
    QObject::connect(&clipboard, &Pasteboard::unavailable, [](Pasteboard::Loss loss, int error) {
        printError(QStringLiteral("appunti non raggiungibili: ") + clipboardLossText(loss, error));
        QCoreApplication::exit(exitNoClipboard);
    });
    ClipboardBridge bridge(
        clipboard, [&options] { return options.token; }, QStringLiteral("linux-") + newUuidText());
    log.watch(bridge);
    DBusNotifier notifier;
    const Announcer announcer(bridge, notifier, [&options] { return options.announcesFiles; });
    QObject::connect(&server, &PeerServer::authenticated, &bridge, &ClipboardBridge::begin);
    QObject::connect(&server, &PeerServer::clientClosed, &bridge, &ClipboardBridge::end);
    QObject::connect(&server, &PeerServer::frameReceived, &bridge, &ClipboardBridge::receive);
    QObject::connect(&bridge, &ClipboardBridge::frameReady, &server, &PeerServer::send);

    SignalWatcher signalWatcher({SIGINT, SIGTERM});
    QObject::connect(&signalWatcher, &SignalWatcher::caught, [&log](int) {
        log.line(QStringLiteral("Arresto"));
        QGuiApplication::quit();
    });
    announce(log, server, identity.value());
    announcePairing(log, server, options);
    return QGuiApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    ignoreBrokenPipes();
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    Result<PeerOptions> parsed = parsePeerOptions(arguments);
    if (const auto exitCode = finishWithoutServing(parsed)) return *exitCode;
    if (!hasGraphicalSession()) return exitNoClipboard;

    // The clipboard is reached on connections of its own (Wayland data-control, or X11), not
    // through Qt's platform: the companion shows no window, and a display server that goes
    // is reported and ends it cleanly instead of aborting inside Qt.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    returnLargeBlocksToSystem();
    const QtMessageHandler previousHandler = qInstallMessageHandler(failWhenPlatformCannotStart);
    QGuiApplication app(argc, argv);
    qInstallMessageHandler(previousHandler);
    QGuiApplication::setQuitOnLastWindowClosed(false);
    installPlatformTranslation(app);
    std::variant<ClipboardBackend, int> reached = reachClipboard();
    if (const int* status = std::get_if<int>(&reached)) return *status;
    const ClipboardBackend& clipboard = std::get<ClipboardBackend>(reached);
    return serve(parsed.value(), *clipboard.pasteboard, clipboardNotice(clipboard));
}
