#!/usr/bin/env bash
# PrairieLearn's external grader runs this in the course's image (one with
# the Vorn tools installed): the question's tests/ folder holds it and
# suite.toml, the student's file is in /grade/student. A file that is no
# source at all (empty, binary) is reported not gradable: no attempt is lost.
set -u
root=${GRADE_ROOT:-/grade}
program=${PROGRAM:-program.vorn}
mkdir -p "$root/results"
vorngrade --prairielearn "$root/results/results.json" "$root/tests/suite.toml" \
    "$root/student/$program"
status=$?
if [ "$status" -gt 1 ]; then
    echo "vorngrade could not grade (exit status $status)" >&2
    exit "$status"
fi
exit 0
