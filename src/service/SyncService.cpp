// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "service/SyncService.h"

#include "Logging.h"
#include "clipboard/Announcer.h"
#include "platform/Crypto.h"
#include "platform/Uuid.h"
#include "platform/clipboard/Pasteboard.h"
#include "protocol/PairingCode.h"
#include "service/PeerAddress.h"
#include "service/StatusTexts.h"

namespace clipwren {

namespace {

const QString hostKey = QStringLiteral("host");
const QString tokenKey = QStringLiteral("token");
const QString reconnectKey = QStringLiteral("reconnect");

}  // namespace

SyncService::SyncService(ConnectionFactory connectionFactory, Pasteboard& pasteboard,
                         QObject* parent)
    : QObject(parent),
      m_host(m_settings.text(hostKey)),
      m_token(m_settings.text(tokenKey)),
      m_status(statusText::idle()),
      m_pins([this] { m_settings.failed(); }),
      m_session(std::move(connectionFactory), this),
      m_deviceID(QStringLiteral("mac-") + newUuidText()),
      m_pasteboard(pasteboard),
      m_bridge(
          m_pasteboard, [this] { return m_token; }, m_deviceID, this) {
    m_reconnects = m_settings.text(reconnectKey) == u"true";
    m_settings.failed = [this] { assign(m_status, statusText::settingsNotSaved()); };
    connect(&m_wait, &RetryCountdown::secondsLeftWillChange, this, &SyncService::objectWillChange);
    connect(&m_wait, &RetryCountdown::ticked, this, &SyncService::showWait);
    connect(&m_wait, &RetryCountdown::elapsed, this, &SyncService::retryNow);
    listenToSession();
    listenToClipboard();
}

SyncService::~SyncService() = default;

void SyncService::listenToSession() {
    connect(&m_session, &ClientSession::cancelled, this, [this] { assign(m_isConnected, false); });
    // An unreachable peer is one attempt: the next comes after a wait of ours, which the user
    // sees counted down and can cut short.
    connect(&m_session, &ClientSession::waiting, this, [this](const QString& error) {
        if (!m_session.isReady()) return retryLater(error);
        assign(m_status, statusText::waiting(error));
    });
    connect(&m_session, &ClientSession::failed, this, &SyncService::linkFailed);
    connect(&m_session, &ClientSession::ready, this, &SyncService::becomeReady);
    connect(&m_session, &ClientSession::accepted, this, &SyncService::accept);
    connect(&m_session, &ClientSession::codeRefused, this, &SyncService::refuseCode);
    connect(&m_session, &ClientSession::busy, this, [this] { endSession(statusText::peerBusy()); });
    connect(&m_session, &ClientSession::bodyReceived, this, [this](const QByteArray& body) {
        if (!m_paused) return m_bridge.receive(body);
        qCDebug(lcService) << "paused: a message dropped";
    });
    connect(&m_session, &ClientSession::sendFailed, this,
            [this](const QString& error) { assign(m_status, statusText::sendFailed(error)); });
    connect(&m_session, &ClientSession::peerClosed, this,
            [this] { streamEnded(statusText::peerClosed(), false); });
    connect(&m_session, &ClientSession::readFailed, this,
            [this](const QString& error) { streamEnded(error, true); });
    connect(&m_session, &ClientSession::corrupt, this, [this] {
        stop();
        // Otherwise the panel would go on claiming that sync is active.
        assign(m_status, statusText::interrupted());
    });
}

void SyncService::listenToClipboard() {
    connect(&m_bridge, &ClipboardBridge::frameReady, &m_session, &ClientSession::send);
    // Once per content: it is known now, so the next tick passes over it.
    connect(&m_bridge, &ClipboardBridge::secretKept, this,
            [this] { assign(m_status, statusText::secretKept()); });
    connect(&m_bridge, &ClipboardBridge::notSent, this,
            [this](const NotSent& notSent) { assign(m_status, notSentHere(notSent)); });
    // A content that crosses after one that did not: the line says what is true now.
    connect(&m_bridge, &ClipboardBridge::sent, this, &SyncService::showSyncing);
    connect(&m_bridge, &ClipboardBridge::applied, this, &SyncService::showSyncing);
    connect(&m_bridge, &ClipboardBridge::fileNotStored, this,
            [this](const QString& error) { assign(m_status, statusText::fileNotStored(error)); });
    connect(&m_pasteboard, &Pasteboard::unavailable, this,
            [this](Pasteboard::Loss loss, int error) {
                assign(m_clipboardLost, true);
                assign(m_status, statusText::clipboardUnreachable(loss, error));
            });
}

void SyncService::setPaused(bool paused) {
    if (paused == m_paused) return;
    assign(m_paused, paused);
    if (paused) {
        m_bridge.end();
        m_statusBeforePause = m_status;
        // What only the user can mend stays on the line.
        if (!needsUser()) assign(m_status, statusText::paused());
        return;
    }
    // What is on the clipboard now is known, not sent.
    if (m_session.isReady()) m_bridge.begin();
    // A newer text (a failure, a retry) says more than the one from before the pause.
    if (m_status != statusText::paused()) return;
    assign(m_status, m_accepted ? statusText::syncing() : m_statusBeforePause);
}

bool SyncService::needsUser() const {
    const bool keepsFailing = m_reconnecting && m_wait.failures() >= failuresBeforeAttention;
    return certificateChanged() || m_codeRefused || m_clipboardLost || keepsFailing;
}

void SyncService::setReconnects(bool enabled) {
    assign(m_reconnects, enabled);
    m_settings.setText(reconnectKey, enabled ? QStringLiteral("true") : QStringLiteral("false"));
    if (enabled || !m_reconnecting) return;
    // Unticked while trying again: no more tries. An attempt under way goes on as one the
    // user started; between attempts, the line says the session is over.
    const bool betweenAttempts = !m_session.isOpen();
    stopRetrying();
    if (betweenAttempts) assign(m_status, statusText::failed(m_endReason));
}

void SyncService::setHost(const QString& host) {
    assign(m_host, host);
    if (m_invalidField == Field::Host) assign(m_invalidField, Field::None);
}

void SyncService::setToken(const QString& token) {
    assign(m_token, token);
    if (m_invalidField == Field::Token) assign(m_invalidField, Field::None);
}

void SyncService::generateToken() {
    setToken(pairing::generateCode(&secureRandom64));
    m_settings.setText(tokenKey, m_token);
}

void SyncService::copyToken() {
    if (m_token.isEmpty()) return;
    m_pasteboard.setString(m_token.toUtf8());
    assign(m_status, statusText::tokenCopied());
}

// Marks the field at fault and says why; nothing is saved and no attempt is touched.
bool SyncService::validateInput(const QString& address) {
    const pairing::Fault fault = pairing::faultOf(m_token);
    Field field = Field::None;
    if (!isValidPeerAddress(address)) {
        field = Field::Host;
    } else if (fault != pairing::Fault::None) {
        field = Field::Token;
    }
    if (m_invalidField != field) assign(m_invalidField, field);
    if (field == Field::None) return true;
    // A wait would go on trying what the user is now mending, and its countdown would hide
    // why the new text was refused.
    if (isWaiting()) stopRetrying();
    assign(m_status,
           field == Field::Host ? statusText::invalidInput() : statusText::codeFault(fault));
    return false;
}

void SyncService::start() {
    const QString address = m_host.trimmed();
    // Blanks around a pasted code are no part of it; the field shows the code as it is used.
    if (const QString code = m_token.trimmed(); code != m_token) assign(m_token, code);
    if (!validateInput(address)) return;
    m_settings.setText(hostKey, address);
    stop();
    open(address);
}

void SyncService::open(const QString& address) {
    m_address = address;
    assign(m_status, statusText::connecting(address));
    m_session.open(address);
}

void SyncService::stop() {
    stopRetrying();
    close();
    if (m_changedCertificate) assign(m_changedCertificate, std::nullopt);
    if (m_codeRefused) assign(m_codeRefused, false);
}

void SyncService::close() {
    m_bridge.end();
    m_session.close();
    m_accepted = false;
    assign(m_isConnected, false);
    if (!m_peerFingerprint.isEmpty()) assign(m_peerFingerprint, QString());
}

void SyncService::trustNewCertificate() {
    if (!m_changedCertificate) return;
    // The fingerprint the user was shown, not whatever the next session presents.
    m_pins.pin(m_address, *m_changedCertificate);
    start();
}

bool SyncService::willRetry() const {
    return m_reconnecting || (m_reconnects && m_session.isReady());
}

// Every wait is the same: the reason and the seconds left, counted down on the status line,
// until the next attempt or until the user, a resume or the network cuts it short.
void SyncService::retryLater(const QString& reason) {
    close();
    m_endReason = reason;
    if (!m_reconnecting) assign(m_reconnecting, true);
    m_wait.start();
    qCDebug(lcService) << "trying again in" << waitLeft() * 1000 << "ms:" << reason;
    showWait();
}

void SyncService::showWait() {
    assign(m_status, statusText::retrying(m_endReason, waitLeft()));
}

void SyncService::retryNow() {
    m_wait.stop();
    if (m_reconnecting) open(m_address);
}

void SyncService::stopRetrying() {
    m_wait.reset();
    if (m_reconnecting) assign(m_reconnecting, false);
}

void SyncService::cancelWait() {
    if (!isWaiting()) return;
    stopRetrying();
    assign(m_status, statusText::failed(m_endReason));
}

void SyncService::networkReturned() {
    if (!isWaiting()) return;
    qCDebug(lcService) << "the network is back: trying again now";
    retryNow();
}

void SyncService::resumeFromSleep() {
    if (!willRetry()) return;
    qCDebug(lcService) << "resumed from suspend: trying again now";
    stopRetrying();
    close();
    assign(m_reconnecting, true);
    open(m_address);
}

void SyncService::stopByUser() {
    stop();
    // Otherwise the line would go on claiming that sync is active.
    assign(m_status, statusText::disconnected());
}

void SyncService::connectOrDisconnect() {
    if (!isWaiting() && (m_isConnected || m_reconnecting)) {
        stopByUser();
    } else {
        start();
    }
}

void SyncService::linkFailed(const QString& error) {
    if (willRetry()) return retryLater(error);
    assign(m_isConnected, false);
    // A link that broke under a read (a dead link found by keepalive) has said so already; the
    // failure that follows names the same loss in vaguer words.
    if (!m_session.isBroken()) assign(m_status, statusText::failed(error));
}

// The session ends and is not tried again by itself: only the user can tell a new certificate
// from somebody else's.
void SyncService::refuseChangedCertificate(const QString& fingerprint) {
    stop();
    assign(m_peerFingerprint, fingerprint);
    assign(m_changedCertificate, fingerprint);
    assign(m_status, statusText::certificateChanged());
}

// The link is up, but the session is not yet: the companion has still to take the code. Until
// it does (or the grace runs out) the line keeps saying "Connessione a", a retry still counts
// as a failed attempt, and a connection it then refuses is never shown as syncing.
// A peer whose certificate differs from the one pinned for the address gets nothing: the
// hello carries the code.
void SyncService::becomeReady() {
    const QString fingerprint = m_session.peerFingerprint();
    if (!m_pins.isTrusted(m_address, fingerprint)) return refuseChangedCertificate(fingerprint);
    m_pins.pinOnFirstUse(m_address, fingerprint);
    assign(m_isConnected, true);
    assign(m_peerFingerprint, fingerprint);
    // What is on the clipboard now stays here; the hello goes before the first read and tick.
    // A session that comes up while paused begins only on resuming.
    if (!m_paused) m_bridge.begin();
    m_offeredCode = m_token;
    m_session.greet(m_token, m_deviceID);
}

void SyncService::accept() {
    if (m_accepted || !m_session.isReady() || !m_isConnected) return;
    m_accepted = true;
    m_wait.reset();
    if (m_reconnecting) assign(m_reconnecting, false);
    assign(m_status, m_paused ? statusText::paused() : statusText::syncing());
    // Only a code the Linux machine took replaces the saved one: a mistyped code must not
    // cost the user the code that works. Saved last, so that a failed save stays said.
    m_settings.setText(tokenKey, m_offeredCode);
}

void SyncService::showSyncing() {
    const QString syncing = statusText::syncing();
    if (m_accepted && !m_paused && m_status != syncing) assign(m_status, syncing);
}

// Trying again with the same code cannot help.
void SyncService::refuseCode() {
    stop();
    assign(m_codeRefused, true);
    assign(m_status, statusText::codeRefused());
}

// The session is over, not by the user's hand: tried again when asked, said otherwise.
void SyncService::endSession(const QString& reason) {
    if (willRetry()) return retryLater(reason);
    close();
    assign(m_status, statusText::failed(reason));
}

// The companion closed the stream, or a read of it failed. Closed before it took the code:
// whatever the companion is, this is no session.
void SyncService::streamEnded(const QString& reason, bool broken) {
    if (willRetry() || !m_accepted) return endSession(reason);
    if (broken) assign(m_status, statusText::interrupted());
}

}  // namespace clipwren
