#include "platform/ClipboardBackend.h"

#include <QLoggingCategory>

#include "platform/QtPasteboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandPasteboard.h"

namespace clipwren {

Q_LOGGING_CATEGORY(lcBackend, "clipwren.clipboard", QtWarningMsg)

bool sessionOffersDataControl() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           wayland::WaylandConnection::open().connection != nullptr;
}

ClipboardBackend chooseClipboardBackend(qint64 readCap) {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qCDebug(lcBackend) << "no Wayland session: Qt's clipboard";
        return {std::make_unique<QtPasteboard>(), QString()};
    }
    auto opened = wayland::WaylandConnection::open();
    if (opened.connection) {
        qCDebug(lcBackend) << "Wayland data-control";
        return {std::make_unique<wayland::WaylandPasteboard>(std::move(opened.connection), readCap),
                QString()};
    }
    qCDebug(lcBackend) << "Qt's clipboard:" << opened.error;
    const QString limit = QStringLiteral(
        ": gli appunti passano da Xwayland e si sincronizzano solo mentre è attiva una finestra "
        "X11, non mentre lavori in un'applicazione Wayland.");
    if (opened.withoutDataControl) {
        return {std::make_unique<QtPasteboard>(),
                QStringLiteral("Questa sessione Wayland non offre data-control") + limit};
    }
    return {std::make_unique<QtPasteboard>(),
            QStringLiteral("Appunti Wayland non raggiungibili (") + opened.error + u')' + limit};
}

}  // namespace clipwren
