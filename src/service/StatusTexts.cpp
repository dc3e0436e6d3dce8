// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "service/StatusTexts.h"

#include "clipboard/SharedTexts.h"
#include "platform/SettingsStore.h"
#include "protocol/PairingCode.h"

namespace clipwren::statusText {

QString idle() {
    return QStringLiteral("Inserisci IP e token per avviare");
}

QString syncing() {
    return QStringLiteral("Connesso \u2022 sincronizzazione attiva");
}

QString paused() {
    return QStringLiteral("Sincronizzazione sospesa");
}

QString connecting(const QString& address) {
    return QStringLiteral("Connessione a ") + address + QChar(0x2026);
}

QString waiting(const QString& reason) {
    return QStringLiteral("In attesa: ") + reason;
}

QString retrying(const QString& reason, int secondsLeft) {
    return waiting(reason) + QStringLiteral(", nuovo tentativo tra ") +
           QString::number(secondsLeft) + QStringLiteral(" s");
}

QString failed(const QString& reason) {
    return QStringLiteral("Connessione fallita: ") + reason;
}

QString interrupted() {
    return QStringLiteral("Connessione interrotta");
}

QString disconnected() {
    return QStringLiteral("Disconnesso");
}

QString invalidInput() {
    return QStringLiteral("Inserisci l'IP Linux e un codice di almeno %1 caratteri")
        .arg(pairing::minimumLength);
}

QString codeFault(pairing::Fault fault) {
    switch (fault) {
        case pairing::Fault::TooLong:
            return QStringLiteral("Codice pairing troppo lungo: al massimo %1 caratteri")
                .arg(pairing::maximumLength);
        case pairing::Fault::BlankInside:
            return QStringLiteral("Il codice pairing non pu\u00f2 contenere spazi");
        case pairing::Fault::None:
        case pairing::Fault::TooShort:
            break;
    }
    return invalidInput();
}

QString tokenCopied() {
    return QStringLiteral("Token copiato: incollalo nel comando su Kubuntu");
}

QString settingsNotSaved() {
    return QStringLiteral("Non riesco a salvare le impostazioni in ") + SettingsStore::fileName();
}

QString certificateChanged() {
    return QStringLiteral("Il certificato del Linux \u00e8 cambiato: verifica l'impronta");
}

QString codeRefused() {
    return QStringLiteral(
        "Il Linux ha rifiutato il codice pairing: controlla che sia quello salvato sul Linux, "
        "poi premi Connetti");
}

QString peerBusy() {
    return QStringLiteral(
        "il Linux \u00e8 occupato da troppe connessioni sconosciute, riprova tra poco");
}

QString peerClosed() {
    return QStringLiteral("il Linux ha chiuso la connessione");
}

QString sendFailed(const QString& error) {
    return QStringLiteral("Invio fallito: ") + error;
}

QString secretKept() {
    return QStringLiteral("Password non inviata: copiata da un gestore di password");
}

QString fileNotStored(const QString& error) {
    return QStringLiteral("Non riesco a salvare il file ricevuto: ") + error;
}

QString clipboardUnreachable(Pasteboard::Loss loss, int error) {
    return QStringLiteral("Appunti non raggiungibili: ") + clipboardLossText(loss, error);
}

}  // namespace clipwren::statusText
