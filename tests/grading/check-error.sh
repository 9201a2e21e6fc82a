#!/usr/bin/env bash
# check-error.sh VORNGRADE SUITE: grades a correct program against SUITE, a
# suite with one error, and compares standard error with the line that the
# suite's first line gives after "# expect: ". Standard output must be empty
# and the exit status 2. Run in the suite's folder, so that the message names
# it as written there.
set -u
vorngrade=$1
cd "$(dirname "$2")" || exit 1
suite=$(basename "$2")
expected=$(head -n 1 "$suite" | sed -n 's/^# expect: //p')
if [ -z "$expected" ]; then
    echo "$suite: the first line must be '# expect: MESSAGE'"
    exit 1
fi
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
out=$("$vorngrade" "$suite" ../reports/pass.vorn 2>"$errors")
status=$?
err=$(cat "$errors")
failed=0
if [ "$status" -ne 2 ]; then
    echo "exit status $status, expected 2"
    failed=1
fi
if [ -n "$out" ]; then
    echo "standard output not empty: $out"
    failed=1
fi
if [ "$err" != "$expected" ]; then
    printf 'standard error:\n  got      %s\n  expected %s\n' "$err" "$expected"
    failed=1
fi
exit $failed
