#!/usr/bin/env bash
# Each command's manual page renders with no warning and names every option
# that the command's --help lists.
#   check-manpages.sh MAN_DIR COMMAND...
set -euo pipefail
man_dir=$1
shift
status=0
for command in "$@"; do
    name=$(basename "$command")
    page=$man_dir/$name.1
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
    if [ -n "$warnings" ]; then
        echo "FAIL: $name.1 renders with warnings:" >&2
        echo "$warnings" >&2
        status=1
    fi
    [ "$name" = vornasm ] && continue  # no options: exactly two arguments
    rendered=$(MANWIDTH=200 man -l "$page" 2>/dev/null | col -b)
    for option in $("$command" --help | grep -oE -- '(^|[ ,])--?[A-Za-z][A-Za-z-]*' | tr -d ' ,' | sort -u); do
        if ! grep -qe "$option\\b" <<<"$rendered"; then
            echo "FAIL: $name --help lists $option, its manual page does not" >&2
            status=1
        fi
    done
done
exit $status
