#include "ControlPanel.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ClipwrenPlusApp.h"
#include "FingerprintView.h"
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
    // Return in a field must do nothing, so no button may take it.
    made->setAutoDefault(false);
    made->setDefault(false);
    return made;
}

QLineEdit* field(const QString& name, const QString& placeholder, int width) {
    auto* made = new QLineEdit;
    made->setObjectName(name);
    made->setPlaceholderText(placeholder);
    made->setFixedWidth(width);
    return made;
}

// Puts text into edit only when it differs, so the cursor stays where the user is typing.
void showText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) edit->setText(text);
}

}  // namespace

void connectOrDisconnect(SyncService& sync) {
    if (sync.isConnected() || sync.isReconnecting()) {
        sync.stopByUser();
    } else {
        sync.start();
    }
}

ControlPanel::ControlPanel(ClipwrenPlusApp& app, QWidget* parent)
    : QWidget(parent),
      m_app(app),
      m_sync(app.sync()),
      m_status(new StatusLine),
      m_host(field(QStringLiteral("host"), QStringLiteral("IP Linux"), 240)),
      m_token(field(QStringLiteral("token"), QStringLiteral("Codice pairing"), 210)),
      m_reveal(button(QStringLiteral("reveal"))),
      m_connect(button(QStringLiteral("connect"))),
      m_trust(button(QStringLiteral("trust"), QStringLiteral("Fidati del nuovo certificato"))),
      m_reconnect(new QCheckBox(QStringLiteral("Riconnetti automaticamente"))),
      m_autostart(new QCheckBox(QStringLiteral("Avvia all'accesso"))),
      m_autostartError(new QLabel),
      m_fingerprintTitle(new QLabel(QStringLiteral("Impronta SHA-256 del certificato del peer:"))),
      m_fingerprint(new FingerprintView) {
    setObjectName(QStringLiteral("controlPanel"));
    setWindowTitle(QStringLiteral("Clipwren+"));

    auto* title = new QLabel(QStringLiteral("Clipwren+"));
    title->setObjectName(QStringLiteral("title"));
    QFont headline = title->font();
    headline.setBold(true);
    headline.setPointSizeF(headline.pointSizeF() * 1.2);
    title->setFont(headline);

    m_status->setObjectName(QStringLiteral("status"));
    QFont caption = m_status->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_status->setFont(caption);
    QPalette dimmed = m_status->palette();
    QColor secondary = dimmed.color(QPalette::WindowText);
    secondary.setAlphaF(0.6f);
    dimmed.setColor(QPalette::WindowText, secondary);
    m_status->setPalette(dimmed);

    m_reveal->setFlat(true);
    m_fingerprintTitle->setObjectName(QStringLiteral("fingerprintTitle"));
    m_fingerprintTitle->setFont(caption);
    m_fingerprint->setObjectName(QStringLiteral("fingerprint"));

    auto* pairingRow = new QHBoxLayout;
    pairingRow->addWidget(m_token);
    pairingRow->addWidget(m_reveal);
    pairingRow->addStretch();

    QPushButton* generate = button(QStringLiteral("generate"), QStringLiteral("Genera token"));
    QPushButton* copy = button(QStringLiteral("copy"), QStringLiteral("Copia token"));
    auto* actionRow = new QHBoxLayout;
    actionRow->addWidget(m_connect);
    actionRow->addWidget(generate);
    actionRow->addWidget(copy);
    actionRow->addStretch();

    m_reconnect->setObjectName(QStringLiteral("reconnect"));
    m_autostart->setObjectName(QStringLiteral("autostart"));
    m_autostartError->setObjectName(QStringLiteral("autostartError"));
    m_autostartError->setWordWrap(true);
    m_autostartError->setTextFormat(Qt::PlainText);
    m_autostartError->setFont(caption);
    m_autostartError->hide();

    auto* separator = new QFrame;
    separator->setObjectName(QStringLiteral("separator"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    QPushButton* quit = button(QStringLiteral("quit"), QStringLiteral("Esci da Clipwren+"));

    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(10);
    stack->setContentsMargins(12, 12, 12, 12);
    // The panel is as large as its content and follows it when the status grows.
    stack->setSizeConstraint(QLayout::SetFixedSize);
    stack->addWidget(title, 0, Qt::AlignLeft);
    stack->addWidget(m_status);  // the full width, so that it wraps only where it must
    if (!m_app.clipboardNotice().isEmpty()) {
        auto* notice = new StatusLine;
        notice->setObjectName(QStringLiteral("clipboardNotice"));
        notice->setText(m_app.clipboardNotice());
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
    stack->addWidget(separator);
    stack->addWidget(quit, 0, Qt::AlignLeft);

    connect(m_host, &QLineEdit::textEdited, &m_sync, &SyncService::setHost);
    connect(m_token, &QLineEdit::textEdited, &m_sync, &SyncService::setToken);
    connect(m_reveal, &QPushButton::clicked, &m_app,
            [this] { m_app.setRevealToken(!m_app.revealToken()); });
    connect(m_connect, &QPushButton::clicked, &m_sync, [this] { connectOrDisconnect(m_sync); });
    connect(m_trust, &QPushButton::clicked, &m_sync, &SyncService::trustNewCertificate);
    connect(m_reconnect, &QCheckBox::toggled, &m_sync, &SyncService::setReconnects);
    connect(generate, &QPushButton::clicked, &m_sync, &SyncService::generateToken);
    connect(copy, &QPushButton::clicked, &m_sync, &SyncService::copyToken);
    connect(quit, &QPushButton::clicked, &m_app, &ClipwrenPlusApp::quit);
    connect(m_autostart, &QCheckBox::toggled, this, &ControlPanel::setAutostart);

    // The service announces a change before making it: redraw once it is in place.
    connect(&m_sync, &SyncService::objectWillChange, this, &ControlPanel::redraw,
            Qt::QueuedConnection);
    connect(&m_app, &ClipwrenPlusApp::revealTokenChanged, this, &ControlPanel::redraw);
    redraw();
}

void ControlPanel::redraw() {
    m_status->setText(m_sync.status());
    m_fingerprint->showFingerprint(m_sync.peerFingerprint());
    m_fingerprintTitle->setVisible(!m_sync.peerFingerprint().isEmpty());
    m_fingerprint->setVisible(!m_sync.peerFingerprint().isEmpty());
    showText(m_host, m_sync.host());
    showText(m_token, m_sync.token());
    const bool reveal = m_app.revealToken();
    m_token->setEchoMode(reveal ? QLineEdit::Normal : QLineEdit::Password);
    m_reveal->setText(reveal ? QStringLiteral("Nascondi") : QStringLiteral("Mostra"));
    m_connect->setText(m_sync.isConnected() || m_sync.isReconnecting()
                           ? QStringLiteral("Disconnetti")
                           : QStringLiteral("Connetti"));
    m_trust->setVisible(m_sync.certificateChanged());
    const QSignalBlocker quietReconnect(m_reconnect);
    m_reconnect->setChecked(m_sync.reconnects());
    // The box shows whether the entry is there, whoever put it there or took it away.
    const QSignalBlocker quiet(m_autostart);
    m_autostart->setChecked(m_app.autostart().isEnabled());
}

void ControlPanel::setAutostart(bool enabled) {
    const auto error = m_app.autostart().setEnabled(enabled);
    m_autostartError->setText(error ? QStringLiteral("Avvio all'accesso non modificato: ") + *error
                                    : QString());
    m_autostartError->setVisible(error.has_value());
    redraw();
}

}  // namespace clipwren
