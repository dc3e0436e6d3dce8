#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it as a user's machine would take
# it: what it holds, that the desktop entry and the metainfo pass their validators, that both
# programs run from an unpacked copy, and that systemd accepts the user unit.
# Usage: check-package.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
id=org.clipwren.ClipwrenPlus
work=$(mktemp -d "${TMPDIR:-/tmp}/clipwren-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
fail() { echo "NO: $*" >&2; failures=$((failures + 1)); }
# expect_quiet WHAT COMMAND...: the command succeeds and prints nothing at all.
expect_quiet() {
    local what=$1 output
    shift
    if ! output=$("$@" 2>&1) || [ -n "$output" ]; then fail "$what"$'\n'"$output"; fi
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; exit 1; }
debs=("$work"/out/clipwren-plus_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "no package built" >&2; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# The fields, with the dependencies dpkg-shlibdeps found beside the plugins we name.
[ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "section is not utils"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6network6 libssl3 qt6-qpa-plugins libqt6svg6 \
    qt6-translations-l10n; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done

# Exactly these files, nothing from the tests or the benchmarks.
expected=(
    ./usr/bin/clipwren-peer
    ./usr/bin/clipwren-plus
    ./usr/lib/systemd/user/clipwren-peer.service
    ./usr/share/applications/$id.desktop
    ./usr/share/icons/hicolor/scalable/apps/$id.svg
    ./usr/share/metainfo/$id.metainfo.xml
)
for side in 16 24 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${side}x${side}/apps/$id.png")
done
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[ "$actual" = "$wanted" ] || fail "file list differs:"$'\n'"$(diff <(echo "$wanted") <(echo "$actual"))"

root=$work/root
dpkg-deb -x "$deb" "$root"

# Hints may stay: Utility and Network are both main categories, and the entry wants both.
validation=$(desktop-file-validate "$root/usr/share/applications/$id.desktop" 2>&1) ||
    fail "desktop-file-validate"$'\n'"$validation"
if grep -v ': hint: ' <<<"$validation" | grep -q .; then
    fail "desktop-file-validate"$'\n'"$validation"
fi
appstreamcli validate --no-net --no-color "$root/usr/share/metainfo/$id.metainfo.xml" \
    >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log" >&2; fail "appstreamcli validate"; }
entry=$root/usr/share/applications/$id.desktop
grep -qx "Icon=$id" "$entry" || fail "desktop entry names another icon"
grep -qx "Exec=clipwren-plus" "$entry" || fail "desktop entry starts something else"
for line in 'Name=Clipwren+' 'Categories=Utility;Network;Qt;' 'StartupNotify=false'; do
    grep -qxF "$line" "$entry" || fail "desktop entry lacks $line"
done

# Both programs, from the unpacked copy, answer --help in Italian only.
program_help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/clipwren-plus" --help) ||
    fail "clipwren-plus --help"
for text in 'Utilizzo:' 'Opzioni:' 'Mostra questo aiuto ed esce.' '--connect' '--print-status'; do
    [[ "$program_help" == *"$text"* ]] || fail "clipwren-plus --help lacks «$text»"
done
for english in Usage Options Displays 'help-all' qmljsdebugger; do
    [[ "$program_help" != *"$english"* ]] || fail "clipwren-plus --help says «$english»"
done
peer_help=$("$root/usr/bin/clipwren-peer" --help) || fail "clipwren-peer --help"
for text in 'Uso: clipwren-peer' '--save-token' '--token-file'; do
    [[ "$peer_help" == *"$text"* ]] || fail "clipwren-peer --help lacks «$text»"
done

# The code the unit reads is where --save-token puts it, private to the user.
unit=$root/usr/lib/systemd/user/clipwren-peer.service
grep -qx 'ExecStart=clipwren-peer --token-file %E/ClipwrenPlus/peer-token' "$unit" ||
    fail "the unit reads the code from elsewhere"
for line in 'PartOf=graphical-session.target' 'After=graphical-session.target' \
    'Restart=on-failure' 'WantedBy=graphical-session.target'; do
    grep -qxF "$line" "$unit" || fail "the unit lacks $line"
done
mkdir -p "$work/config"
printf 'ABCDEFGHJKLMNPQR\n' | XDG_CONFIG_HOME=$work/config "$root/usr/bin/clipwren-peer" \
    --save-token >/dev/null || fail "clipwren-peer --save-token"
[ "$(stat -c %a "$work/config/ClipwrenPlus/peer-token" 2>/dev/null)" = 600 ] ||
    fail "the saved code is not private to the user"

if command -v systemd-analyze >/dev/null; then
    # verify looks for the program on this machine: point it at the unpacked one.
    mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
    sed "s|^ExecStart=clipwren-peer|ExecStart=$root/usr/bin/clipwren-peer|" "$unit" \
        >"$work/clipwren-peer.service"
    expect_quiet "systemd-analyze verify" env XDG_RUNTIME_DIR="$work/runtime" \
        systemd-analyze --user verify "$work/clipwren-peer.service"
else
    echo "systemd-analyze is not installed: unit not verified"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures checks of the package failed" >&2
    exit 1
fi
echo "package checked: contents, validators, --help of both programs, user unit"
