#pragma once

#include <QWidget>

#include "ClipboardIcons.h"
#include "ClipwrenPlusApp.h"
#include "ControlPanel.h"
#include "TrayItem.h"

namespace clipwren::test {

inline const QString validCode = QStringLiteral("ABCDEFGHJKLMNPQR");

// A widget of the open panel, by its objectName.
template <typename Widget>
Widget* part(const ClipwrenPlusApp& app, const char* name) {
    return app.panel() ? app.panel()->findChild<Widget*>(QString::fromLatin1(name)) : nullptr;
}

inline QImage picture(const QIcon& icon) {
    return icon.pixmap(QSize(32, 32)).toImage();
}

inline bool showsFilledIcon(const ClipwrenPlusApp& app) {
    return picture(app.trayItem()->icon().icon()) == picture(icons::filled());
}

inline bool showsOutlineIcon(const ClipwrenPlusApp& app) {
    return picture(app.trayItem()->icon().icon()) == picture(icons::outline());
}

}  // namespace clipwren::test
