#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Clipwren+ developers

# Clipwren+ and clipwren-peer side by side on this machine: each on an X server of its own,
# with user folders of its own, talking over 127.0.0.1:47832. A text, a PNG image and a file
# are copied on each side in turn; the demonstration succeeds (exit 0) when all six arrive
# intact on the other side. Everything it writes lies in one temporary folder, removed at
# the end, and nothing it started is left running.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=$root/build/bin/clipwren-plus
peer=$root/build/bin/clipwren-peer
for needed in "$program" "$peer"; do
    [ -x "$needed" ] || { echo "Manca $needed: compila prima il progetto (./run --demo)." >&2; exit 1; }
done
for tool in Xvfb xclip; do
    command -v "$tool" >/dev/null || { echo "Manca $tool (pacchetti xvfb e xclip)." >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/clipwren-demo.XXXXXX")
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# wait_until SECONDS COMMAND...: polls until the command succeeds or the time is up.
wait_until() {
    local limit=$(( $1 * 10 )) i
    shift
    for (( i = 0; i < limit; i++ )); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# A side: its X server and its own configuration, data and runtime folders.
declare -A display
start_side() {
    local side=$1
    mkdir -p "$work/$side/config" "$work/$side/data" "$work/$side/runtime" "$work/$side/files"
    chmod 700 "$work/$side/runtime"
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/$side/display" 2>/dev/null &
    pids+=("$!")
    wait_until 10 test -s "$work/$side/display" || { echo "Xvfb non parte." >&2; exit 1; }
    display[$side]=":$(head -n1 "$work/$side/display")"
}

# on SIDE COMMAND...: runs a command in that side's session.
on() {
    local side=$1
    shift
    env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="${display[$side]}" \
        XDG_CONFIG_HOME="$work/$side/config" XDG_DATA_HOME="$work/$side/data" \
        XDG_RUNTIME_DIR="$work/$side/runtime" "$@"
}

copy() {  # copy SIDE TARGET < bytes
    on "$1" xclip -selection clipboard -t "$2" -i >/dev/null 2>&1
}
paste() {  # paste SIDE TARGET > bytes
    on "$1" xclip -selection clipboard -t "$2" -o 2>/dev/null
}

log_has() { grep -q -- "$2" "$1" 2>/dev/null; }

start_side mac
start_side linux
code=$(head -c 4096 /dev/urandom | LC_ALL=C tr -dc 'A-HJ-NP-Z2-9' | cut -c1-16)

echo "== clipwren-peer sul lato Linux (${display[linux]}), codice $code"
printf '%s\n' "$code" | on linux "$peer" --listen 127.0.0.1 --port 47832 >"$work/peer.log" 2>&1 &
peer_pid=$!
pids+=("$peer_pid")
peer_settled() { log_has "$work/peer.log" "Impronta SHA-256" || ! kill -0 "$peer_pid" 2>/dev/null; }
wait_until 15 peer_settled || true
if ! log_has "$work/peer.log" "Impronta SHA-256"; then
    cat "$work/peer.log" >&2
    echo "Il peer non è partito (la porta 47832 è già in uso?)." >&2
    exit 1
fi
sed 's/^/   peer: /' "$work/peer.log"

echo "== Clipwren+ sul lato del programma (${display[mac]}), con --connect"
mkdir -p "$work/mac/config/ClipwrenPlus"
printf '[General]\nhost=127.0.0.1\ntoken=%s\n' "$code" >"$work/mac/config/ClipwrenPlus/ClipwrenPlus.conf"
on mac "$program" --connect --print-status >"$work/program.log" 2>"$work/program.err" &
program_pid=$!
pids+=("$program_pid")
program_settled() { log_has "$work/program.log" "Connesso" || ! kill -0 "$program_pid" 2>/dev/null; }
wait_until 20 program_settled || true
if ! log_has "$work/program.log" "Connesso"; then
    cat "$work/program.log" "$work/program.err" >&2
    echo "Il programma non si è collegato al peer." >&2
    exit 1
fi
sed 's/^/   programma: /' "$work/program.log"

other_side() { [ "$1" = mac ] && echo linux || echo mac; }
name_of() { [ "$1" = mac ] && echo "Clipwren+" || echo "Linux"; }

failures=0
report() {  # report OK|FAIL WHAT FROM TO DETAIL
    local mark="ok  "
    [ "$1" = OK ] || { mark="NO  "; failures=$((failures + 1)); }
    printf '   %s %-6s %s -> %s: %s\n' "$mark" "$2" "$(name_of "$3")" "$(name_of "$4")" "$5"
}

cross_text() {
    local from=$1 to
    to=$(other_side "$from")
    local text="Ciao da $(name_of "$from") ✓ $(date +%H:%M:%S.%N)"
    printf '%s' "$text" | copy "$from" UTF8_STRING
    if wait_until 10 eval '[ "$(paste "$to" UTF8_STRING)" = "$text" ]'; then
        report OK testo "$from" "$to" "«$(paste "$to" UTF8_STRING)»"
    else
        report FAIL testo "$from" "$to" "non arrivato"
    fi
}

# Two small images, one for each side: the same bytes sent back would count as known.
declare -A png_base64=(
    [mac]='iVBORw0KGgoAAAANSUhEUgAAAAQAAAAECAIAAAAmkwkpAAAAKUlEQVR4nA3HMQEAAAzCMIQhDGEVUVlbviSxcZGY1NZV+pmdm+yDxSF4F/IXwWmvaVAAAAAASUVORK5CYII='
    [linux]='iVBORw0KGgoAAAANSUhEUgAAAAUAAAADCAIAAADUVFKvAAAALklEQVR4nA3HMQEAAAjDsGlCzm40oWQi0NQL8kVIlGgxYj8yZdqMWf9DhQ4TNgcqmhnJLDCdGQAAAABJRU5ErkJggg=='
)
cross_image() {
    local from=$1 to
    to=$(other_side "$from")
    local sent="$work/$from/files/immagine.png" got="$work/$to/files/arrivata.png"
    base64 -d <<<"${png_base64[$from]}" >"$sent"
    copy "$from" image/png <"$sent"
    if wait_until 10 eval 'paste "$to" image/png >"$got" && cmp -s "$sent" "$got"'; then
        report OK png "$from" "$to" "$(stat -c %s "$got") byte, identici"
    else
        report FAIL png "$from" "$to" "non arrivata intatta"
    fi
}

cross_file() {
    local from=$1 to
    to=$(other_side "$from")
    local sent="$work/$from/files/nota-da-$from.txt"
    printf 'Una nota scritta su %s.\nSeconda riga.\n' "$(name_of "$from")" >"$sent"
    printf 'file://%s\r\n' "$sent" | copy "$from" text/uri-list
    local received=""
    arrived() {
        local url
        url=$(paste "$to" text/uri-list | tr -d '\r' | head -n1)
        received=${url#file://}
        [[ "$received" == "$work/$to/data/ClipwrenPlus/Received/"*/"nota-da-$from.txt" ]] &&
            cmp -s "$sent" "$received"
    }
    if wait_until 10 arrived; then
        report OK file "$from" "$to" "${received#"$work/"}"
    else
        report FAIL file "$from" "$to" "non arrivato intatto"
    fi
}

echo "== Copie, un lato alla volta"
for from in mac linux; do
    cross_text "$from"
    cross_image "$from"
    cross_file "$from"
done

echo "== Registro del peer"
sed 's/^/   /' "$work/peer.log"
echo "== Stato del programma"
sed 's/^/   /' "$work/program.log"

if [ "$failures" -eq 0 ]; then
    echo "Tutti e sei gli elementi sono arrivati intatti."
    exit 0
fi
echo "$failures elementi su sei non sono arrivati intatti." >&2
exit 1
