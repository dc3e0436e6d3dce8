// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "platform/Delay.h"
#include "platform/net/Connection.h"

namespace clipwren {

// The tray program's end of one connection to the companion at a time: it opens and cancels
// the connection, greets the companion, reads slice by slice, cuts the frames and tells the
// companion's notices from clip messages. It decides nothing: what it hears goes up as
// signals, and only from the current connection; a replaced one's late reports and
// completions are dropped here. Its signals come on the main thread, each from a queued task
// that never runs once the session is gone.
class ClientSession : public QObject {
    Q_OBJECT

public:
    // A companion that does not say it took the code (an older one) is taken to have taken it
    // once the connection has stayed open this long; ours says so at once.
    static constexpr int acceptanceGraceMs = 2000;

    explicit ClientSession(ConnectionFactory connectionFactory, QObject* parent = nullptr);
    ~ClientSession() override;

    // The grace an older companion gets to take the code; a timer unless replaced.
    void setAcceptanceDelay(std::unique_ptr<Delay> delay);

    // A connection to address, in place of the one before, which must have been closed.
    void open(const QString& address);
    // Cancels the connection, if any, with what arrived of it and was not yet a whole frame.
    void close();
    bool isOpen() const { return m_connection != nullptr; }
    // The current connection has reported ready.
    bool isReady() const { return m_ready; }
    // The current connection's stream ended with a read error.
    bool isBroken() const { return m_broken; }
    // The SHA-256 fingerprint of the certificate the peer presented, as the peer prints it.
    QString peerFingerprint() const;
    // Sends the hello, which carries the code, before anything else is read; accepted follows
    // when the companion says it took the code, or once the grace has run out.
    void greet(const QString& code, const QString& deviceID);
    // Queues a frame; a failure comes back as sendFailed.
    void send(const OutgoingBytes& frame);

    const QByteArray& receiveBuffer() const { return m_buffer; }

Q_SIGNALS:
    // The current connection's reports. cancelled comes only while no newer connection is
    // open, so that a late one never marks the newer one disconnected.
    void waiting(const QString& error);
    void failed(const QString& error);
    void ready();
    void cancelled();
    // The companion's notices: it took the code, refused it, or had no room for a stranger.
    void accepted();
    void codeRefused();
    void busy();
    // A frame that holds no notice: a clip message, or something the bridge passes over.
    void bodyReceived(const QByteArray& body);
    void sendFailed(const QString& error);
    void peerClosed();
    void readFailed(const QString& error);
    // A frame length no companion sends: nothing after it can be cut.
    void corrupt();

private:
    bool isCurrent(quint64 generation) const;
    void onMain(std::function<void()> task);
    void reported(quint64 generation, Connection::State state, const QString& error);
    void receive();
    void received(quint64 generation, Connection::Received chunk);
    void hand(const QByteArray& body);

    ConnectionFactory m_connectionFactory;
    std::unique_ptr<Delay> m_acceptance;
    std::unique_ptr<Connection> m_connection;
    QByteArray m_buffer;
    // Tells a connection's late reports and completions from the current connection's.
    quint64 m_generation = 0;
    bool m_ready = false;
    bool m_broken = false;
};

}  // namespace clipwren
