#include "support/FakeConnection.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTest>
#include <QtEndian>

#include "protocol/FrameCodec.h"
#include "protocol/Message.h"

using namespace Qt::StringLiterals;
namespace clipwren::test {

void FakeConnection::send(const QByteArray& bytes, SendCompletion done) {
    sent.append(bytes);
    m_sends.push_back(std::move(done));
}

void FakeConnection::receive(qsizetype, qsizetype max, ReceiveCompletion done) {
    ++reads;
    lastReadMax = max;
    m_read = std::move(done);
}

void FakeConnection::deliver(const QByteArray& bytes, bool isComplete,
                             std::optional<QString> error) {
    Q_ASSERT(m_read);
    ReceiveCompletion done = std::exchange(m_read, nullptr);
    done(Received{bytes, isComplete, std::move(error)});
}

void FakeConnection::completeSend(std::optional<QString> error) {
    Q_ASSERT(!m_sends.empty());
    SendCompletion done = std::move(m_sends.front());
    m_sends.erase(m_sends.begin());
    done(std::move(error));
}

void FakeConnection::abandon() {
    abandoned = true;
    m_read = nullptr;
    m_sends.clear();
}

SyncService::ConnectionFactory FakeNetwork::factory() {
    return [this](const QString& host, quint16 port) {
        auto connection = std::make_unique<FakeConnection>(host, port);
        connection->certificateDigest = certificateDigest;
        made.append(connection.get());
        return connection;
    };
}

QList<QByteArray> frameBodies(const QList<QByteArray>& frames) {
    QList<QByteArray> bodies;
    for (const QByteArray& frame : frames) {
        const quint32 length = qFromBigEndian<quint32>(frame.constData());
        Q_ASSERT(qsizetype(length) + 4 == frame.size());
        bodies.append(frame.sliced(4));
    }
    return bodies;
}

}  // namespace clipwren::test

namespace clipwren::test {

FakeBridge::FakeBridge() : service(network.factory()), retryDelay(new ManualDelay) {
    service.setRetryDelay(std::unique_ptr<Delay>(retryDelay));
    service.setHost(u"127.0.0.1"_s);
    service.setToken(u"ABCDEFGHJKLMNPQR"_s);
}

void FakeBridge::connect() {
    service.start();
    connection = network.last();
    connection->report(Connection::State::Ready);
    QTRY_VERIFY_WITH_TIMEOUT(service.isConnected(), 5000);
}

void FakeBridge::deliver(const QByteArray& bytes) {
    QTRY_VERIFY_WITH_TIMEOUT(connection->hasPendingRead(), 5000);
    connection->deliver(bytes);
    QTest::qWait(0);  // the completion queues its work; let it run
    QCoreApplication::processEvents();
}

QByteArray FakeBridge::clipFrame(const QString& kind, const QByteArray& bytes,
                                 const QString& token) {
    const Message message =
        clipMessage(kind, bytes, token.isNull() ? service.token() : token, u"linux-peer"_s);
    return *encodeFrame(*message.toJson());
}

QList<QJsonObject> FakeBridge::sentMessages() const {
    QList<QJsonObject> messages;
    for (const QByteArray& body : frameBodies(connection->sent)) {
        messages.append(QJsonDocument::fromJson(body).object());
    }
    return messages;
}

}  // namespace clipwren::test
