#!/usr/bin/env bash
# check.sh VORNASM SOURCE: assembles SOURCE.vorn and compares the image file
# with SOURCE.image and standard error with SOURCE.stderr (absent: empty).
# The exit status must be 0, as it is after every assembly error.
set -u
vornasm=$1
source=$2
base=${source%.vorn}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf 'stale image\n' >"$work/image"   # must be replaced, even when the run fails
"$vornasm" "$source" "$work/image" 2>"$work/stderr"
status=$?
failed=0
if [ "$status" -ne 0 ]; then
    echo "exit status $status, expected 0"
    failed=1
fi
if [ ! -f "$base.image" ]; then
    echo "missing expected image $base.image"
    failed=1
elif ! cmp -s "$base.image" "$work/image"; then
    echo "image differs from $base.image:"
    diff "$base.image" "$work/image" | head -20
    failed=1
fi
expected_stderr=/dev/null
[ -f "$base.stderr" ] && expected_stderr=$base.stderr
if ! cmp -s "$expected_stderr" "$work/stderr"; then
    echo "standard error differs:"
    diff "$expected_stderr" "$work/stderr" | head -20
    failed=1
fi
exit $failed
