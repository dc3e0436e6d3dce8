// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

#include "clipboard/ChangeWatcher.h"
#include "clipboard/InboundApply.h"
#include "protocol/ClipMessageReader.h"

namespace clipwren {

class Pasteboard;

// This machine's side of the sync, the same in both programs: while a session runs, every
// new clipboard content leaves as a clip message, and every clip message that passes the
// checks lands on the clipboard. One digest of the last content sent, received or present
// when the session began keeps a content from going back where it came from.
class ClipboardBridge : public QObject {
    Q_OBJECT

public:
    static constexpr int pollIntervalMs = 450;
    // The pairing code as it is now: read for every message built and checked.
    using TokenSource = std::function<QString()>;

    ClipboardBridge(Pasteboard& pasteboard, TokenSource token, QString deviceID,
                    QObject* parent = nullptr);

    const QString& deviceID() const { return m_deviceID; }
    const std::optional<QByteArray>& lastDigest() const { return m_lastDigest; }
    bool isWatching() const { return m_watching; }

    // A session has begun: what is on the clipboard now is known, not sent; what comes next
    // is, at once on a change and at the latest at the next tick.
    void begin();
    // The session is over: nothing more is looked at or sent.
    void end();
    // One frame body from the other side.
    void receive(const QByteArray& body);
    // One look at the clipboard.
    void poll();

Q_SIGNALS:
    void frameReady(const QByteArray& frame);
    void sent(const QString& kind, qsizetype size);
    // A new content over the size limit: not sent, reported once.
    void tooLarge(const QString& kind, qsizetype size);
    // A new content marked by a password manager: never sent, reported once.
    void secretKept(const QString& kind, qsizetype size);
    // Only once the content is on the clipboard.
    void applied(const QString& kind, qsizetype size);
    // A valid clip message whose content this side already had: sent by it, or received.
    void alreadyKnown(const QString& kind, qsizetype size);
    void fileStored(const QString& path);
    void fileNotStored(const QString& error);

private:
    Pasteboard& m_pasteboard;
    TokenSource m_token;
    QString m_deviceID;
    std::optional<QByteArray> m_lastDigest;
    ChangeWatcher m_watcher;
    std::optional<RenamedFile> m_renamed;
    ClipMessageReader m_reader;
    QTimer m_timer{this};  // a child, so it can be found while it runs
    bool m_watching = false;
};

}  // namespace clipwren
