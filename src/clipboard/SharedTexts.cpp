// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/SharedTexts.h"

#include <cerrno>
#include <cstring>

namespace clipwren {

QString systemErrorText(int error) {
    // The C library's Italian words, whatever language the session is in: the status line
    // around them is Italian.
    switch (error) {
        case ENOSPC:
            return QStringLiteral("Spazio esaurito sul device");
        case EDQUOT:
            return QStringLiteral("Quota del disco superata");
        case EACCES:
            return QStringLiteral("Permesso negato");
        case EPERM:
            return QStringLiteral("Operazione non permessa");
        case EROFS:
            return QStringLiteral("File system in sola lettura");
        case ENOENT:
            return QStringLiteral("File o directory non esistente");
        case ENOTDIR:
            return QStringLiteral("Non è una directory");
        case EEXIST:
            return QStringLiteral("Il file esiste");
        case ENAMETOOLONG:
            return QStringLiteral("Nome file troppo lungo");
        case EIO:
            return QStringLiteral("Errore di input/output");
        case EFBIG:
            return QStringLiteral("File troppo grande");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString clipboardLossText(Pasteboard::Loss loss, int error) {
    switch (loss) {
        case Pasteboard::Loss::DisplayServerGone:
            return QStringLiteral("connessione al server X perduta");
        case Pasteboard::Loss::CompositorGone:
            return QStringLiteral("connessione al compositore Wayland perduta") +
                   (error != 0
                        ? QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(error)) + u')'
                        : QString());
        case Pasteboard::Loss::AccessWithdrawn:
            return QStringLiteral("il compositore Wayland ha ritirato l'accesso agli appunti");
    }
    return QString();
}

QString waylandUnreachedText(const ClipboardBackend& clipboard) {
    if (clipboard.reach != ClipboardReach::WaylandUnreached) return QString();
    switch (CompositorFault(clipboard.unreached.code)) {
        case CompositorFault::Unreachable:
            // The reason is the system's own text.
            return QStringLiteral("non raggiungo il compositore Wayland: ") +
                   clipboard.unreached.reason;
        case CompositorFault::Silent:
            return QStringLiteral("il compositore Wayland non risponde");
        case CompositorFault::NoSeat:
            return QStringLiteral("il compositore Wayland non ha un seat");
        case CompositorFault::NoDataControl:
            break;  // never unreached: the clipboard is Xwayland's then
    }
    return QString();
}

}  // namespace clipwren
