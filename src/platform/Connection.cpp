#include "platform/Connection.h"

namespace clipwren {

void Connection::cancel() {
    abandon();
    QMetaObject::invokeMethod(
        this,
        [this] {
            Q_EMIT stateChanged(State::Cancelled, QString());
            deleteLater();
        },
        Qt::QueuedConnection);
}

}  // namespace clipwren
