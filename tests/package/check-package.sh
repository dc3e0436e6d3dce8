#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Clipwren+ developers

# Builds the Debian package from a build folder and checks it as a user's machine takes it:
# contents, lintian and the other validators, both programs and their manual pages from the
# unpacked copy, systemd accepts the user unit.
# Usage: check-package.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
id=org.clipwren.ClipwrenPlus
work=$(mktemp -d "${TMPDIR:-/tmp}/clipwren-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
fail() { echo "NO: $*" >&2; failures=$((failures + 1)); }
# finds [x] WHAT TEXT PIECE...: TEXT holds every PIECE (with x: as a whole line).
finds() {
    local flags=-qF$1 what=$2 text=$3 piece
    shift 3
    for piece; do grep "$flags" -- "$piece" <<<"$text" || fail "$what lacks «$piece»"; done
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; exit 1; }
deb=$(echo "$work"/out/clipwren-plus_*.deb)
[ -f "$deb" ] || { echo "not one package built: $deb" >&2; exit 1; }

# The fields, with the dependencies dpkg-shlibdeps found beside the plugins we name.
finds x Section "$(dpkg-deb -f "$deb" Section)" utils
finds x Depends "$(dpkg-deb -f "$deb" Depends | tr , '\n' | awk '{print $1}')" libqt6widgets6 \
    libqt6network6 libssl3 qt6-qpa-plugins libqt6svg6 qt6-translations-l10n

# Exactly these files, nothing from the tests or the benchmarks.
wanted=$(printf './usr/%s\n' bin/clipwren-peer bin/clipwren-plus share/metainfo/$id.metainfo.xml \
    share/man/man1/clipwren-{peer,plus}.1.gz share/doc/clipwren-plus/{copyright,changelog.gz} \
    lib/systemd/user/clipwren-peer.service share/applications/$id.desktop \
    share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/{16,24,32,48,64,128,256}/$id.png |
    sed -E "s|/([0-9]+)/$id.png|/\1x\1/apps/$id.png|" | sort)
differences=$(diff <(echo "$wanted") <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)) ||
    fail "file list differs:"$'\n'"$differences"

# Debian's own checker: no error and no warning. Its pedantic notes are printed, not failed on.
checked=$(lintian --pedantic --display-info --fail-on error,warning "$deb" 2>&1) ||
    fail "lintian"$'\n'"$checked"
grep -v '^running with root privileges' <<<"$checked" || true

root=$work/root
dpkg-deb -x "$deb" "$root"
entry=$root/usr/share/applications/$id.desktop
unit=$root/usr/lib/systemd/user/clipwren-peer.service

validation=$(desktop-file-validate "$entry" 2>&1) && [ -z "$validation" ] ||
    fail "desktop-file-validate"$'\n'"$validation"
validation=$(appstreamcli validate --no-net --no-color "$root/usr/share/metainfo/$id.metainfo.xml" \
    2>&1) || fail "appstreamcli validate"$'\n'"$validation"
finds x "the desktop entry" "$(<"$entry")" "Icon=$id" Exec=clipwren-plus Name=Clipwren+ \
    'Categories=Utility;Qt;' StartupNotify=false

# Both programs, from the unpacked copy, answer --help in Italian only.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/clipwren-plus" --help) ||
    fail "clipwren-plus --help"
finds "" "clipwren-plus --help" "$help" Utilizzo: Opzioni: 'Mostra questo aiuto ed esce.' \
    --connect --print-status
! grep -E 'Usage|Options|Displays|help-all|qmljsdebugger' <<<"$help" || fail "Qt's own --help"
help=$("$root/usr/bin/clipwren-peer" --help) || fail "clipwren-peer --help"
finds "" "clipwren-peer --help" "$help" 'Uso: clipwren-peer' --save-token --token-file

# man finds both pages where the package puts them, and shows our own sections beside the
# options that help2man took from --help.
for program in clipwren-plus clipwren-peer; do
    page=$(MANPATH=$root/usr/share/man LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings "$program" 2>&1) ||
        fail "man $program"$'\n'"$page"
    finds x "man $program" "$page" NOME SINTASSI DESCRIZIONE OPZIONI "STATO D'USCITA" FILE \
        "VEDERE ANCHE"
    finds "" "man $program" "$page" "$program - " --help '~/.local/share/ClipwrenPlus/Received/'
done
finds "" "man clipwren-peer" "$page" 'SERVIZIO SYSTEMD' --token-file \
    /usr/lib/systemd/user/clipwren-peer.service 'systemctl --user enable --now clipwren-peer'
# A new version needs its own entry at the top of the changelog.
changes=$(gzip -dc "$root/usr/share/doc/clipwren-plus/changelog.gz" | head -1)
[ "$changes" = "clipwren-plus ($(dpkg-deb -f "$deb" Version)) unstable; urgency=medium" ] ||
    fail "the changelog's last entry is not this version: $changes"

# The code the unit reads is where --save-token puts it, private to the user.
finds x "the unit" "$(<"$unit")" PartOf=graphical-session.target After=graphical-session.target \
    'ExecStart=clipwren-peer --token-file %E/ClipwrenPlus/peer-token' Restart=on-failure \
    RestartPreventExitStatus=3 WantedBy=graphical-session.target
printf 'ABCDEFGHJKLMNPQR\n' | XDG_CONFIG_HOME=$work/config "$root/usr/bin/clipwren-peer" \
    --save-token >/dev/null || fail "clipwren-peer --save-token"
[ "$(stat -c %a "$work/config/ClipwrenPlus/peer-token" 2>/dev/null)" = 600 ] ||
    fail "the saved code is not private to the user"

# Where systemd-analyze is installed; verify looks for the program here: the unpacked one.
if command -v systemd-analyze >/dev/null; then
    mkdir -m 700 "$work/runtime"
    sed "s|^ExecStart=clipwren-peer|ExecStart=$root/usr/bin/clipwren-peer|" "$unit" \
        >"$work/clipwren-peer.service"
    verified=$(XDG_RUNTIME_DIR=$work/runtime systemd-analyze --user verify \
        "$work/clipwren-peer.service" 2>&1) && [ -z "$verified" ] ||
        fail "systemd-analyze verify"$'\n'"$verified"
fi

[ "$failures" -eq 0 ] || { echo "$failures checks of the package failed" >&2; exit 1; }
