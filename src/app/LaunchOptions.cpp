// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "LaunchOptions.h"

#include <QCommandLineParser>

namespace clipwren {

namespace {
const QString connectName = QStringLiteral("connect");
const QString printStatusName = QStringLiteral("print-status");
}  // namespace

void describeLaunchOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Clipwren+: tiene gli appunti di questo computer allineati con quelli "
                       "del Linux dove gira clipwren-peer, su una connessione TLS."));
    // Qt's own help option describes itself in English and adds Qt's options in English too.
    parser.addOption(
        QCommandLineOption({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
                           QStringLiteral("Mostra questo aiuto ed esce.")));
    QCommandLineOption helpAll(QStringLiteral("help-all"),
                               QStringLiteral("Mostra questo aiuto ed esce."));
    helpAll.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(helpAll);
    parser.addOption(QCommandLineOption(
        connectName, QStringLiteral("All'avvio si connette, come con \"Connetti\", se l'IP Linux e "
                                    "il codice pairing sono salvati.")));
    parser.addOption(QCommandLineOption(
        printStatusName,
        QStringLiteral("Scrive su standard output il testo di stato all'avvio e poi ogni nuovo "
                       "testo di stato, una riga ciascuno, subito (per script e test).")));
}

LaunchOptions readLaunchOptions(const QCommandLineParser& parser) {
    return {.connect = parser.isSet(connectName), .printStatus = parser.isSet(printStatusName)};
}

}  // namespace clipwren
