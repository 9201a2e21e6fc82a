#!/usr/bin/env bash
# check-sources.sh GENERATOR VORNASM: the benchmark sources assemble without a
# message, the full-memory one into exactly 65536 lines, and come out the same
# on every run (the benchmark figures compare runs of the same bytes).
set -euo pipefail
generator=$1
vornasm=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$generator" full >"$work/full.vorn"
"$generator" full | cmp -s - "$work/full.vorn" || { echo "full source differs between runs"; exit 1; }
"$vornasm" "$work/full.vorn" "$work/full.image" 2>"$work/stderr"
[ ! -s "$work/stderr" ] || { echo "full source: $(cat "$work/stderr")"; exit 1; }
lines=$(wc -l <"$work/full.image")
[ "$lines" -eq 65536 ] || { echo "full source filled $lines cells, not 65536"; exit 1; }

"$generator" countdown 5 >"$work/countdown.vorn"
"$vornasm" "$work/countdown.vorn" "$work/countdown.image" 2>"$work/stderr"
[ ! -s "$work/stderr" ] || { echo "countdown: $(cat "$work/stderr")"; exit 1; }
printf '268435460\n-1879048192\n-1342111745\n-805306367\n5\n' | cmp -s - "$work/countdown.image" ||
    { echo "countdown image differs"; exit 1; }

if "$generator" countdown 0 >/dev/null 2>&1; then
    echo "a count of 0 (a loop that never halts) was accepted"
    exit 1
fi
