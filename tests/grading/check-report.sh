#!/usr/bin/env bash
# check-report.sh VORNGRADE SUITE: grades the programs that SUITE.programs
# lists (one a line, paths from the suite's folder) and compares the reports
# byte for byte with the files beside the suite: SUITE.txt (the text report)
# and, where they exist, SUITE.json, SUITE.xml (JUnit) and SUITE.csv; and the
# exit statuses of the two runs (text, JSON) with SUITE.status. Where they
# exist, also SUITE.summary (--summary), SUITE.teacher.txt (--teacher),
# SUITE.coverage (with --coverage: the text and JSON reports, the lines of
# the --teacher text report that say which lines no case ran, then the JUnit
# report, the CSV grade book, each listing and each program's platform
# results files, each after a line "== WHAT") and
# SUITE.platforms: each program's results file for each grading platform, a
# line "== PROGRAM --FORMAT" before each. Run in the suite's folder, so that
# the reports name the files as written there. With VORN_UPDATE_GOLDEN=1 it
# writes what the reports now are over the expected files instead (read the
# diff before committing it).
set -u
vorngrade=$1
cd "$(dirname "$2")" || exit 1
suite=$(basename "$2")
base=${suite%.toml}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mapfile -t programs <"$base.programs"

failed=0
compare() {  # compare EXPECTED ACTUAL
    if [ "$1" != "$base.txt" ] && [ "$1" != "$base.status" ] && [ ! -e "$1" ]; then
        return
    fi
    if [ -n "${VORN_UPDATE_GOLDEN:-}" ]; then
        cp "$2" "$1"
        return
    fi
    if ! cmp -s "$1" "$2"; then
        echo "$2 differs from $1:"
        diff "$1" "$2" | head -20
        failed=1
    fi
}
"$vorngrade" --color never --junit "$work/report.xml" --csv "$work/report.csv" "$suite" \
    "${programs[@]}" >"$work/report.txt" 2>"$work/stderr"
echo "$?" >"$work/status"
"$vorngrade" --json -j 3 "$suite" "${programs[@]}" >"$work/report.json" 2>>"$work/stderr"
echo "$?" >>"$work/status"
if [ -e "$base.summary" ]; then
    "$vorngrade" --summary "$suite" "${programs[@]}" >"$work/report.summary" 2>>"$work/stderr"
    compare "$base.summary" "$work/report.summary"
fi
if [ -e "$base.teacher.txt" ]; then
    "$vorngrade" --color never --teacher "$suite" "${programs[@]}" >"$work/report.teacher.txt" \
        2>>"$work/stderr"
    compare "$base.teacher.txt" "$work/report.teacher.txt"
fi
if [ -e "$base.coverage" ]; then
    {
        "$vorngrade" --color never --coverage "$work/coverage" --junit "$work/coverage.xml" \
            --csv "$work/coverage.csv" "$suite" "${programs[@]}"
        "$vorngrade" --json --coverage "$work/coverage" "$suite" "${programs[@]}"
        "$vorngrade" --color never --teacher --coverage "$work/coverage" "$suite" \
            "${programs[@]}" | grep -e '^  no case ran line' -e '^  every instruction ran'
        echo "== --junit"
        cat "$work/coverage.xml"
        echo "== --csv"
        cat "$work/coverage.csv"
        for listing in "$work"/coverage/*; do
            echo "== ${listing##*/}"
            cat "$listing"
        done
        for program in "${programs[@]}"; do
            for format in gradescope prairielearn github-classroom; do
                echo "== $program --$format"
                "$vorngrade" --coverage "$work/coverage" "--$format" "$work/results.json" \
                    "$suite" "$program" >/dev/null
                cat "$work/results.json"
            done
        done
    } >"$work/report.coverage" 2>>"$work/stderr"
    compare "$base.coverage" "$work/report.coverage"
fi
if [ -e "$base.platforms" ]; then
    for program in "${programs[@]}"; do
        for format in gradescope prairielearn github-classroom; do
            echo "== $program --$format"
            "$vorngrade" "--$format" "$work/results.json" "$suite" "$program" >/dev/null \
                2>>"$work/stderr"
            cat "$work/results.json"
        done
    done >"$work/report.platforms"
    compare "$base.platforms" "$work/report.platforms"
fi
compare "$base.txt" "$work/report.txt"
compare "$base.json" "$work/report.json"
compare "$base.xml" "$work/report.xml"
compare "$base.csv" "$work/report.csv"
compare "$base.status" "$work/status"
compare /dev/null "$work/stderr"
exit $failed
