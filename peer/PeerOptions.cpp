// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "PeerOptions.h"

#include <QCommandLineParser>
#include <QFile>

#include "protocol/PairingCode.h"

namespace clipwren::peer {

namespace {

// The first line of a file, the code in it.
Result<QString> readFirstLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Failure{QStringLiteral("non riesco a leggere ") + path + QStringLiteral(": ") +
                       file.errorString()};
    }
    return QString::fromUtf8(file.readLine());
}

Result<QString> codeText(PeerOptions& options, const CodeInput& readCode,
                         const QString& savedFile) {
    if (options.tokenGiven) return options.token;
    // A code saved for the systemd unit serves a companion started by hand too.
    if (options.tokenFile.isEmpty() && !options.saveToken && QFile::exists(savedFile))
        options.tokenFile = savedFile;
    if (!options.tokenFile.isEmpty()) return readFirstLine(options.tokenFile);
    const auto line = readCode();
    if (!line) return Failure{QStringLiteral("nessun codice pairing in ingresso")};
    return *line;
}

}  // namespace

QString peerUsage() {
    return QStringLiteral(
               "Uso: clipwren-peer [--token CODICE | --token-file FILE] [--listen INDIRIZZO]\n"
               "                   [--port PORTA] [--quiet] [--no-file-notifications]\n"
               "     clipwren-peer --save-token\n"
               "\n"
               "Tiene gli appunti di questo Linux allineati con quelli del computer dove gira\n"
               "Clipwren+.\n"
               "\n"
               "Opzioni:\n"
               "  --token CODICE      il codice pairing (da %1 a %2 caratteri, senza spazi)\n"
               "  --token-file FILE   legge il codice pairing dalla prima riga di FILE\n"
               "                      (senza nessuno dei due: il codice salvato da --save-token,\n"
               "                      se c'\u00e8, altrimenti quello scritto nell'input)\n"
               "  --listen INDIRIZZO  ascolta solo su questo indirizzo (predefinito: tutti)\n"
               "  --port PORTA        porta TCP (predefinita: %3)\n"
               "  --quiet             non scrive nulla sugli eventi\n"
               "  --no-file-notifications\n"
               "                      nessuna notifica per i file ricevuti (quello che non\n"
               "                      passa si notifica sempre)\n"
               "  --save-token        legge il codice pairing dall'input e lo salva, leggibile\n"
               "                      solo dall'utente, in ~/.config/ClipwrenPlus/peer-token,\n"
               "                      dove lo legge il servizio systemd; poi esce\n"
               "  --help              mostra questo aiuto\n")
        .arg(pairing::minimumLength)
        .arg(pairing::maximumLength)
        .arg(peerPort);
}

Result<PeerOptions> parsePeerOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption token(QStringLiteral("token"), QString(), QStringLiteral("code"));
    const QCommandLineOption tokenFile(QStringLiteral("token-file"), QString(),
                                       QStringLiteral("file"));
    const QCommandLineOption listen(QStringLiteral("listen"), QString(), QStringLiteral("address"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("port"));
    const QCommandLineOption quiet(QStringLiteral("quiet"));
    const QCommandLineOption noFileNotifications(QStringLiteral("no-file-notifications"));
    const QCommandLineOption saveToken(QStringLiteral("save-token"));
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    parser.addOptions(
        {token, tokenFile, listen, port, quiet, noFileNotifications, saveToken, help});
    if (!parser.parse(arguments)) return Failure{parser.errorText()};
    PeerOptions options;
    if (parser.isSet(help)) {
        options.help = true;
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Failure{QStringLiteral("argomento inatteso: ") + parser.positionalArguments()[0]};
    }

    options.quiet = parser.isSet(quiet);
    options.announcesFiles = !parser.isSet(noFileNotifications);
    options.saveToken = parser.isSet(saveToken);
    if (options.saveToken && (parser.isSet(token) || parser.isSet(tokenFile))) {
        // The point of saving is a code that never shows in the process list.
        return Failure{QStringLiteral("--save-token legge il codice solo dall'input")};
    }
    if (parser.isSet(listen) && !options.listenAddress.setAddress(parser.value(listen))) {
        return Failure{QStringLiteral("indirizzo non valido: ") + parser.value(listen)};
    }
    if (parser.isSet(port)) {
        bool ok = false;
        const uint value = parser.value(port).toUInt(&ok);
        if (!ok || value > 65535) {
            return Failure{QStringLiteral("porta non valida: ") + parser.value(port)};
        }
        options.port = quint16(value);
    }

    if (parser.isSet(token) && parser.isSet(tokenFile)) {
        return Failure{QStringLiteral("usa --token oppure --token-file, non entrambi")};
    }
    options.tokenGiven = parser.isSet(token);
    options.token = parser.value(token);
    options.tokenFile = parser.value(tokenFile);
    return options;
}

Result<void> readPeerCode(PeerOptions& options, const CodeInput& readCode,
                          const QString& savedFile) {
    const Result<QString> text = codeText(options, readCode, savedFile);
    if (!text) return Failure{text.error()};
    // Blanks around a pasted code, the line ending included, are no part of it.
    options.token = text.value().trimmed();
    switch (pairing::faultOf(options.token)) {
        case pairing::Fault::None:
            return {};
        case pairing::Fault::BlankInside:
            return Failure{QStringLiteral("il codice pairing non pu\u00f2 contenere spazi")};
        case pairing::Fault::TooShort:
        case pairing::Fault::TooLong:
            break;
    }
    return Failure{QStringLiteral("il codice pairing deve avere da %1 a %2 caratteri")
                       .arg(pairing::minimumLength)
                       .arg(pairing::maximumLength)};
}

}  // namespace clipwren::peer
