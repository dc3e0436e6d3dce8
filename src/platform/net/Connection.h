// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "platform/Result.h"
#include "platform/net/OutgoingBytes.h"

namespace clipwren {

// The most a TLS socket holds decrypted and unread, and the most one read takes. Below the size
// that gets a mapping of its own (returnLargeBlocksToSystem), so every read reuses warm heap
// memory and no event decrypts and copies more than this. Further bytes wait in the kernel: a
// peer that sends faster than frames are applied is held back by TCP.
inline constexpr qint64 socketReadSlice = 256 << 10;

// One outbound byte stream to the peer. Reports its states, sends whole frames with a
// completion and delivers reads one at a time. Everything it reports happens on the thread
// that owns it.
class Connection : public QObject {
    Q_OBJECT

public:
    enum class State { Setup, Preparing, Waiting, Ready, Failed, Cancelled };

    struct Received {
        QByteArray bytes;
        bool isComplete = false;  // the peer has closed its side: nothing more will come
        Result<void> status;      // failed: the read failed, and why
    };

    using SendCompletion = std::function<void(Result<void> sent)>;
    using ReceiveCompletion = std::function<void(Received)>;

    using QObject::QObject;

    virtual void start() = 0;
    // Queues bytes for sending, in call order; done is called once.
    virtual void send(OutgoingBytes bytes, SendCompletion done) = 0;
    // Asks for the next min to max bytes; done is called once. One read at a time.
    virtual void receive(qsizetype min, qsizetype max, ReceiveCompletion done) = 0;
    // SHA-256 of the certificate the peer presented (DER); empty before Ready.
    virtual QByteArray peerCertificateDigest() const = 0;

    // Stops everything. The only report after it is Cancelled, after which the connection
    // deletes itself: whoever cancels it lets go of it.
    void cancel();

Q_SIGNALS:
    // error is the human-readable reason for Waiting and Failed, empty otherwise.
    void stateChanged(clipwren::Connection::State state, const QString& error);

protected:
    // Drops the transport and every pending completion; emits nothing.
    virtual void abandon() = 0;
};

// Opens connections to a peer: TLS in the program, fakes or loopback servers in tests.
using ConnectionFactory =
    std::function<std::unique_ptr<Connection>(const QString& host, quint16 port)>;

}  // namespace clipwren
