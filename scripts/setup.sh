# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Clipwren+ developers

# Shared by ./run and ./test: installs what is missing, then configures and builds.
# Sourced, not executed.

CLIPWREN_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-image-formats-plugins qt6-translations-l10n
    libgl-dev libvulkan-dev libxkbcommon-dev
    libssl-dev libsimdjson-dev
    xvfb xclip fonts-dejavu-core dbus-daemon
    libwayland-dev libwayland-bin libxcb1-dev libxcb-xfixes0-dev
    sway kwin-wayland xwayland x11-xserver-utils wl-clipboard qt6-wayland
    dpkg-dev file desktop-file-utils appstream systemd lintian help2man locales man-db
    clang libclang-rt-14-dev
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
    local missing=()
    local package
    for package in "${CLIPWREN_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get update
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

# Extra arguments go to CMake's configure step.
build_project() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    cmake -S "$root" -B "$root/build" -G Ninja "$@" >/dev/null
    cmake --build "$root/build" --parallel "$(nproc)"
}

# The tray program and its tests with nothing Linux-only in them, as they build on the Mac:
# Qt's clipboard, no companion, no package.
build_portable() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    cmake -S "$root" -B "$root/build-portable" -G Ninja -DCLIPWREN_LINUX_BACKENDS=OFF "$@" >/dev/null
    cmake --build "$root/build-portable" --parallel "$(nproc)"
}
