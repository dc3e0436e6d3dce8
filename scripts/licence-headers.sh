#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Clipwren+ developers

# Puts the SPDX licence header at the top of every file of the project that lacks it (after a
# shebang or an XML declaration), in the file's own comment syntax; with --check, lists the
# files that lack it and fails if there is one. Files of the source folder (default: this
# checkout) as git knows them, untracked ones included, ignored ones not.
# Usage: licence-headers.sh [--check] [SOURCE_FOLDER]
set -euo pipefail
check=false
if [ "${1:-}" = --check ]; then
    check=true
    shift
fi
cd "${1:-$(dirname "$0")/..}"

copyright='SPDX-FileCopyrightText: 2026 The Clipwren+ developers'

# Texts with no room for a comment, and data: the licence itself, the Debian changelog and
# copyright file, the README, the fuzzers' seed inputs, JSON (which has no comments).
is_excluded() {
    case $1 in
        LICENSE | README.md | packaging/changelog | packaging/copyright | fuzz/corpus/* | *.json)
            return 0 ;;
    esac
    ! grep -Iq . "$1"  # binary files are data too
}

# The AppStream metadata is free for anyone to reuse; everything else is the program's.
licence_of() {
    case $1 in
        *.metainfo.xml) echo CC0-1.0 ;;
        *) echo GPL-3.0-or-later ;;
    esac
}

has_header() {
    head -n 5 "$1" | grep -q 'SPDX-License-Identifier: ' &&
        head -n 5 "$1" | grep -qF "$copyright"
}

header_of() {
    local licence
    licence=$(licence_of "$1")
    case $1 in
        *.cpp | *.h)
            printf '// SPDX-License-Identifier: %s\n// %s\n' "$licence" "$copyright" ;;
        *.xml | *.svg | *.plist.in)
            printf '<!-- SPDX-License-Identifier: %s -->\n<!-- %s -->\n' "$licence" "$copyright" ;;
        *)
            printf '# SPDX-License-Identifier: %s\n# %s\n' "$licence" "$copyright" ;;
    esac
}

add_header() {
    local file=$1 first kept=0 spacer='' updated
    first=$(head -n 1 "$file")
    # A shebang and an XML declaration must stay the first line.
    case $first in '#!'* | '<?xml'*) kept=1 ;; esac
    # Comment lines get a blank line after them unless one follows already; XML needs none.
    case $file in
        *.xml | *.svg | *.plist.in) ;;
        *) [ -n "$(sed -n "$((kept + 1))p" "$file")" ] && spacer=$'\n' ;;
    esac
    updated=$(mktemp)
    {
        head -n "$kept" "$file"
        header_of "$file"
        printf '%s' "$spacer"
        tail -n +"$((kept + 1))" "$file"
    } >"$updated"
    chmod --reference="$file" "$updated"
    mv "$updated" "$file"
}

missing=0
while IFS= read -r file; do
    [ -f "$file" ] && ! is_excluded "$file" && ! has_header "$file" || continue
    if $check; then
        echo "no licence header: $file" >&2
        missing=$((missing + 1))
    else
        add_header "$file"
        echo "header added: $file"
    fi
done < <(git ls-files --cached --others --exclude-standard | sort -u)
[ "$missing" -eq 0 ]
