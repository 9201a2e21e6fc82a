#!/usr/bin/env bash
# run.sh VORNASM VORNSIM SOURCE: assembles SOURCE.vorn, runs the image with
# SOURCE.input on standard input, and compares what it writes with
# SOURCE.expected; then runs the source directly (vornsim --source) with the
# input given as a file, which must write the same. Both runs must halt
# (status 0) and print nothing on standard error.
set -u
vornasm=$1
vornsim=$2
source=$3
base=${source%.vorn}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
check() {  # check WHAT: compares the run in $work with the expectations
    if [ "$status" -ne 0 ]; then
        echo "$1: exit status $status, expected 0"
        failed=1
    fi
    if [ -s "$work/stderr" ]; then
        echo "$1: standard error is not empty:"
        head -5 "$work/stderr"
        failed=1
    fi
    if ! cmp -s "$base.expected" "$work/stdout"; then
        echo "$1: output differs from $base.expected:"
        diff "$base.expected" "$work/stdout" | head -20
        failed=1
    fi
}

"$vornasm" "$source" "$work/image" || { echo "vornasm failed"; exit 1; }
"$vornsim" "$work/image" <"$base.input" >"$work/stdout" 2>"$work/stderr"
status=$?
check "image"

"$vornsim" --source --input "$base.input" "$source" </dev/null >"$work/stdout" 2>"$work/stderr"
status=$?
check "source"
exit $failed
