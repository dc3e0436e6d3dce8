#pragma once

#include <QLineEdit>
#include <QPushButton>

#include "ClipboardIcons.h"
#include "ClipwrenPlusApp.h"
#include "ControlPanel.h"
#include "TrayItem.h"
#include "support/FakeConnection.h"
#include "support/Testing.h"

namespace clipwren::test {

inline const QString validCode = QStringLiteral("ABCDEFGHJKLMNPQR");

// The program, launched on a fake network unless given another way to the peer, with the
// parts of its panel that the tests read and press.
struct Launched {
    explicit Launched(std::optional<SyncService::ConnectionFactory> factory = {},
                      const LaunchOptions& options = {})
        : app(factory ? *factory : network.factory()) {
        app.launch(options);
    }

    template <typename Widget = QWidget>
    Widget* part(const char* name) const {
        return app.panel() ? app.panel()->findChild<Widget*>(QString::fromLatin1(name)) : nullptr;
    }
    QString text(const char* name) const { return part(name)->property("text").toString(); }
    QLineEdit* field(const char* name) const { return part<QLineEdit>(name); }
    void click(const char* name) const {
        QTest::mouseClick(part<QAbstractButton>(name), Qt::LeftButton);
    }
    // Types a valid address and code and presses "Connetti".
    void connect() const {
        QTest::keyClicks(field("host"), u"127.0.0.1"_s);
        QTest::keyClicks(field("token"), validCode);
        click("connect");
    }
    // The fake connection made last says it is ready; the panel follows.
    bool ready() const {
        network.last()->report(Connection::State::Ready);
        return QTest::qWaitFor([this] { return text("connect") == u"Disconnetti"_s; });
    }
    bool trayShows(const QIcon& icon) const {
        const QSize size(32, 32);
        return app.trayItem()->icon().icon().pixmap(size).toImage() == icon.pixmap(size).toImage();
    }

    FakeNetwork network;
    ClipwrenPlusApp app;
};

}  // namespace clipwren::test
