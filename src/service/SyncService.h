// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

#include "clipboard/ClipboardBridge.h"
#include "clipboard/ClipboardPayload.h"
#include "platform/Delay.h"
#include "platform/SettingsStore.h"
#include "platform/net/Connection.h"
#include "service/ClientSession.h"
#include "service/PinStore.h"
#include "service/RetryCountdown.h"

namespace clipwren {

class Pasteboard;

// The program's one service object: the settings the user edits, what the panel shows, and
// the policy of the sync: when to try again and for how long, which certificate to trust,
// when a session counts as taken, and what a pause holds back. The session with the peer and
// the bridge to the clipboard do the work. Everything runs on the main thread.
class SyncService : public QObject {
    Q_OBJECT

public:
    // The field whose text start() refused.
    enum class Field { None, Host, Token };
    Q_ENUM(Field)

    // Failed attempts in a row after which a retrying session is shown as needing the user.
    static constexpr int failuresBeforeAttention = 3;

    // Loads "host" and "token" from the saved settings; connects to nothing. Both platform
    // objects are chosen at start: connections come from connectionFactory, and the clipboard
    // is the backend of this run, which outlives the service.
    SyncService(ConnectionFactory connectionFactory, Pasteboard& pasteboard,
                QObject* parent = nullptr);
    ~SyncService() override;

    const QString& host() const { return m_host; }
    void setHost(const QString& host);
    const QString& token() const { return m_token; }
    void setToken(const QString& token);
    bool isConnected() const { return m_isConnected; }
    const QString& status() const { return m_status; }
    // The SHA-256 fingerprint of the certificate the peer presented, in the form the peer
    // prints it; empty until a connection is ready and again after stop.
    const QString& peerFingerprint() const { return m_peerFingerprint; }
    const QString& deviceID() const { return m_deviceID; }
    // The peer at the address just tried presented another certificate than the one pinned
    // for it: nothing was sent, and peerFingerprint shows the new one.
    bool certificateChanged() const { return m_changedCertificate.has_value(); }
    // The fingerprint pinned for a trimmed address; empty before its first session.
    QString pinnedFingerprint(const QString& address) const { return m_pins.pinned(address); }

    // The field at fault in the last start(); None once a start passes or the field is edited.
    Field invalidField() const { return m_invalidField; }
    // The Linux machine turned the pairing code away: no retry until the user starts again.
    bool codeRefused() const { return m_codeRefused; }
    // Something only the user can mend: a changed certificate, a refused code, a clipboard out
    // of reach, or a session that keeps failing.
    bool needsUser() const;

    // "Riconnetti automaticamente": saved at once, off unless the user ticked it.
    bool reconnects() const { return m_reconnects; }
    void setReconnects(bool enabled);
    // The service is trying again by itself, waiting or connecting: a session ended, or an
    // attempt found nobody.
    bool isReconnecting() const { return m_reconnecting; }
    // Between two attempts: the seconds left before the next one, counted down on the status
    // line; 0 when no wait is under way.
    int waitLeft() const { return m_wait.secondsLeft(); }
    bool isWaiting() const { return m_wait.isRunning(); }
    // Each second of a wait; a timer unless replaced (tests end each second by hand).
    void setRetryDelay(std::unique_ptr<Delay> delay) { m_wait.setDelay(std::move(delay)); }
    // The grace an older companion gets to take the code; a timer unless replaced.
    void setAcceptanceDelay(std::unique_ptr<Delay> delay) {
        m_session.setAcceptanceDelay(std::move(delay));
    }

    void start();
    void stop();
    // The user's "Disconnetti": stop, and say so.
    void stopByUser();
    // The connect button: it follows isConnected (or a reconnection under way) at the moment
    // of the click, not the label, which may not have been redrawn yet. During a wait it is
    // "Riprova ora": a new attempt at once.
    void connectOrDisconnect();
    // "Annulla" during a wait: no more attempts; the line says how the last one ended.
    void cancelWait();
    // The network is back: a wait under way ends at once.
    void networkReturned();
    // "Fidati del nuovo certificato": pins the fingerprint the user was shown, and connects.
    void trustNewCertificate();
    // The machine woke from suspend: a session that was up, or being retried, is tried again
    // at once, since the link it had has most likely died unnoticed.
    void resumeFromSleep();
    void generateToken();
    void copyToken();

    // "Sospendi sincronizzazione": the session stays up, but nothing is looked at or sent, and
    // every clip message that arrives is dropped, not kept for later. On resuming, what was
    // copied meanwhile stays here; only new copies cross. Never saved: every run starts
    // unpaused.
    bool isPaused() const { return m_paused; }
    void setPaused(bool paused);

    // The session's and the bridge's private state, read-only, for diagnostics and tests.
    const QByteArray& receiveBuffer() const { return m_session.receiveBuffer(); }
    const std::optional<QByteArray>& lastDigest() const { return m_bridge.lastDigest(); }
    bool isWatching() const { return m_bridge.isWatching(); }
    // What crosses and what does not, for whoever tells the user.
    const ClipboardBridge& bridge() const { return m_bridge; }

Q_SIGNALS:
    // Emitted immediately before every assignment to host, token, isConnected, status,
    // peerFingerprint, certificateChanged, reconnects, isReconnecting, waitLeft, invalidField,
    // codeRefused, needsUser and isPaused.
    void objectWillChange();

private:
    // Every assignment announces itself first, even when the value does not change.
    template <class T>
    void assign(T& member, std::type_identity_t<T> value) {
        Q_EMIT objectWillChange();
        member = std::move(value);
    }

    void listenToSession();
    void listenToClipboard();
    bool validateInput(const QString& address);
    void open(const QString& address);
    void close();
    void refuseChangedCertificate(const QString& fingerprint);
    bool willRetry() const;
    void retryLater(const QString& reason);
    void showWait();
    void retryNow();
    void stopRetrying();

    void linkFailed(const QString& error);
    void becomeReady();
    void accept();
    void showSyncing();
    void refuseCode();
    void endSession(const QString& reason);
    void streamEnded(const QString& reason, bool broken);

    // In the order the service is built.
    // The saved settings; a save that fails is said on the status line, since what the user
    // set would be gone at the next start.
    struct Settings : SettingsStore {
        std::function<void()> failed;
        void setText(const QString& key, const QString& value) {
            if (!SettingsStore::setText(key, value)) failed();
        }
    } m_settings;
    QString m_host;
    QString m_token;
    bool m_isConnected = false;
    QString m_status;
    QString m_peerFingerprint;
    std::optional<QString> m_changedCertificate;
    bool m_reconnects = false;
    bool m_reconnecting = false;
    Field m_invalidField = Field::None;
    bool m_codeRefused = false;
    bool m_clipboardLost = false;
    bool m_paused = false;
    QString m_statusBeforePause;
    bool m_accepted = false;
    // The code the current session's hello carried: the one saved once it is taken.
    QString m_offeredCode;
    PinStore m_pins;
    ClientSession m_session;

    const QString m_deviceID;

    // The trimmed address of the current or last connection.
    QString m_address;
    QString m_endReason;
    RetryCountdown m_wait;
    Pasteboard& m_pasteboard;
    ClipboardBridge m_bridge;
};

}  // namespace clipwren
