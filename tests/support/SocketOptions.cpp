// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "support/SocketOptions.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QDir>

#ifndef TCP_KEEPIDLE
#define TCP_KEEPIDLE TCP_KEEPALIVE  // its name on the Mac
#endif

using namespace Qt::StringLiterals;
namespace clipwren::test {

namespace {

// The port at one end (getsockname, getpeername) of descriptor's socket; -1 if not IP.
int portOf(int descriptor, decltype(&::getsockname) end) {
    static_assert(offsetof(sockaddr_in, sin_port) == offsetof(sockaddr_in6, sin6_port));
    sockaddr_in6 address{};
    socklen_t size = sizeof address;
    if (end(descriptor, reinterpret_cast<sockaddr*>(&address), &size) != 0) return -1;
    const bool ip = address.sin6_family == AF_INET || address.sin6_family == AF_INET6;
    return ip ? ntohs(address.sin6_port) : -1;
}

}  // namespace

QList<int> keepaliveOf(quint16 localPort, quint16 peerPort) {
    // /dev/fd lists this process's descriptors on Linux and on the Mac.
    for (const QString& entry : QDir(u"/dev/fd"_s).entryList(QDir::Files | QDir::System)) {
        const int descriptor = entry.toInt();
        const auto option = [descriptor](int level, int name) {
            int value = -1;
            socklen_t size = sizeof value;
            ::getsockopt(descriptor, level, name, &value, &size);
            return value;
        };
        if (portOf(descriptor, ::getsockname) == localPort &&
            portOf(descriptor, ::getpeername) == peerPort) {
            return {option(SOL_SOCKET, SO_KEEPALIVE), option(IPPROTO_TCP, TCP_KEEPIDLE),
                    option(IPPROTO_TCP, TCP_KEEPINTVL), option(IPPROTO_TCP, TCP_KEEPCNT)};
        }
    }
    return {};
}

}  // namespace clipwren::test
