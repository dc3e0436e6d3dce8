// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <optional>

class QThread;

namespace clipwren {

// The content this side knows the other side has: the digest of the last content sent,
// received or present when the session began, so that it does not go back where it came
// from. A received file stored under another name than the one it came with (a name with
// folders, "..", too long) sits on the clipboard with another digest than its message had:
// lastDigest takes the digest of what the clipboard shows, so that it is not sent back, and
// the message's digest is kept beside it, so that a repeat of that message is still known.
//
// It changes only on the thread that made it (the main thread), one step at a time, together
// with the clipboard: work done elsewhere brings its results back there.
class KnownContent {
public:
    KnownContent();

    const std::optional<QByteArray>& lastDigest() const { return m_lastDigest; }

    // Whether the content of that digest is known: the last one, or the message of the
    // renamed file the clipboard still shows. Records nothing.
    bool knows(const QByteArray& digest) const;
    // A received content: known from now on, unless it was already (then false).
    bool recordReceived(const QByteArray& digest);
    // The received file of receivedDigest is offered under another name, as storedDigest.
    void recordRenamed(const QByteArray& receivedDigest, const QByteArray& storedDigest);
    // A content found on the clipboard: a new one (sent, or named as not crossing), or the
    // one there when the session began.
    void recordFound(QByteArray digest);

private:
    void assertOwnThread() const;

    struct RenamedFile {
        QByteArray receivedDigest;
        QByteArray storedDigest;
    };

    QThread* m_thread;
    std::optional<QByteArray> m_lastDigest;
    std::optional<RenamedFile> m_renamed;
};

}  // namespace clipwren
