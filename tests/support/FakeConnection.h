// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QCoreApplication>
#include <QList>
#include <QPointer>
#include <QTest>
#include <vector>

#include "clipboard/ClipboardBridge.h"
#include "platform/Delay.h"
#include "platform/clipboard/QtPasteboard.h"
#include "platform/net/Connection.h"
#include "protocol/Message.h"
#include "protocol/SessionNotice.h"
#include "service/SyncService.h"

namespace clipwren::test {

// A connection whose every report and completion the test triggers by hand.
class FakeConnection final : public Connection {
    Q_OBJECT

public:
    void start() override {}
    void send(OutgoingBytes bytes, SendCompletion done) override {
        sent.append(bytes.whole());
        m_sends.push_back(std::move(done));
    }
    void receive(qsizetype, qsizetype max, ReceiveCompletion done) override {
        ++reads;
        lastReadMax = max;
        m_read = std::move(done);
    }
    QByteArray peerCertificateDigest() const override { return certificateDigest; }

    void report(State state, const QString& error = QString()) {
        Q_EMIT stateChanged(state, error);
    }
    void deliver(const QByteArray& bytes, bool isComplete = false, Result<void> status = {}) {
        Q_ASSERT(m_read);
        std::exchange(m_read, nullptr)(Received{bytes, isComplete, std::move(status)});
    }
    void completeSend(Result<void> outcome = {}) {
        Q_ASSERT(!m_sends.empty());
        SendCompletion done = std::move(m_sends.front());
        m_sends.erase(m_sends.begin());
        done(std::move(outcome));
    }
    bool hasPendingRead() const { return m_read != nullptr; }

    bool abandoned = false;
    int reads = 0;
    qsizetype lastReadMax = 0;
    QList<QByteArray> sent;
    QByteArray certificateDigest;

protected:
    void abandon() override {
        abandoned = true;
        m_read = nullptr;
        m_sends.clear();
    }

private:
    ReceiveCompletion m_read;
    std::vector<SendCompletion> m_sends;
};

class FakeNetwork {
public:
    ConnectionFactory factory() {
        return [this](const QString&, quint16) {
            auto connection = std::make_unique<FakeConnection>();
            connection->certificateDigest = certificateDigest;
            made.append(connection.get());
            return connection;
        };
    }
    FakeConnection* last() const { return made.isEmpty() ? nullptr : made.last().data(); }
    QList<QPointer<FakeConnection>> made;
    // What the peer's certificate digest is on the connections made from now on.
    QByteArray certificateDigest;
};

// A wait that never ends by itself: the test sees each one asked for and ends it by hand.
class ManualDelay final : public Delay {
public:
    void start(int) override { m_active = true; }
    void stop() override { m_active = false; }
    bool isActive() const { return m_active; }
    // Ends the wait under way, as its time running out would; nothing when none is.
    void finish() {
        if (std::exchange(m_active, false)) Q_EMIT elapsed();
    }

private:
    bool m_active = false;
};

// A service on Qt's clipboard whose connections go nowhere until a test says so.
struct IdleService {
    FakeNetwork network;
    QtPasteboard pasteboard;
    SyncService service{network.factory(), pasteboard};
};

// A service on a fake connection that has reported ready, as after "Connetti".
struct FakeBridge : IdleService {
    FakeBridge() : retryDelay(new ManualDelay), acceptanceDelay(new ManualDelay) {
        service.setRetryDelay(std::unique_ptr<Delay>(retryDelay));
        service.setAcceptanceDelay(std::unique_ptr<Delay>(acceptanceDelay));
        service.setHost(QStringLiteral("127.0.0.1"));
        service.setToken(QStringLiteral("ABCDEFGHJKLMNPQR"));
    }
    // Starts (again), reports ready and says the code was taken, as the companion does;
    // connection is then the new connection.
    void connect(bool accepted = true) {
        service.start();
        connection = network.last();
        connection->report(Connection::State::Ready);
        QTRY_VERIFY_WITH_TIMEOUT(service.isConnected(), 5000);
        if (accepted) deliver(noticeFrame(SessionNotice::Accepted));
    }
    // Lets every second of the wait under way run out.
    void endWait() {
        while (retryDelay->isActive()) retryDelay->finish();
    }
    static QByteArray noticeFrame(SessionNotice notice) { return *noticeMessage(notice).toFrame(); }
    void deliver(const QByteArray& bytes) {
        QTRY_VERIFY_WITH_TIMEOUT(connection->hasPendingRead(), 5000);
        connection->deliver(bytes);
        QTest::qWait(0);  // the completion queues its work; let it run
        QCoreApplication::processEvents();
        // A large content is applied once the worker is done with it.
        const auto* bridge = service.findChild<ClipboardBridge*>();
        QTRY_VERIFY_WITH_TIMEOUT(!bridge || !bridge->isWorking(), 10000);
    }
    // Two looks at the clipboard, as two ticks of the watch would make.
    void lookTwice() {
        for (int look = 0; look < 2; ++look) service.findChild<ClipboardBridge*>()->poll();
    }
    QByteArray clipFrame(const QString& kind, const QByteArray& bytes) {
        return *clipMessage(kind, bytes, service.token(), QStringLiteral("linux-peer")).toFrame();
    }

    FakeConnection* connection = nullptr;
    ManualDelay* retryDelay;  // owned by the service, as is the next
    ManualDelay* acceptanceDelay;
};

}  // namespace clipwren::test
