// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

#include "clipboard/ChangeWatcher.h"
#include "clipboard/InboundApply.h"
#include "protocol/ClipMessageReader.h"

namespace clipwren {
class Pasteboard;
}

namespace clipwren::peer {

// This machine's side of the bridge, the way the tray program runs its own: while a client
// is admitted, every new clipboard content leaves as a clip message, and every clip message
// that passes the checks lands on the clipboard. One digest of the last content sent,
// received or found at admission keeps a content from going back where it came from.
class ClipboardMirror : public QObject {
    Q_OBJECT

public:
    static constexpr int pollIntervalMs = 450;

    ClipboardMirror(QString token, Pasteboard& pasteboard, QObject* parent = nullptr);

    const QString& deviceID() const { return m_deviceID; }
    bool isWatching() const { return m_watching; }

    // A client has been admitted: what is on the clipboard now is not sent, what comes next is.
    void begin();
    // No client any more: nothing to send to.
    void end();
    // One frame body from the admitted client.
    void receive(const QByteArray& body);
    // One tick of the watcher.
    void poll();

Q_SIGNALS:
    void frameReady(const QByteArray& frame);
    void sent(const QString& kind, qsizetype size);
    // A new content over the size limit: not sent, reported once.
    void tooLarge(const QString& kind, qsizetype size);
    // A new content marked by a password manager: never sent, reported once.
    void secretKept(const QString& kind, qsizetype size);
    void applied(const QString& kind, qsizetype size);
    // A valid clip message whose content this side already had: sent by it, or received.
    void alreadyKnown(const QString& kind, qsizetype size);
    void fileStored(const QString& path);
    void fileNotStored(const QString& error);

private:
    QString m_token;
    QString m_deviceID;
    Pasteboard& m_pasteboard;
    std::optional<QByteArray> m_lastDigest;
    ChangeWatcher m_watcher;
    std::optional<RenamedFile> m_renamed;
    ClipMessageReader m_reader;
    QTimer m_timer{this};  // a child, so it can be found while it runs
    bool m_watching = false;
};

}  // namespace clipwren::peer
