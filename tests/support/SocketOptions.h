#pragma once

#include <QList>
#include <QtGlobal>

namespace clipwren::test {

// The keepalive settings of this process's TCP socket between localPort and peerPort, as the
// kernel holds them: {SO_KEEPALIVE, idle s, interval s, probes}; empty when there is no such
// socket.
QList<int> keepaliveOf(quint16 localPort, quint16 peerPort);

// What enableKeepalive sets, in the same form.
QList<int> expectedKeepalive();

}  // namespace clipwren::test
