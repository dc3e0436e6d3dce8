// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "ControlPanel.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "FingerprintView.h"
#include "PanelState.h"
#include "service/SyncService.h"

namespace clipwren {

namespace {

// A word-wrapped label that asks only for the width of its longest word: the panel keeps the
// width its rows give it and a long status grows downwards instead of sideways.
class StatusLine final : public QLabel {
public:
    StatusLine() {
        setWordWrap(true);
        setTextFormat(Qt::PlainText);  // shown exactly as the service built it
    }
    QSize sizeHint() const override {
        return {minimumSizeHint().width(), QLabel::sizeHint().height()};
    }
};

QPushButton* button(const QString& name, const QString& label = QString()) {
    auto* made = new QPushButton(label);
    made->setObjectName(name);
    // Return presses the button that has the focus; no button takes it from a field, which
    // has its own Return.
    made->setAutoDefault(true);
    made->setDefault(false);
    // Tab reaches it on every platform, the Mac's default included.
    made->setFocusPolicy(Qt::StrongFocus);
    return made;
}

QLineEdit* field(const QString& name, const QString& placeholder, int width) {
    auto* made = new QLineEdit;
    made->setObjectName(name);
    made->setPlaceholderText(placeholder);
    made->setFixedWidth(width);
    return made;
}

template <typename Widget>
Widget* named(Widget* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

// Puts text into edit only when it differs, so the cursor stays where the user is typing.
void showText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) edit->setText(text);
}

// A field the service refused wears a red frame until it is edited. The borderless reveal
// button draws no focus of its own in most styles: it gets a frame while it has the focus.
const QString invalidFieldStyle = QStringLiteral(
    "QLineEdit[invalid=\"true\"] { border: 2px solid #da4453; border-radius: 3px; }"
    "QPushButton#reveal { border: 1px solid transparent; border-radius: 3px; padding: 2px 6px; }"
    "QPushButton#reveal:focus { border-color: palette(highlight); }");

void markField(QLineEdit* edit, bool invalid) {
    if (edit->property("invalid").toBool() == invalid) return;
    edit->setProperty("invalid", invalid);
    edit->style()->unpolish(edit);
    edit->style()->polish(edit);
}

// A wait is ended by trying at once; a session, or a reconnection under way, by leaving it.
QString connectLabel(const SyncService& sync) {
    if (sync.isWaiting()) return QStringLiteral("Riprova ora");
    if (sync.isConnected() || sync.isReconnecting()) return QStringLiteral("Disconnetti");
    return QStringLiteral("Connetti");
}

}  // namespace

ControlPanel::ControlPanel(SyncService& sync, PanelState& state, QWidget* parent)
    : QWidget(parent),
      m_sync(sync),
      m_state(state),
      m_title(named(new QLabel(QStringLiteral("Clipwren+")), QStringLiteral("title"))),
      m_status(named(new StatusLine, QStringLiteral("status"))),
      m_host(field(QStringLiteral("host"), QStringLiteral("IP Linux"), 240)),
      m_token(field(QStringLiteral("token"), QStringLiteral("Codice pairing"), 210)),
      m_reveal(button(QStringLiteral("reveal"))),
      m_connect(button(QStringLiteral("connect"))),
      m_cancelWait(button(QStringLiteral("cancelWait"), QStringLiteral("Annulla"))),
      m_generate(button(QStringLiteral("generate"), QStringLiteral("Genera token"))),
      m_copy(button(QStringLiteral("copy"), QStringLiteral("Copia token"))),
      m_trust(button(QStringLiteral("trust"), QStringLiteral("Fidati del nuovo certificato"))),
      m_reconnect(named(new QCheckBox(QStringLiteral("Riconnetti automaticamente")),
                        QStringLiteral("reconnect"))),
      m_autostart(
          named(new QCheckBox(QStringLiteral("Avvia all'accesso")), QStringLiteral("autostart"))),
      m_notify(named(new QCheckBox(QStringLiteral("Notifiche")), QStringLiteral("notify"))),
      m_autostartError(named(new StatusLine, QStringLiteral("autostartError"))),
      m_fingerprintTitle(
          named(new QLabel(QStringLiteral("Impronta SHA-256 del certificato del Linux:")),
                QStringLiteral("fingerprintTitle"))),
      m_fingerprint(named(new FingerprintView, QStringLiteral("fingerprint"))),
      m_quit(button(QStringLiteral("quit"), QStringLiteral("Esci da Clipwren+"))) {
    setObjectName(QStringLiteral("controlPanel"));
    setWindowTitle(QStringLiteral("Clipwren+"));
    setStyleSheet(invalidFieldStyle);
    styleTexts();
    explainButtons();
    layOut();
    wire();
    redraw();
}

void ControlPanel::styleTexts() {
    QFont headline = m_title->font();
    headline.setBold(true);
    headline.setPointSizeF(headline.pointSizeF() * 1.2);
    m_title->setFont(headline);

    QFont caption = m_status->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    QPalette dimmed = m_status->palette();
    QColor secondary = dimmed.color(QPalette::WindowText);
    secondary.setAlphaF(0.6f);
    dimmed.setColor(QPalette::WindowText, secondary);
    for (QLabel* small : {m_status, m_fingerprintTitle, m_autostartError}) small->setFont(caption);
    m_status->setPalette(dimmed);
    m_reveal->setFlat(true);
    for (QCheckBox* box : {m_reconnect, m_autostart}) box->setFocusPolicy(Qt::StrongFocus);
    m_autostartError->hide();
}

// The buttons whose labels say "token" tell, in the panel's own words, that it is the pairing
// code; so does its field.
void ControlPanel::explainButtons() {
    m_token->setToolTip(QStringLiteral(
        "Il codice pairing: lo stesso salvato su Linux con clipwren-peer --save-token"));
    m_generate->setToolTip(QStringLiteral("Crea un nuovo codice pairing casuale"));
    m_copy->setToolTip(
        QStringLiteral("Copia il codice pairing, da incollare in clipwren-peer --save-token"));
    m_cancelWait->setToolTip(QStringLiteral("Smette di riprovare a connettersi"));
}

void ControlPanel::layOut() {
    auto* pairingRow = new QHBoxLayout;
    pairingRow->addWidget(m_token);
    pairingRow->addWidget(m_reveal);
    pairingRow->addStretch();

    auto* actionRow = new QHBoxLayout;
    for (QPushButton* action : {m_connect, m_cancelWait, m_generate, m_copy})
        actionRow->addWidget(action);
    actionRow->addStretch();

    auto* separator = named(new QFrame, QStringLiteral("separator"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(10);
    stack->setContentsMargins(12, 12, 12, 12);
    // The panel is as large as its content, and follows it as it grows and shrinks.
    stack->setSizeConstraint(QLayout::SetFixedSize);
    stack->addWidget(m_title, 0, Qt::AlignLeft);
    stack->addWidget(m_status);  // the full width, so that it wraps only where it must
    if (!m_state.clipboardNotice().isEmpty()) {
        auto* notice = named(new StatusLine, QStringLiteral("clipboardNotice"));
        notice->setText(m_state.clipboardNotice());
        stack->addWidget(notice);
    }
    stack->addWidget(m_fingerprintTitle, 0, Qt::AlignLeft);
    stack->addWidget(m_fingerprint, 0, Qt::AlignLeft);
    stack->addWidget(m_trust, 0, Qt::AlignLeft);
    stack->addWidget(m_host, 0, Qt::AlignLeft);
    stack->addLayout(pairingRow);
    stack->addLayout(actionRow);
    stack->addWidget(m_reconnect, 0, Qt::AlignLeft);
    stack->addWidget(m_autostart, 0, Qt::AlignLeft);
    stack->addWidget(m_autostartError);
    stack->addWidget(m_notify, 0, Qt::AlignLeft);
    stack->addWidget(separator);
    stack->addWidget(m_quit, 0, Qt::AlignLeft);
}

void ControlPanel::wire() {
    connect(m_host, &QLineEdit::textEdited, &m_sync, &SyncService::setHost);
    connect(m_token, &QLineEdit::textEdited, &m_sync, &SyncService::setToken);
    connect(m_reveal, &QPushButton::clicked, &m_state,
            [this] { m_state.setRevealToken(!m_state.revealToken()); });
    connect(m_connect, &QPushButton::clicked, this, &ControlPanel::pressConnect);
    connect(m_cancelWait, &QPushButton::clicked, &m_sync, &SyncService::cancelWait);
    connect(m_trust, &QPushButton::clicked, this, [this] {
        // The trust button is about to go: the focus goes to the session's own button, rather
        // than on to the address, where the next key would overwrite it.
        m_connect->setFocus();
        m_sync.trustNewCertificate();
    });
    // Return in a field presses "Connetti"; a session that is up is never ended by it.
    for (QLineEdit* edit : {m_host, m_token}) {
        connect(edit, &QLineEdit::returnPressed, this, [this] {
            if (!m_sync.isConnected() && !m_sync.isReconnecting()) pressConnect();
        });
    }
    connect(m_reconnect, &QCheckBox::toggled, &m_sync, &SyncService::setReconnects);
    connect(m_generate, &QPushButton::clicked, &m_sync, &SyncService::generateToken);
    connect(m_copy, &QPushButton::clicked, &m_sync, &SyncService::copyToken);
    connect(m_quit, &QPushButton::clicked, this, &ControlPanel::quitRequested);
    connect(m_autostart, &QCheckBox::toggled, this, &ControlPanel::setAutostart);
    connect(m_notify, &QCheckBox::toggled, &m_state, &PanelState::setAnnouncesFiles);

    // The service announces a change before making it: redraw once it is in place.
    connect(&m_sync, &SyncService::objectWillChange, this, &ControlPanel::redraw,
            Qt::QueuedConnection);
    connect(&m_state, &PanelState::revealTokenChanged, this, &ControlPanel::redraw);
}

void ControlPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Typing goes where it is needed first.
    if (m_host->text().isEmpty()) {
        m_host->setFocus();
    } else if (m_token->text().isEmpty()) {
        m_token->setFocus();
    } else {
        m_connect->setFocus();
    }
}

void ControlPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Q_EMIT resized();
}

void ControlPanel::redraw() {
    m_status->setText(m_sync.status());
    const QString& fingerprint = m_sync.peerFingerprint();
    m_fingerprint->showFingerprint(fingerprint);
    m_fingerprintTitle->setVisible(!fingerprint.isEmpty());
    m_fingerprint->setVisible(!fingerprint.isEmpty());
    showText(m_host, m_sync.host());
    showText(m_token, m_sync.token());
    markInvalidField();
    const bool reveal = m_state.revealToken();
    m_token->setEchoMode(reveal ? QLineEdit::Normal : QLineEdit::Password);
    m_reveal->setText(reveal ? QStringLiteral("Nascondi") : QStringLiteral("Mostra"));
    m_connect->setText(connectLabel(m_sync));
    m_cancelWait->setVisible(m_sync.isWaiting());
    m_trust->setVisible(m_sync.certificateChanged());
    const QSignalBlocker quietReconnect(m_reconnect);
    m_reconnect->setChecked(m_sync.reconnects());
    // The box shows whether the entry is there, whoever put it there or took it away.
    const QSignalBlocker quiet(m_autostart);
    m_autostart->setChecked(m_state.autostart().isEnabled());
    const QSignalBlocker quietNotify(m_notify);
    m_notify->setChecked(m_state.announcesFiles());
}

void ControlPanel::markInvalidField() {
    markField(m_host, m_sync.invalidField() == SyncService::Field::Host);
    markField(m_token, m_sync.invalidField() == SyncService::Field::Token);
}

void ControlPanel::pressConnect() {
    m_sync.connectOrDisconnect();
    // A refused field is where the user goes next.
    switch (m_sync.invalidField()) {
        case SyncService::Field::Host:
            m_host->setFocus();
            break;
        case SyncService::Field::Token:
            m_token->setFocus();
            break;
        case SyncService::Field::None:
            break;
    }
}

void ControlPanel::setAutostart(bool enabled) {
    const Result<void> done = m_state.autostart().setEnabled(enabled);
    m_autostartError->setText(
        done ? QString() : QStringLiteral("Avvio all'accesso non modificato: ") + done.error());
    m_autostartError->setVisible(!done);
    redraw();
}

}  // namespace clipwren
