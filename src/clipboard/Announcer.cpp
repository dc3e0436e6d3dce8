// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/Announcer.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QUrl>

#include "clipboard/ClipboardBridge.h"
#include "platform/Notifier.h"

namespace clipwren {

namespace {

QString quoted(const QString& name) {
    return u'\u00ab' + name + u'\u00bb';
}

// Whole units without a decimal: "12 MiB", not "12,0 MiB".
QString inUnits(qint64 bytes, qint64 unit, const QString& name) {
    const QLocale italian(QLocale::Italian);
    const QString number = bytes % unit == 0 ? italian.toString(bytes / unit)
                                             : italian.toString(double(bytes) / unit, 'f', 1);
    return number + u' ' + name;
}

// What was copied; the other side may name a kind this side does not know.
QString copiedContent(const NotSent& notSent) {
    const auto kind = contentKindFrom(notSent.content.toUtf8());
    if (kind == ContentKind::File) return QStringLiteral("il file ") + quoted(notSent.name);
    if (kind == ContentKind::Image) return QStringLiteral("l'immagine copiata");
    if (kind == ContentKind::Text) return QStringLiteral("il testo copiato");
    return QStringLiteral("il contenuto copiato");
}

QString tooLarge(const NotSent& notSent) {
    const QString limit = sizeText(notSent.limit);
    const QString what = copiedContent(notSent);
    // A backend that stops reading one byte past the limit knows no more than that.
    if (notSent.size <= notSent.limit + 1) {
        return what + QStringLiteral(" supera il massimo di ") + limit;
    }
    return what + QStringLiteral(" è di ") + sizeText(notSent.size) +
           QStringLiteral(", oltre il massimo di ") + limit;
}

// The sentence after "Non inviato: ", on either side.
QString reasonText(const NotSent& notSent) {
    switch (notSent.reason) {
        case NotSent::Reason::TooLarge:
            return tooLarge(notSent);
        case NotSent::Reason::Folder:
            return quoted(notSent.name) +
                   QStringLiteral(" è una cartella, e le cartelle non passano");
        case NotSent::Reason::SeveralFiles:
            return QStringLiteral("%1 file copiati insieme: passa un file alla volta, ")
                       .arg(notSent.count) +
                   (notSent.name.isEmpty()
                        ? QStringLiteral("e il primo non può passare")
                        : QStringLiteral("e passa solo il primo, ") + quoted(notSent.name));
        case NotSent::Reason::UnknownKind:
            break;
    }
    return QStringLiteral("il contenuto copiato (") + notSent.content +
           QStringLiteral(") non è un testo, un'immagine o un file");
}

// Of several files, the first may have crossed.
bool crossedInPart(const NotSent& notSent) {
    return notSent.reason == NotSent::Reason::SeveralFiles && !notSent.name.isEmpty();
}

QString hereTitle(const NotSent& notSent) {
    return crossedInPart(notSent) ? QStringLiteral("Inviato in parte")
                                  : QStringLiteral("Non inviato");
}

QString thereTitle(const NotSent& notSent) {
    return crossedInPart(notSent) ? QStringLiteral("Arrivato in parte dall'altro computer")
                                  : QStringLiteral("Non arrivato dall'altro computer");
}

QString thereBody(const NotSent& notSent) {
    const QString reason = reasonText(notSent);
    return crossedInPart(notSent) ? reason
                                  : reason + QStringLiteral(". Qui gli appunti restano come prima");
}

}  // namespace

QString sizeText(qint64 bytes) {
    constexpr qint64 kib = 1024, mib = 1024 * 1024;
    if (bytes < kib) return QStringLiteral("%1 byte").arg(bytes);
    if (bytes < mib) return inUnits(bytes, kib, QStringLiteral("KiB"));
    return inUnits(bytes, mib, QStringLiteral("MiB"));
}

QString notSentHere(const NotSent& notSent) {
    return hereTitle(notSent) + QStringLiteral(": ") + reasonText(notSent);
}

QString notSentThere(const NotSent& notSent) {
    return thereTitle(notSent) + QStringLiteral(": ") + thereBody(notSent);
}

void openInFileManager(const QString& folder) {
    // Without a desktop platform of its own (the companion's), Qt cannot open it; xdg-open can.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
        QProcess::startDetached(QStringLiteral("xdg-open"), {folder});
    }
}

Announcer::Announcer(const ClipboardBridge& bridge, Notifier& notifier,
                     std::function<bool()> announcesFiles, QObject* parent)
    : QObject(parent), m_notifier(notifier), m_announcesFiles(std::move(announcesFiles)) {
    connect(&bridge, &ClipboardBridge::notSent, this, [this](const NotSent& notSent) {
        m_notifier.notify({hereTitle(notSent), reasonText(notSent), {}, {}});
    });
    connect(&bridge, &ClipboardBridge::otherSideNotSent, this, [this](const NotSent& notSent) {
        m_notifier.notify({thereTitle(notSent), thereBody(notSent), {}, {}});
    });
    connect(&bridge, &ClipboardBridge::fileStored, this, &Announcer::announceFile);
}

void Announcer::announceFile(const QString& path) {
    if (!m_announcesFiles()) return;
    const QFileInfo file(path);
    const QString folder = file.path();
    m_notifier.notify({QStringLiteral("File ricevuto"),
                       quoted(file.fileName()) + QStringLiteral(" (") + sizeText(file.size()) +
                           QStringLiteral(") è negli appunti, pronto da incollare"),
                       QStringLiteral("Apri cartella"), [folder] { openInFileManager(folder); }});
}

}  // namespace clipwren
