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
    sway kwin-wayland mutter xwayland x11-xserver-utils wl-clipboard qt6-wayland
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

# The top of the tree, wherever this file is sourced from.
CLIPWREN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# build/ is configured the same way by ./run and ./test, warnings as errors in both, so that
# neither rebuilds what the other built. Extra arguments go to CMake's configure step.
configure_project() {
    cmake -S "$CLIPWREN_ROOT" -B "$CLIPWREN_ROOT/build" -G Ninja -DCLIPWREN_WERROR=ON "$@" >/dev/null
}

# Everything: the programs, their tests and benchmarks, the package's files.
build_project() {
    configure_project "$@"
    cmake --build "$CLIPWREN_ROOT/build" --parallel "$(nproc)"
}

# The two programs alone, as ./run needs them.
build_programs() {
    local targets=(clipwren-plus)
    if [ "$(uname -s)" = Linux ]; then targets+=(clipwren-peer); fi
    configure_project "$@"
    cmake --build "$CLIPWREN_ROOT/build" --parallel "$(nproc)" --target "${targets[@]}"
}

# The tray program and its tests with nothing Linux-only in them, as they build on the Mac:
# Qt's clipboard, no companion, no package.
build_portable() {
    cmake -S "$CLIPWREN_ROOT" -B "$CLIPWREN_ROOT/build-portable" -G Ninja \
        -DCLIPWREN_LINUX_BACKENDS=OFF "$@" >/dev/null
    cmake --build "$CLIPWREN_ROOT/build-portable" --parallel "$(nproc)"
}
