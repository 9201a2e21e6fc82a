#!/usr/bin/env bash
# check.sh VORNDBG SESSION: runs a golden session of vorndbg and compares the
# whole transcript.
#
# A session file opens with "# args: ..." (vorndbg's arguments, paths from the
# repository's root) and "# status: N" (the exit status). The rest is the
# transcript: each line that starts with "+" is a command (the rest of the
# line, fed to --batch on standard input, and echoed so by
# "set trace-commands on"), every other line what vorndbg wrote, standard
# output and standard error together. VORN_UPDATE_GOLDEN=1 rewrites the
# transcript from the run instead.
set -uo pipefail
vorndbg=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
session=$2
root=$(cd "$(dirname "$0")/../.." && pwd)

args=$(sed -n 's/^# args: //p' "$session" | head -1)
status=$(sed -n 's/^# status: //p' "$session" | head -1)
expected=$(grep -v '^# \(args\|status\): ' "$session")
commands=$(sed -n 's/^+//p' "$session")

actual=$(cd "$root" && { echo "set trace-commands on"; printf '%s\n' "$commands"; } |
    timeout 60 "$vorndbg" --batch $args 2>&1)
actualStatus=$?

if [ "${VORN_UPDATE_GOLDEN:-0}" = 1 ]; then
    { echo "# args: $args"; echo "# status: $actualStatus"; printf '%s\n' "$actual"; } >"$session"
    exit 0
fi
if [ "$actual" != "$expected" ]; then
    echo "transcript differs from $session:"
    diff -u <(printf '%s\n' "$expected") <(printf '%s\n' "$actual")
    exit 1
fi
if [ "$actualStatus" != "$status" ]; then
    echo "exit status $actualStatus, expected $status"
    exit 1
fi
