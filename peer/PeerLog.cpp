// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "PeerLog.h"

#include "PeerServer.h"
#include "clipboard/Announcer.h"
#include "clipboard/ClipboardBridge.h"

namespace clipwren::peer {

namespace {
// The kinds in the words of the log's reader.
QString kindName(ContentKind kind) {
    switch (kind) {
        case ContentKind::File:
            return QStringLiteral("file");
        case ContentKind::Image:
            return QStringLiteral("immagine");
        case ContentKind::Text:
            return QStringLiteral("testo");
    }
    return QString();
}

QString sized(ContentKind kind, qsizetype size) {
    return kindName(kind) + QStringLiteral(", ") + QString::number(size) + QStringLiteral(" byte");
}
}  // namespace

PeerLog::PeerLog(bool quiet, std::FILE* out, QObject* parent)
    : QObject(parent), m_quiet(quiet), m_out(out) {}

void PeerLog::line(const QString& text) {
    if (m_quiet) return;
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
    std::fflush(m_out);
}

void PeerLog::watch(const PeerServer& server) {
    connect(&server, &PeerServer::connected, this,
            [this](const QString& who) { line(QStringLiteral("Connessione da ") + who); });
    connect(&server, &PeerServer::authenticated, this, [this](const QString& who) {
        line(QStringLiteral("Autenticata ") + who + QStringLiteral(": sincronizzazione attiva"));
    });
    connect(&server, &PeerServer::rejected, this, [this](const QString& who, const QString& why) {
        line(QStringLiteral("Rifiutata ") + who + QStringLiteral(": ") + why);
    });
    connect(&server, &PeerServer::replaced, this, [this](const QString& who) {
        line(QStringLiteral("Sostituita ") + who + QStringLiteral(" da una connessione nuova"));
    });
    connect(&server, &PeerServer::clientClosed, this,
            [this](const QString& who) { line(QStringLiteral("Chiusa ") + who); });
    connect(&server, &PeerServer::strangerLeft, this, [this](const QString& who) {
        line(QStringLiteral("Chiusa ") + who + QStringLiteral(" senza codice"));
    });
}

void PeerLog::watch(const ClipboardBridge& bridge) {
    connect(&bridge, &ClipboardBridge::sent, this, [this](ContentKind kind, qsizetype size) {
        line(QStringLiteral("Inviato: ") + sized(kind, size));
    });
    connect(&bridge, &ClipboardBridge::notSent, this,
            [this](const NotSent& notSent) { line(notSentHere(notSent)); });
    connect(&bridge, &ClipboardBridge::otherSideNotSent, this,
            [this](const NotSent& notSent) { line(notSentThere(notSent)); });
    connect(&bridge, &ClipboardBridge::secretKept, this, [this](ContentKind kind, qsizetype size) {
        line(QStringLiteral("Password non inviata: copiata da un gestore di password (") +
             sized(kind, size) + QStringLiteral(")"));
    });
    connect(&bridge, &ClipboardBridge::applied, this, [this](ContentKind kind, qsizetype size) {
        line(QStringLiteral("Applicato: ") + sized(kind, size));
    });
    connect(&bridge, &ClipboardBridge::alreadyKnown, this,
            [this](ContentKind kind, qsizetype size) {
                line(QStringLiteral("Già presente, ignorato: ") + sized(kind, size));
            });
    connect(&bridge, &ClipboardBridge::fileStored, this,
            [this](const QString& path) { line(QStringLiteral("File salvato: ") + path); });
    connect(&bridge, &ClipboardBridge::fileNotStored, this, [this](const QString& error) {
        line(QStringLiteral("Non riesco a salvare il file ricevuto: ") + error);
    });
}

}  // namespace clipwren::peer
