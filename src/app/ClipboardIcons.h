#pragma once

#include <QIcon>

namespace clipwren::icons {

// The tray item's two pictures: an outline clipboard while not connected, a filled one while
// connected.
QIcon outline();
QIcon filled();

inline QIcon forConnected(bool isConnected) {
    return isConnected ? filled() : outline();
}

}  // namespace clipwren::icons
