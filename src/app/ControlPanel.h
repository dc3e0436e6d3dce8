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

class ClipwrenPlusApp;
class FingerprintView;
class SyncService;

// What the connect button does: it follows isConnected (or a reconnection under way) at the
// moment of the click, not the label, which may not have been redrawn yet.
void connectOrDisconnect(SyncService& sync);

// The whole user interface: title, status line, address and pairing code, the actions and
// quit. It keeps nothing of its own: every value it shows lives in the service or in the
// application, and it redraws from them after each change. Its size is always that of its
// content; whoever shows it hears of each new size through resized().
class ControlPanel : public QWidget {
    Q_OBJECT

public:
    explicit ControlPanel(ClipwrenPlusApp& app, QWidget* parent = nullptr);

Q_SIGNALS:
    void resized();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void styleTexts();
    void layOut();
    void wire();
    void redraw();
    void markInvalidField();
    void pressConnect();
    void setAutostart(bool enabled);

    ClipwrenPlusApp& m_app;
    SyncService& m_sync;
    QLabel* m_title;
    QLabel* m_status;
    QLineEdit* m_host;
    QLineEdit* m_token;
    QPushButton* m_reveal;
    QPushButton* m_connect;
    QPushButton* m_generate;
    QPushButton* m_copy;
    QPushButton* m_trust;
    QCheckBox* m_reconnect;
    QCheckBox* m_autostart;
    QLabel* m_autostartError;
    QLabel* m_fingerprintTitle;
    FingerprintView* m_fingerprint;
    QPushButton* m_quit;
};

}  // namespace clipwren
