// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "PeerOptions.h"

#include <QCommandLineParser>
#include <QFile>

#include "protocol/PairingCode.h"

namespace clipwren::peer {

namespace {

QString withoutLineEnding(QString text) {
    while (text.endsWith(u'\n') || text.endsWith(u'\r')) text.chop(1);
    return text;
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
        "  --token CODICE      il codice pairing (da 16 a 1024 caratteri)\n"
        "  --token-file FILE   legge il codice pairing dalla prima riga di FILE\n"
        "                      (senza nessuno dei due, il codice si legge dall'input)\n"
        "  --listen INDIRIZZO  ascolta solo su questo indirizzo (predefinito: tutti)\n"
        "  --port PORTA        porta TCP (predefinita: 47832)\n"
        "  --quiet             non scrive nulla sugli eventi\n"
        "  --no-file-notifications\n"
        "                      nessuna notifica per i file ricevuti (quello che non\n"
        "                      passa si notifica sempre)\n"
        "  --save-token        legge il codice pairing dall'input e lo salva, leggibile\n"
        "                      solo dall'utente, in ~/.config/ClipwrenPlus/peer-token,\n"
        "                      dove lo legge il servizio systemd; poi esce\n"
        "  --help              mostra questo aiuto\n");
}

Result<PeerOptions> parsePeerOptions(const QStringList& arguments, const CodeInput& readCode) {
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
    if (parser.isSet(token)) {
        options.token = parser.value(token);
    } else if (parser.isSet(tokenFile)) {
        QFile file(parser.value(tokenFile));
        if (!file.open(QIODevice::ReadOnly)) {
            return Failure{QStringLiteral("non riesco a leggere ") + file.fileName() +
                           QStringLiteral(": ") + file.errorString()};
        }
        options.token = withoutLineEnding(QString::fromUtf8(file.readLine()));
    } else {
        const auto line = readCode();
        if (!line) return Failure{QStringLiteral("nessun codice pairing in ingresso")};
        options.token = withoutLineEnding(*line);
    }
    if (!pairing::isLongEnough(options.token) || pairing::isTooLong(options.token)) {
        return Failure{QStringLiteral("il codice pairing deve avere da %1 a %2 caratteri")
                           .arg(pairing::minimumLength)
                           .arg(pairing::maximumLength)};
    }
    return options;
}

}  // namespace clipwren::peer
