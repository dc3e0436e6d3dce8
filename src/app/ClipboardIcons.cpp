#include "ClipboardIcons.h"

namespace clipwren::icons {

QIcon outline() {
    return QIcon(QStringLiteral(":/icons/clipboard.svg"));
}

QIcon filled() {
    return QIcon(QStringLiteral(":/icons/clipboard-fill.svg"));
}

}  // namespace clipwren::icons
