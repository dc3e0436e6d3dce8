#include "support/SocketOptions.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QDir>
#include <cstddef>

#include "platform/Keepalive.h"

using namespace Qt::StringLiterals;
namespace clipwren::test {

namespace {

static_assert(offsetof(sockaddr_in, sin_port) == offsetof(sockaddr_in6, sin6_port));

// The port at one end (getsockname or getpeername) of descriptor's socket; -1 when it is no
// IP socket. IPv4 and IPv6 addresses keep their port at the same place.
int portOf(int descriptor, decltype(&::getsockname) end) {
    sockaddr_in6 address{};
    socklen_t size = sizeof address;
    if (end(descriptor, reinterpret_cast<sockaddr*>(&address), &size) != 0) return -1;
    const bool ip = address.sin6_family == AF_INET || address.sin6_family == AF_INET6;
    return ip ? ntohs(address.sin6_port) : -1;
}

int option(int descriptor, int level, int name) {
    int value = -1;
    socklen_t size = sizeof value;
    ::getsockopt(descriptor, level, name, &value, &size);
    return value;
}

}  // namespace

QList<int> keepaliveOf(quint16 localPort, quint16 peerPort) {
    for (const QString& entry : QDir(u"/proc/self/fd"_s).entryList(QDir::Files)) {
        const int descriptor = entry.toInt();
        if (portOf(descriptor, ::getsockname) == localPort &&
            portOf(descriptor, ::getpeername) == peerPort) {
            return {option(descriptor, SOL_SOCKET, SO_KEEPALIVE),
                    option(descriptor, IPPROTO_TCP, TCP_KEEPIDLE),
                    option(descriptor, IPPROTO_TCP, TCP_KEEPINTVL),
                    option(descriptor, IPPROTO_TCP, TCP_KEEPCNT)};
        }
    }
    return {};
}

QList<int> expectedKeepalive() {
    return {1, KeepaliveTiming::idleSeconds, KeepaliveTiming::intervalSeconds,
            KeepaliveTiming::probes};
}

}  // namespace clipwren::test
