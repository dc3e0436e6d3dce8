// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/NetworkWatcher.h"

#include <QNetworkInformation>

#include "Logging.h"

namespace clipwren {

NetworkWatcher::NetworkWatcher(QObject* parent) : QObject(parent) {
    using Reachability = QNetworkInformation::Reachability;
    m_watching =
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    qCDebug(lcService) << "watching the network for its return:" << m_watching;
    if (!m_watching) return;
    // The Linux machine is on the local network: a local link is enough.
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
            [this](Reachability reachability) {
                qCDebug(lcService) << "network reachability:" << reachability;
                if (reachability == Reachability::Local || reachability == Reachability::Site ||
                    reachability == Reachability::Online) {
                    Q_EMIT returned();
                }
            });
}

}  // namespace clipwren
