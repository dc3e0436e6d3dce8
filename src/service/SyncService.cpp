// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "service/SyncService.h"

#include <QPointer>
#include <QUrl>

#include "Logging.h"
#include "clipboard/Announcer.h"
#include "clipboard/SharedTexts.h"
#include "platform/Crypto.h"
#include "platform/Uuid.h"
#include "platform/clipboard/Pasteboard.h"
#include "platform/net/SelfSignedCertificate.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"
#include "protocol/PairingCode.h"
#include "service/PeerAddress.h"

namespace clipwren {

namespace {

const QString hostKey = QStringLiteral("host");
const QString tokenKey = QStringLiteral("token");
const QString reconnectKey = QStringLiteral("reconnect");
const QString activeStatus = QStringLiteral("Connesso \u2022 sincronizzazione attiva");
const QString pausedStatus = QStringLiteral("Sincronizzazione sospesa");
const QString invalidInput =
    QStringLiteral("Inserisci l'IP Linux e un codice di almeno %1 caratteri")
        .arg(pairing::minimumLength);

// One key per address; encoded, so that no character of an address (the colons of IPv6, a
// slash) is taken for the settings file's own syntax.
QString pinKey(const QString& address) {
    return QStringLiteral("pins/") + QString::fromLatin1(QUrl::toPercentEncoding(address));
}

}  // namespace

SyncService::SyncService(ConnectionFactory connectionFactory, Pasteboard& pasteboard,
                         QObject* parent)
    : QObject(parent),
      m_host(m_settings.text(hostKey)),
      m_token(m_settings.text(tokenKey)),
      m_status(QStringLiteral("Inserisci IP e token per avviare")),
      m_deviceID(QStringLiteral("mac-") + newUuidText()),
      m_connectionFactory(std::move(connectionFactory)),
      m_pasteboard(pasteboard),
      m_bridge(
          m_pasteboard, [this] { return m_token; }, m_deviceID, this) {
    m_reconnects = m_settings.text(reconnectKey) == u"true";
    setRetryDelay(std::make_unique<TimerDelay>());
    setAcceptanceDelay(std::make_unique<TimerDelay>());
    m_settings.failed = [this] {
        assignStatus(QStringLiteral("Non riesco a salvare le impostazioni in ") +
                     SettingsStore::fileName());
    };
    connect(&m_bridge, &ClipboardBridge::frameReady, this, &SyncService::sendFrame);
    // Once per content: it is known now, so the next tick passes over it.
    connect(&m_bridge, &ClipboardBridge::secretKept, this, [this] {
        assignStatus(QStringLiteral("Password non inviata: copiata da un gestore di password"));
    });
    connect(&m_bridge, &ClipboardBridge::notSent, this,
            [this](const NotSent& notSent) { assignStatus(notSentHere(notSent)); });
    // A content that crosses after one that did not: the line says what is true now.
    connect(&m_bridge, &ClipboardBridge::sent, this, &SyncService::showSyncing);
    connect(&m_bridge, &ClipboardBridge::applied, this, &SyncService::showSyncing);
    connect(&m_bridge, &ClipboardBridge::fileNotStored, this, [this](const QString& error) {
        assignStatus(QStringLiteral("Non riesco a salvare il file ricevuto: ") + error);
    });
    connect(&m_pasteboard, &Pasteboard::unavailable, this,
            [this](Pasteboard::Loss loss, int error) {
                assignClipboardLost(true);
                assignStatus(QStringLiteral("Appunti non raggiungibili: ") +
                             clipboardLossText(loss, error));
            });
}

SyncService::~SyncService() = default;

// Every assignment announces itself first, even when the value does not change.
void SyncService::assignHost(const QString& value) {
    Q_EMIT objectWillChange();
    m_host = value;
}

void SyncService::assignToken(const QString& value) {
    Q_EMIT objectWillChange();
    m_token = value;
}

void SyncService::assignConnected(bool value) {
    Q_EMIT objectWillChange();
    m_isConnected = value;
}

void SyncService::assignStatus(const QString& value) {
    Q_EMIT objectWillChange();
    m_status = value;
}

void SyncService::assignPeerFingerprint(const QString& value) {
    Q_EMIT objectWillChange();
    m_peerFingerprint = value;
}

void SyncService::assignChangedCertificate(std::optional<QString> value) {
    Q_EMIT objectWillChange();
    m_changedCertificate = std::move(value);
}

void SyncService::assignReconnecting(bool value) {
    Q_EMIT objectWillChange();
    m_reconnecting = value;
}

void SyncService::assignWaitLeft(int value) {
    Q_EMIT objectWillChange();
    m_waitLeft = value;
}

void SyncService::assignInvalidField(Field value) {
    Q_EMIT objectWillChange();
    m_invalidField = value;
}

void SyncService::assignCodeRefused(bool value) {
    Q_EMIT objectWillChange();
    m_codeRefused = value;
}

void SyncService::assignClipboardLost(bool value) {
    Q_EMIT objectWillChange();
    m_clipboardLost = value;
}

void SyncService::assignPaused(bool value) {
    Q_EMIT objectWillChange();
    m_paused = value;
}

void SyncService::setPaused(bool paused) {
    if (paused == m_paused) return;
    assignPaused(paused);
    if (paused) {
        m_bridge.end();
        m_statusBeforePause = m_status;
        // What only the user can mend stays on the line.
        if (!needsUser()) assignStatus(pausedStatus);
        return;
    }
    // What is on the clipboard now is known, not sent.
    if (m_sessionReady) m_bridge.begin();
    // A newer text (a failure, a retry) says more than the one from before the pause.
    if (m_status != pausedStatus) return;
    assignStatus(m_accepted ? activeStatus : m_statusBeforePause);
}

bool SyncService::needsUser() const {
    const bool keepsFailing = m_reconnecting && m_retry >= failuresBeforeAttention;
    return certificateChanged() || m_codeRefused || m_clipboardLost || keepsFailing;
}

QString SyncService::pinnedFingerprint(const QString& address) const {
    return m_settings.text(pinKey(address));
}

void SyncService::setReconnects(bool enabled) {
    Q_EMIT objectWillChange();
    m_reconnects = enabled;
    m_settings.setText(reconnectKey, enabled ? QStringLiteral("true") : QStringLiteral("false"));
    if (enabled || !m_reconnecting) return;
    // Unticked while trying again: no more tries. An attempt under way goes on as one the
    // user started; between attempts, the line says the session is over.
    const bool betweenAttempts = !m_connection;
    stopRetrying();
    if (betweenAttempts) assignStatus(QStringLiteral("Connessione fallita: ") + m_endReason);
}

int SyncService::retryDelayMs(int retry) {
    return std::min(longestRetryDelayMs, firstRetryDelayMs << std::clamp(retry, 0, 10));
}

void SyncService::setRetryDelay(std::unique_ptr<Delay> delay) {
    m_retryDelay = std::move(delay);
    connect(m_retryDelay.get(), &Delay::elapsed, this, &SyncService::countDown);
}

void SyncService::setAcceptanceDelay(std::unique_ptr<Delay> delay) {
    m_acceptance = std::move(delay);
    connect(m_acceptance.get(), &Delay::elapsed, this, &SyncService::accept);
}

void SyncService::setHost(const QString& host) {
    assignHost(host);
    if (m_invalidField == Field::Host) assignInvalidField(Field::None);
}

void SyncService::setToken(const QString& token) {
    assignToken(token);
    if (m_invalidField == Field::Token) assignInvalidField(Field::None);
}

void SyncService::generateToken() {
    setToken(pairing::generateCode(&secureRandom64));
    m_settings.setText(tokenKey, m_token);
}

void SyncService::copyToken() {
    if (m_token.isEmpty()) return;
    m_pasteboard.setString(m_token.toUtf8());
    assignStatus(QStringLiteral("Token copiato: incollalo nel comando su Kubuntu"));
}

// Marks the field at fault and says why; nothing is saved and no attempt is touched.
bool SyncService::validateInput(const QString& address) {
    Field field = Field::None;
    QString why = invalidInput;
    if (!isValidPeerAddress(address)) {
        field = Field::Host;
    } else if (const pairing::Fault fault = pairing::faultOf(m_token);
               fault != pairing::Fault::None) {
        field = Field::Token;
        if (fault == pairing::Fault::TooLong) {
            why = QStringLiteral("Codice pairing troppo lungo: al massimo %1 caratteri")
                      .arg(pairing::maximumLength);
        } else if (fault == pairing::Fault::BlankInside) {
            why = QStringLiteral("Il codice pairing non pu\u00f2 contenere spazi");
        }
    }
    if (m_invalidField != field) assignInvalidField(field);
    if (field == Field::None) return true;
    // A wait would go on trying what the user is now mending, and its countdown would hide
    // why the new text was refused.
    if (isWaiting()) stopRetrying();
    assignStatus(why);
    return false;
}

void SyncService::start() {
    const QString address = m_host.trimmed();
    // Blanks around a pasted code are no part of it; the field shows the code as it is used.
    if (const QString code = m_token.trimmed(); code != m_token) assignToken(code);
    if (!validateInput(address)) return;
    m_settings.setText(hostKey, address);
    stop();
    open(address);
}

void SyncService::open(const QString& address) {
    m_address = address;
    assignStatus(QStringLiteral("Connessione a ") + address + QChar(0x2026));

    m_connection = m_connectionFactory(address, peerPort);
    const quint64 generation = ++m_generation;
    m_streamBroken = false;
    connect(m_connection.get(), &Connection::stateChanged, this,
            [this, generation](Connection::State state, const QString& error) {
                onMain([this, generation, state, error] { handle(generation, state, error); });
            });
    m_connection->start();
}

void SyncService::stop() {
    stopRetrying();
    close();
    if (m_changedCertificate) assignChangedCertificate(std::nullopt);
    if (m_codeRefused) assignCodeRefused(false);
}

void SyncService::close() {
    m_bridge.end();
    m_acceptance->stop();
    if (m_connection) m_connection.release()->cancel();  // it reports cancelled, then goes
    m_sessionReady = false;
    m_accepted = false;
    assignConnected(false);
    m_buffer = QByteArray();
    if (!m_peerFingerprint.isEmpty()) assignPeerFingerprint(QString());
}

void SyncService::trustNewCertificate() {
    if (!m_changedCertificate) return;
    // The fingerprint the user was shown, not whatever the next session presents.
    m_settings.setText(pinKey(m_address), *m_changedCertificate);
    start();
}

bool SyncService::willRetry() const {
    return m_reconnecting || (m_reconnects && m_sessionReady);
}

// Every wait is the same: the reason and the seconds left, counted down on the status line,
// until the next attempt or until the user, a resume or the network cuts it short.
void SyncService::retryLater(const QString& reason) {
    close();
    m_endReason = reason;
    const int delay = retryDelayMs(m_retry++);
    qCDebug(lcService) << "trying again in" << delay << "ms:" << reason;
    if (!m_reconnecting) assignReconnecting(true);
    assignWaitLeft(delay / 1000);
    showWait();
    m_retryDelay->start(1000);
}

void SyncService::countDown() {
    if (!isWaiting()) return;
    assignWaitLeft(m_waitLeft - 1);
    if (!isWaiting()) return retryNow();
    showWait();
    m_retryDelay->start(1000);
}

void SyncService::showWait() {
    assignStatus(QStringLiteral("In attesa: ") + m_endReason +
                 QStringLiteral(", nuovo tentativo tra ") + QString::number(m_waitLeft) +
                 QStringLiteral(" s"));
}

void SyncService::retryNow() {
    m_retryDelay->stop();
    if (isWaiting()) assignWaitLeft(0);
    if (m_reconnecting) open(m_address);
}

void SyncService::stopRetrying() {
    m_retryDelay->stop();
    if (isWaiting()) assignWaitLeft(0);
    m_retry = 0;
    if (m_reconnecting) assignReconnecting(false);
}

void SyncService::cancelWait() {
    if (!isWaiting()) return;
    stopRetrying();
    assignStatus(QStringLiteral("Connessione fallita: ") + m_endReason);
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
    assignReconnecting(true);
    open(m_address);
}

void SyncService::stopByUser() {
    stop();
    // Otherwise the line would go on claiming that sync is active.
    assignStatus(QStringLiteral("Disconnesso"));
}

void SyncService::connectOrDisconnect() {
    if (!isWaiting() && (m_isConnected || m_reconnecting)) {
        stopByUser();
    } else {
        start();
    }
}

bool SyncService::isCurrent(quint64 generation) const {
    return m_connection && generation == m_generation;
}

void SyncService::onMain(std::function<void()> task) {
    // Queued with the service as context: a task whose service is gone never runs.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void SyncService::handle(quint64 generation, Connection::State state, const QString& error) {
    const bool replaced = m_connection && generation != m_generation;
    if (state == Connection::State::Cancelled) {
        // A cancelled connection follows a stop; once a newer connection exists, its late
        // report must not mark that one disconnected.
        if (!replaced) assignConnected(false);
        return;
    }
    // A connection replaced since it reported has nothing more to say.
    if (!isCurrent(generation)) return;
    switch (state) {
        case Connection::State::Waiting:
            // An unreachable peer is one attempt: the next comes after a wait of ours, which
            // the user sees counted down and can cut short.
            if (m_sessionReady) {
                assignStatus(QStringLiteral("In attesa: ") + error);
            } else {
                retryLater(error);
            }
            break;
        case Connection::State::Failed:
            if (willRetry()) {
                retryLater(error);
                break;
            }
            assignConnected(false);
            // A link that broke under a read (a dead link found by keepalive) has said so
            // already; the failure that follows names the same loss in vaguer words.
            if (!m_streamBroken) assignStatus(QStringLiteral("Connessione fallita: ") + error);
            break;
        case Connection::State::Ready:
            becomeReady();
            break;
        case Connection::State::Setup:
        case Connection::State::Preparing:
        case Connection::State::Cancelled:  // handled above
            break;
    }
}

// The first certificate seen at an address is the one trusted there from then on.
bool SyncService::isTrusted(const QString& fingerprint) const {
    const QString pinned = pinnedFingerprint(m_address);
    return pinned.isEmpty() || pinned == fingerprint;
}

void SyncService::pinOnFirstUse(const QString& fingerprint) {
    if (pinnedFingerprint(m_address).isEmpty() && !fingerprint.isEmpty()) {
        m_settings.setText(pinKey(m_address), fingerprint);
    }
}

// The session ends and is not tried again by itself: only the user can tell a new certificate
// from somebody else's.
void SyncService::refuseChangedCertificate(const QString& fingerprint) {
    stop();
    assignPeerFingerprint(fingerprint);
    assignChangedCertificate(fingerprint);
    assignStatus(QStringLiteral("Il certificato del Linux \u00e8 cambiato: verifica l'impronta"));
}

// The link is up, but the session is not yet: the companion has still to take the code. Until
// it does (or the grace runs out) the line keeps saying "Connessione a", a retry still counts
// as a failed attempt, and a connection it then refuses is never shown as syncing.
// A peer whose certificate differs from the one pinned for the address gets nothing: the
// hello carries the code.
void SyncService::becomeReady() {
    const QString fingerprint = fingerprintText(m_connection->peerCertificateDigest());
    if (!isTrusted(fingerprint)) return refuseChangedCertificate(fingerprint);
    pinOnFirstUse(fingerprint);
    m_sessionReady = true;
    assignConnected(true);
    m_acceptance->start(acceptanceGraceMs);
    assignPeerFingerprint(fingerprint);
    // What is on the clipboard now stays here; the hello goes before the first read and tick.
    // A session that comes up while paused begins only on resuming.
    if (!m_paused) m_bridge.begin();
    m_offeredCode = m_token;
    sendJSON(helloMessage(m_token, m_deviceID));
    if (m_connection) receive();
}

void SyncService::accept() {
    if (m_accepted || !m_sessionReady || !m_isConnected) return;
    m_accepted = true;
    m_acceptance->stop();
    m_retry = 0;
    if (m_reconnecting) assignReconnecting(false);
    assignStatus(m_paused ? pausedStatus : activeStatus);
    // Only a code the Linux machine took replaces the saved one: a mistyped code must not
    // cost the user the code that works. Saved last, so that a failed save stays said.
    m_settings.setText(tokenKey, m_offeredCode);
}

void SyncService::showSyncing() {
    if (m_accepted && !m_paused && m_status != activeStatus) assignStatus(activeStatus);
}

void SyncService::hear(SessionNotice notice) {
    switch (notice) {
        case SessionNotice::Accepted:
            accept();
            break;
        case SessionNotice::WrongCode:
            // Trying again with the same code cannot help.
            stop();
            assignCodeRefused(true);
            assignStatus(QStringLiteral(
                "Il Linux ha rifiutato il codice pairing: controlla che sia quello salvato sul "
                "Linux, poi premi Connetti"));
            break;
        case SessionNotice::TooManyStrangers:
            endSession(QStringLiteral(
                "il Linux \u00e8 occupato da troppe connessioni sconosciute, riprova tra poco"));
            break;
    }
}

// The session is over, not by the user's hand: tried again when asked, said otherwise.
void SyncService::endSession(const QString& reason) {
    if (willRetry()) {
        retryLater(reason);
        return;
    }
    close();
    assignStatus(QStringLiteral("Connessione fallita: ") + reason);
}

void SyncService::sendJSON(const Message& message) {
    if (const auto frame = message.toOutgoing()) sendFrame(*frame);
}

void SyncService::sendFrame(const OutgoingBytes& frame) {
    if (!m_connection) return;
    const quint64 generation = m_generation;
    m_connection->send(frame, [self = QPointer(this), generation](Result<void> sent) {
        if (!self || sent) return;
        self->onMain([self, generation, error = sent.error()] {
            if (self->isCurrent(generation))
                self->assignStatus(QStringLiteral("Invio fallito: ") + error);
        });
    });
}

void SyncService::receive() {
    if (!m_connection) return;
    const quint64 generation = m_generation;
    m_connection->receive(1, readMaximum,
                          [self = QPointer(this), generation](Connection::Received chunk) {
                              if (!self) return;
                              self->onMain([self, generation, chunk = std::move(chunk)] {
                                  self->received(generation, chunk);
                              });
                          });
}

void SyncService::received(quint64 generation, Connection::Received chunk) {
    // Bytes of an earlier stream must never reach this connection's buffer.
    if (!isCurrent(generation)) return;
    m_buffer.append(chunk.bytes);
    parseFrames();
    // What was in the chunk may have ended the session (a refusal, a corrupt frame).
    if (!isCurrent(generation)) return;
    const QString reason =
        chunk.status ? QStringLiteral("il Linux ha chiuso la connessione") : chunk.status.error();
    if (chunk.status && !chunk.isComplete) {
        receive();
    } else if (willRetry()) {
        retryLater(reason);
    } else if (!m_accepted) {
        // Closed before it took the code: whatever the companion is, this is no session.
        endSession(reason);
    } else if (!chunk.status) {
        m_streamBroken = true;
        assignStatus(QStringLiteral("Connessione interrotta"));
    }
}

void SyncService::parseFrames() {
    const CutResult result = cutFrames(m_buffer, [this](const QByteArray& body) { apply(body); });
    if (result == CutResult::Corrupt) {
        stop();
        // Otherwise the panel would go on claiming that sync is active.
        assignStatus(QStringLiteral("Connessione interrotta"));
    }
}

void SyncService::apply(const QByteArray& body) {
    if (const auto notice = readNotice(body)) {
        hear(*notice);
        return;
    }
    if (m_paused) {
        qCDebug(lcService) << "paused: a message dropped";
        return;
    }
    m_bridge.receive(body);
}

}  // namespace clipwren
