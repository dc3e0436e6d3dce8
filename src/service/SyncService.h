// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "clipboard/ClipboardBridge.h"
#include "clipboard/ClipboardPayload.h"
#include "platform/Delay.h"
#include "platform/SettingsStore.h"
#include "platform/net/Connection.h"
#include "protocol/SessionNotice.h"

namespace clipwren {

class Message;
class Pasteboard;

// The program's one service object: the settings the user edits, what the panel shows, and
// the bridge to the peer (connection, watcher timer, receive buffer, last known content).
// Everything runs on the main thread; every platform callback queues its work there and
// holds the service weakly.
class SyncService : public QObject {
    Q_OBJECT

public:
    // The field whose text start() refused.
    enum class Field { None, Host, Token };
    Q_ENUM(Field)

    // A companion that does not say it took the code (an older one) is taken to have taken it
    // once the connection has stayed open this long; ours says so at once.
    static constexpr int acceptanceGraceMs = 2000;
    // Failed attempts in a row after which a retrying session is shown as needing the user.
    static constexpr int failuresBeforeAttention = 3;
    static constexpr int firstRetryDelayMs = 2000;
    static constexpr int longestRetryDelayMs = 60'000;
    // One read takes what has arrived, up to this: a large frame comes in a few slices instead
    // of hundreds of 64 KiB hops. Unread bytes still wait in the connection, never here.
    static constexpr qsizetype readMaximum = 1 << 20;

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
    QString pinnedFingerprint(const QString& address) const;

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
    // The wait before the given retry (0 for the first): doubling from two seconds, at most a
    // minute.
    static int retryDelayMs(int retry);
    // Between two attempts: the seconds left before the next one, counted down on the status
    // line; 0 when no wait is under way.
    int waitLeft() const { return m_waitLeft; }
    bool isWaiting() const { return m_waitLeft > 0; }
    // Each second of a wait; a timer unless replaced (tests end each second by hand).
    void setRetryDelay(std::unique_ptr<Delay> delay);
    // The grace an older companion gets to take the code; a timer unless replaced.
    void setAcceptanceDelay(std::unique_ptr<Delay> delay);

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

    // The bridge's private state, read-only, for diagnostics and tests.
    const QByteArray& receiveBuffer() const { return m_buffer; }
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
    void assignHost(const QString& value);
    void assignToken(const QString& value);
    void assignConnected(bool value);
    void assignStatus(const QString& value);
    void assignPeerFingerprint(const QString& value);
    void assignChangedCertificate(std::optional<QString> value);
    void assignReconnecting(bool value);
    void assignWaitLeft(int value);
    void assignInvalidField(Field value);
    void assignCodeRefused(bool value);
    void assignClipboardLost(bool value);
    void assignPaused(bool value);

    bool validateInput(const QString& address);
    void open(const QString& address);
    void close();
    bool isTrusted(const QString& fingerprint) const;
    void pinOnFirstUse(const QString& fingerprint);
    void refuseChangedCertificate(const QString& fingerprint);
    bool willRetry() const;
    void retryLater(const QString& reason);
    void countDown();
    void showWait();
    void retryNow();
    void stopRetrying();

    bool isCurrent(quint64 generation) const;
    void onMain(std::function<void()> task);
    void handle(quint64 generation, Connection::State state, const QString& error);
    void becomeReady();
    void accept();
    void showSyncing();
    void hear(SessionNotice notice);
    void endSession(const QString& reason);
    void sendJSON(const Message& message);
    void sendFrame(const OutgoingBytes& frame);
    void receive();
    void received(quint64 generation, Connection::Received chunk);
    void parseFrames();
    void apply(const QByteArray& body);

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
    int m_waitLeft = 0;
    Field m_invalidField = Field::None;
    bool m_codeRefused = false;
    bool m_clipboardLost = false;
    bool m_paused = false;
    QString m_statusBeforePause;
    bool m_accepted = false;
    // The code the current session's hello carried: the one saved once it is taken.
    QString m_offeredCode;
    std::unique_ptr<Connection> m_connection;
    QByteArray m_buffer;

    const QString m_deviceID;

    // Tells a connection's late reports and completions from the current connection's.
    quint64 m_generation = 0;
    // The current connection's stream ended with a read error.
    bool m_streamBroken = false;
    // The trimmed address of the current or last connection, and whether it became ready.
    QString m_address;
    bool m_sessionReady = false;
    QString m_endReason;
    int m_retry = 0;
    std::unique_ptr<Delay> m_retryDelay;
    ConnectionFactory m_connectionFactory;
    std::unique_ptr<Delay> m_acceptance;
    Pasteboard& m_pasteboard;
    ClipboardBridge m_bridge;
};

}  // namespace clipwren
