#!/usr/bin/env bash
# check-copyright.sh SOURCE_DIR: the Debian package's copyright file, made
# from LICENSE, names LICENSE's holder and carries its text word for word.
set -euo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -DLICENSE="$root/LICENSE" -DOUTPUT="$work/copyright" -P "$root/packaging/debian-copyright.cmake"

fail() { echo "FAIL: $*" >&2; exit 1; }
head -1 "$work/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "not the machine-readable format"
holder=$(sed -n 's/^Copyright (c) //p' "$root/LICENSE")
grep -qx "Copyright: $holder" "$work/copyright" || fail "the holder is not '$holder'"
grep -qx 'License: MIT' "$work/copyright" || fail "no 'License: MIT'"
# The license's text: each line after "License:" without its one space, " ." an empty line.
sed -n '/^License: MIT$/,$p' "$work/copyright" | tail -n +2 | sed 's/^ //; s/^\.$//' > "$work/text"
sed -n '/^Permission is hereby granted/,$p' "$root/LICENSE" > "$work/expected"
diff -u "$work/expected" "$work/text" || fail "the license's text differs from LICENSE"
