// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <QString>

#include "Autostart.h"
#include "platform/SettingsStore.h"
#include "platform/clipboard/ClipboardBackend.h"

namespace clipwren {

// What the panel shows that is not the service's: whether the pairing code is shown in clear
// (false at every launch), what the clipboard backend of this run means for the user, the
// login entry, and whether received files are announced ("Notifiche", saved, on unless
// turned off). It outlives every panel, which is built anew at each opening.
class PanelState : public QObject {
    Q_OBJECT

public:
    PanelState(const ClipboardBackend& clipboard, Autostart autostart, QObject* parent = nullptr);

    bool revealToken() const { return m_revealToken; }
    void setRevealToken(bool reveal);
    // Empty when the choice of backend means nothing for the user.
    const QString& clipboardNotice() const { return m_clipboardNotice; }
    const Autostart& autostart() const { return m_autostart; }
    bool announcesFiles() const;
    void setAnnouncesFiles(bool enabled);

Q_SIGNALS:
    void revealTokenChanged();

private:
    const QString m_clipboardNotice;
    const Autostart m_autostart;
    SettingsStore m_settings;
    bool m_revealToken = false;
};

}  // namespace clipwren
