#include "support/SocketOptions.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QDir>

#include "platform/Keepalive.h"

using namespace Qt::StringLiterals;
namespace clipwren::test {

namespace {

int portOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    }
    return -1;
}

int option(int descriptor, int level, int name) {
    int value = -1;
    socklen_t size = sizeof value;
    ::getsockopt(descriptor, level, name, &value, &size);
    return value;
}

}  // namespace

QList<int> keepaliveOf(quint16 localPort, quint16 peerPort) {
    const QStringList descriptors = QDir(u"/proc/self/fd"_s).entryList(QDir::Files);
    for (const QString& entry : descriptors) {
        const int descriptor = entry.toInt();
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localSize = sizeof local;
        socklen_t peerSize = sizeof peer;
        if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
            ::getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0 ||
            portOf(local) != localPort || portOf(peer) != peerPort) {
            continue;
        }
        return {option(descriptor, SOL_SOCKET, SO_KEEPALIVE),
                option(descriptor, IPPROTO_TCP, TCP_KEEPIDLE),
                option(descriptor, IPPROTO_TCP, TCP_KEEPINTVL),
                option(descriptor, IPPROTO_TCP, TCP_KEEPCNT)};
    }
    return {};
}

QList<int> expectedKeepalive() {
    return {1, KeepaliveTiming::idleSeconds, KeepaliveTiming::intervalSeconds,
            KeepaliveTiming::probes};
}

}  // namespace clipwren::test
