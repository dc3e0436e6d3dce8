// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace clipwren {

class FingerprintView;
class PanelState;
class SyncService;

// The whole user interface: title, status line, address and pairing code, the actions and
// quit. It keeps nothing of its own: every value it shows lives in the service or in the
// panel state, and it redraws from them after each change. Its size is always that of its
// content; whoever shows it hears of each new size through resized().
class ControlPanel : public QWidget {
    Q_OBJECT

public:
    ControlPanel(SyncService& sync, PanelState& state, QWidget* parent = nullptr);

Q_SIGNALS:
    void resized();
    // "Esci da Clipwren+".
    void quitRequested();

protected:
    // Each opening puts the focus in the first empty field, or on the connect button.
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void styleTexts();
    void layOut();
    void wire();
    void redraw();
    void markInvalidField();
    void pressConnect();
    void explainButtons();
    void setAutostart(bool enabled);

    SyncService& m_sync;
    PanelState& m_state;
    QLabel* m_title;
    QLabel* m_status;
    QLineEdit* m_host;
    QLineEdit* m_token;
    QPushButton* m_reveal;
    QPushButton* m_connect;
    QPushButton* m_cancelWait;
    QPushButton* m_generate;
    QPushButton* m_copy;
    QPushButton* m_trust;
    QCheckBox* m_reconnect;
    QCheckBox* m_autostart;
    QCheckBox* m_notify;
    QLabel* m_autostartError;
    QLabel* m_fingerprintTitle;
    FingerprintView* m_fingerprint;
    QPushButton* m_quit;
};

}  // namespace clipwren
