// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/net/Connection.h"

namespace clipwren {

void Connection::cancel() {
    abandon();
    QMetaObject::invokeMethod(
        this,
        [this] {
            Q_EMIT stateChanged(State::Cancelled, QString());
            deleteLater();
        },
        Qt::QueuedConnection);
}

}  // namespace clipwren
