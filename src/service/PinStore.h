// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>
#include <functional>

#include "platform/SettingsStore.h"

namespace clipwren {

// The certificate fingerprint pinned for each address the user connected to, in the saved
// settings: the first certificate seen at an address is the one trusted there from then on.
// Addresses come trimmed, so that " 10.0.0.1" and "10.0.0.1" share one pin.
class PinStore {
public:
    // failed is called when a pin could not be saved: it then holds only until the program ends.
    explicit PinStore(std::function<void()> failed) : m_failed(std::move(failed)) {}

    // Empty before the address's first session.
    QString pinned(const QString& address) const;
    bool isTrusted(const QString& address, const QString& fingerprint) const;
    void pinOnFirstUse(const QString& address, const QString& fingerprint);
    // The user trusts this fingerprint at address from now on.
    void pin(const QString& address, const QString& fingerprint);

private:
    SettingsStore m_settings;
    std::function<void()> m_failed;
};

}  // namespace clipwren
