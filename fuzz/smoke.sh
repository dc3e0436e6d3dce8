#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Clipwren+ developers

# Builds the fuzz targets with clang into the folder given, then runs each for a few seconds
# (FUZZ_SECONDS, default 5) on a scratch copy of its seed corpus. Fails on any finding.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(mkdir -p "${1:?usage: smoke.sh BUILD_FOLDER}" && cd "$1" && pwd)
seconds=${FUZZ_SECONDS:-5}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --parallel "${FUZZ_JOBS:-1}" >/dev/null
export LSAN_OPTIONS="suppressions=$here/../sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1
for target in fuzz_stream fuzz_base64 fuzz_files; do
    scratch=$(mktemp -d)
    log="$build/$target.log"
    if ! (cd "$scratch" && "$build/$target" -max_total_time="$seconds" -max_len=65536 \
            "$scratch" "$here/corpus/$target" >"$log" 2>&1); then
        tail -n 40 "$log"
        rm -rf "$scratch"
        exit 1
    fi
    rm -rf "$scratch"
    echo "$target: $(grep -Eo '^Done [0-9]+ runs in [0-9]+ second' "$log")"
done
