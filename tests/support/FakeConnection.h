#pragma once

#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <vector>

#include "platform/Connection.h"
#include "platform/Delay.h"
#include "service/SyncService.h"

namespace clipwren::test {

// A connection whose every report and completion the test triggers by hand: for the cases a
// real socket cannot produce at a chosen moment.
class FakeConnection final : public Connection {
    Q_OBJECT

public:
    FakeConnection(QString host, quint16 port) : host(std::move(host)), port(port) {}

    void start() override { started = true; }
    void send(const QByteArray& bytes, SendCompletion done) override;
    void receive(qsizetype min, qsizetype max, ReceiveCompletion done) override;
    QByteArray peerCertificateDigest() const override { return certificateDigest; }

    void report(State state, const QString& error = QString()) {
        Q_EMIT stateChanged(state, error);
    }
    // Completes the pending read.
    void deliver(const QByteArray& bytes, bool isComplete = false,
                 std::optional<QString> error = std::nullopt);
    // Completes the oldest pending send.
    void completeSend(std::optional<QString> error = std::nullopt);
    bool hasPendingRead() const { return m_read != nullptr; }

    QString host;
    quint16 port;
    bool started = false;
    bool abandoned = false;
    int reads = 0;
    qsizetype lastReadMax = 0;
    QList<QByteArray> sent;
    QByteArray certificateDigest;

protected:
    void abandon() override;

private:
    ReceiveCompletion m_read;
    std::vector<SendCompletion> m_sends;
};

// Hands the service fake connections and keeps track of them.
class FakeNetwork {
public:
    SyncService::ConnectionFactory factory();
    FakeConnection* last() const { return made.isEmpty() ? nullptr : made.last().data(); }
    QList<QPointer<FakeConnection>> made;
    // What the peer's certificate digest is on the connections made from now on.
    QByteArray certificateDigest;
};

// A wait that never ends by itself: the test sees each one asked for and ends it by hand.
class ManualDelay final : public Delay {
public:
    void start(int ms) override {
        asked.append(ms);
        m_active = true;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }
    // Ends the wait under way, as its time running out would; nothing when none is.
    void finish() {
        if (std::exchange(m_active, false)) Q_EMIT elapsed();
    }

    QList<int> asked;

private:
    bool m_active = false;
};

// The JSON bodies of the frames in bytes.
QList<QByteArray> frameBodies(const QList<QByteArray>& frames);

// A service on a fake connection that has reported ready, as after "Connetti".
struct FakeBridge {
    FakeBridge();
    // Starts (again) and reports ready; connection is then the new connection.
    void connect();
    // Delivers bytes to the pending read and lets the service handle them.
    void deliver(const QByteArray& bytes);
    // A clip message from the peer, framed, with the service's token unless given.
    QByteArray clipFrame(const QString& kind, const QByteArray& bytes,
                         const QString& token = QString());
    // The JSON objects of the frames sent so far on the current connection.
    QList<QJsonObject> sentMessages() const;

    FakeNetwork network;
    SyncService service;
    FakeConnection* connection = nullptr;
    ManualDelay* retryDelay;  // owned by the service
};

}  // namespace clipwren::test
