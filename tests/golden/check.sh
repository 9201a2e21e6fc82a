#!/usr/bin/env bash
# check.sh VORNASM SOURCE [VORNSIM VORNLIST]: assembles SOURCE.vorn and
# compares the image file with SOURCE.image and standard error with the
# expected error line. The exit status must be 0, as it is after every
# assembly error.
#
# Expectations:
# - the image: SOURCE.image; an err_* case without one expects an empty image;
# - standard error: SOURCE.stderr where the exact bytes matter, else the
#   source's own comment "; expect-error: MESSAGE", which expects the line
#   "Error: MESSAGE."; with neither, nothing.
# With VORNSIM and VORNLIST, the source also goes through `vornsim -s` and
# `vornlist -s`: after an assembly error, each must print vornasm's error line,
# then the hint of the source's comment "; expect-hint: HINT" (or of the
# file SOURCE.hint) as the line "hint: HINT" (none without either), and exit
# 1; a listing of a source that assembles prints no error.
set -u
vornasm=$1
source=$2
vornsim=${3:-}
vornlist=${4:-}
base=${source%.vorn}
name=$(basename "$base")
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
expected_image=$base.image
if [ ! -f "$expected_image" ] && [[ $name == err_* ]]; then
    expected_image=/dev/null
fi
if [ ! -f "$expected_image" ] && [ "$expected_image" != /dev/null ]; then
    echo "missing expected image $base.image"
    failed=1
elif ! cmp -s "$expected_image" "$work/image"; then
    echo "image differs from $expected_image:"
    diff "$expected_image" "$work/image" | head -20
    failed=1
fi
expected_stderr=$work/expected-stderr
if [ -f "$base.stderr" ]; then
    cp "$base.stderr" "$expected_stderr"
else
    message=$(sed -n 's/^.*; expect-error: \(.*\)$/\1/p' "$source" | head -1 | tr -d '\r')
    if [ -n "$message" ]; then
        printf 'Error: %s.\n' "$message" >"$expected_stderr"
    else
        : >"$expected_stderr"
    fi
fi
if ! cmp -s "$expected_stderr" "$work/stderr"; then
    echo "standard error differs:"
    diff "$expected_stderr" "$work/stderr" | head -20
    failed=1
fi

if [ -n "$vornsim" ] && [ -n "$vornlist" ]; then
    # After vornasm's error line, the analysis's hint on a line of its own:
    # the source's comment "; expect-hint: HINT", or the file SOURCE.hint
    # where the source's bytes matter, expects "hint: HINT".
    cp "$work/stderr" "$work/tool-expected"
    if [ -f "$base.hint" ]; then
        hint=$(cat "$base.hint")
    else
        hint=$(sed -n 's/^.*; expect-hint: \(.*\)$/\1/p' "$source" | head -1 | tr -d '\r')
    fi
    if [ -n "$hint" ]; then
        printf 'hint: %s\n' "$hint" >>"$work/tool-expected"
    fi
    for tool in "$vornsim" "$vornlist"; do
        command=("$tool" -s "$source")
        if [ -s "$work/stderr" ]; then
            # The assembly fails: the tool stops before it runs or lists.
            timeout 60 "${command[@]}" </dev/null >/dev/null 2>"$work/tool-stderr"
            toolStatus=$?
            if [ "$toolStatus" -ne 1 ] || ! cmp -s "$work/tool-expected" "$work/tool-stderr"; then
                echo "$(basename "$tool") -s: exit status $toolStatus, standard error:"
                diff "$work/tool-expected" "$work/tool-stderr" | head -5
                failed=1
            fi
        elif [ "$tool" = "$vornlist" ]; then
            timeout 60 "${command[@]}" </dev/null >/dev/null 2>"$work/tool-stderr"
            toolStatus=$?
            if [ "$toolStatus" -ne 0 ] || [ -s "$work/tool-stderr" ]; then
                echo "vornlist -s: exit status $toolStatus, standard error:"
                head -5 "$work/tool-stderr"
                failed=1
            fi
        fi
    done
fi
exit $failed
