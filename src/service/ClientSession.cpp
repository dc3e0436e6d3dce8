// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "service/ClientSession.h"

#include <QPointer>

#include "platform/net/SelfSignedCertificate.h"
#include "protocol/FrameCodec.h"
#include "protocol/Limits.h"
#include "protocol/Message.h"
#include "protocol/SessionNotice.h"

namespace clipwren {

ClientSession::ClientSession(ConnectionFactory connectionFactory, QObject* parent)
    : QObject(parent), m_connectionFactory(std::move(connectionFactory)) {
    setAcceptanceDelay(std::make_unique<TimerDelay>());
}

ClientSession::~ClientSession() = default;

void ClientSession::setAcceptanceDelay(std::unique_ptr<Delay> delay) {
    m_acceptance = std::move(delay);
    connect(m_acceptance.get(), &Delay::elapsed, this, &ClientSession::accepted);
}

void ClientSession::open(const QString& address) {
    m_connection = m_connectionFactory(address, peerPort);
    const quint64 generation = ++m_generation;
    m_ready = false;
    m_broken = false;
    connect(m_connection.get(), &Connection::stateChanged, this,
            [this, generation](Connection::State state, const QString& error) {
                onMain([this, generation, state, error] { reported(generation, state, error); });
            });
    m_connection->start();
}

void ClientSession::close() {
    m_acceptance->stop();
    if (m_connection) m_connection.release()->cancel();  // it reports cancelled, then goes
    m_ready = false;
    m_buffer = QByteArray();
}

QString ClientSession::peerFingerprint() const {
    return m_connection ? fingerprintText(m_connection->peerCertificateDigest()) : QString();
}

void ClientSession::greet(const QString& code, const QString& deviceID) {
    m_acceptance->start(acceptanceGraceMs);
    if (const auto hello = helloMessage(code, deviceID).toOutgoing()) send(*hello);
    receive();
}

bool ClientSession::isCurrent(quint64 generation) const {
    return m_connection && generation == m_generation;
}

void ClientSession::onMain(std::function<void()> task) {
    // Queued with the session as context: a task whose session is gone never runs.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void ClientSession::reported(quint64 generation, Connection::State state, const QString& error) {
    if (state == Connection::State::Cancelled) {
        if (!m_connection || generation == m_generation) Q_EMIT cancelled();
        return;
    }
    // A connection replaced since it reported has nothing more to say.
    if (!isCurrent(generation)) return;
    switch (state) {
        case Connection::State::Waiting:
            Q_EMIT waiting(error);
            break;
        case Connection::State::Failed:
            Q_EMIT failed(error);
            break;
        case Connection::State::Ready:
            m_ready = true;
            Q_EMIT ready();
            break;
        case Connection::State::Setup:
        case Connection::State::Preparing:
        case Connection::State::Cancelled:  // handled above
            break;
    }
}

void ClientSession::send(const OutgoingBytes& frame) {
    if (!m_connection) return;
    const quint64 generation = m_generation;
    m_connection->send(frame, [self = QPointer(this), generation](Result<void> sent) {
        if (!self || sent) return;
        self->onMain([self, generation, error = sent.error()] {
            if (self->isCurrent(generation)) Q_EMIT self->sendFailed(error);
        });
    });
}

void ClientSession::receive() {
    if (!m_connection) return;
    const quint64 generation = m_generation;
    // Each read takes what has arrived, up to one slice.
    m_connection->receive(1, socketReadSlice,
                          [self = QPointer(this), generation](Connection::Received chunk) {
                              if (!self) return;
                              self->onMain([self, generation, chunk = std::move(chunk)] {
                                  self->received(generation, chunk);
                              });
                          });
}

void ClientSession::received(quint64 generation, Connection::Received chunk) {
    // Bytes of an earlier stream must never reach this connection's buffer.
    if (!isCurrent(generation)) return;
    m_buffer.append(chunk.bytes);
    // Whoever hears a frame may close the session, which empties the buffer: cutting stops.
    if (cutFrames(m_buffer, [this](const QByteArray& body) { hand(body); }) == CutResult::Corrupt) {
        Q_EMIT corrupt();
        return;
    }
    // A notice in the chunk may have ended the session (a refusal).
    if (!isCurrent(generation)) return;
    if (!chunk.status) {
        m_broken = true;
        Q_EMIT readFailed(chunk.status.error());
    } else if (chunk.isComplete) {
        Q_EMIT peerClosed();
    } else {
        receive();
    }
}

void ClientSession::hand(const QByteArray& body) {
    const auto notice = readNotice(body);
    if (!notice) {
        Q_EMIT bodyReceived(body);
        return;
    }
    switch (*notice) {
        case SessionNotice::Accepted:
            m_acceptance->stop();
            Q_EMIT accepted();
            break;
        case SessionNotice::WrongCode:
            Q_EMIT codeRefused();
            break;
        case SessionNotice::TooManyStrangers:
            Q_EMIT busy();
            break;
    }
}

}  // namespace clipwren
