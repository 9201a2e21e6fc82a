#!/usr/bin/env bash
# check.sh [--update] [--no-trace] VORNASM VORNSIM VORNLIST VORNDBG CASE.vorn...:
# runs each case through the tools as a user does and compares every view of
# it with its expected file; --update writes the expected files from the runs
# instead, and --no-trace leaves out the trace view, for a vornsim built
# without trace support.
#
# A case is a source NAME.vorn, with NAME.input when it reads (standard input,
# else nothing), and a comment line "; vornsim: OPTIONS" for options of its
# runs. Its views, each an expected file beside the source:
#
#   NAME.run     vornsim -s OPTIONS NAME.vorn <NAME.input
#   NAME.trace   the same with --trace (not with --no-trace)
#   NAME.list    vornlist -s NAME.vorn
#   NAME.debug   vorndbg --batch -s -x NAME.dbg NAME.vorn (only with NAME.dbg,
#                a debugger script; the input is given with --input)
#   NAME.profile vornsim -s OPTIONS --profile PROFILE --profile-format FORMAT,
#                the profile, and for CSV vornlist -s --profile PROFILE (only
#                with a comment line "; profile: FORMAT")
#
# Each expected file holds the command, its standard output, its standard
# error and its exit status (see `render`). Another view is one more row in
# `views` and a function that runs it. Besides, when vornasm reports an error
# for the source, every view's standard error must be exactly vornasm's,
# followed by no more than the analysis's "hint: " line.
set -u
update=0
tracing=1
while [ $# -gt 0 ]; do
    case $1 in
        --update) update=1 ;;
        --no-trace) tracing=0 ;;
        *) break ;;
    esac
    shift
done
if [ $# -lt 5 ]; then
    echo "usage: check.sh [--update] [--no-trace] VORNASM VORNSIM VORNLIST VORNDBG CASE.vorn..." >&2
    exit 2
fi
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
vornasm=$(absolute "$1")
vornsim=$(absolute "$2")
vornlist=$(absolute "$3")
vorndbg=$(absolute "$4")
shift 4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The views: suffix of the expected file, what a case needs for it (-: every
# case has it; +trace: every case, but with --no-trace; else the suffix of
# a file beside the source), and the function that runs it. Each function
# runs in the case's folder with the case's name in $name, the options in
# $options and its standard input ready, and prints the command line it
# stands for.
views=(
    "run    -       runSimulator"
    "trace  +trace  runTrace"
    "list   -       runListing"
    "debug  dbg     runDebugger"
    "profile @profile runProfile"
)

inputOf() { if [ -f "$name.input" ]; then echo "$name.input"; else echo /dev/null; fi; }

runSimulator() {
    echo "vornsim -s $options$name.vorn <$(inputOf)" >"$work/command"
    timeout 60 "$vornsim" -s $options "$name.vorn" <"$(inputOf)"
}
runTrace() {
    echo "vornsim -s --trace $options$name.vorn <$(inputOf)" >"$work/command"
    timeout 60 "$vornsim" -s --trace $options "$name.vorn" <"$(inputOf)"
}
runListing() {
    echo "vornlist -s $name.vorn" >"$work/command"
    timeout 60 "$vornlist" -s "$name.vorn" </dev/null
}
runDebugger() {
    local input=()
    if [ -f "$name.input" ]; then
        input=(--input "$name.input")
    fi
    echo "vorndbg --batch -s ${input[*]:+${input[*]} }-x $name.dbg $name.vorn" >"$work/command"
    timeout 60 "$vorndbg" --batch -s "${input[@]}" -x "$name.dbg" "$name.vorn" </dev/null
}

runProfile() {
    local format
    format=$(sed -n 's/^; profile: //p' "$name.vorn" | head -1 | tr -d '\r')
    echo "vornsim -s $options--profile PROFILE --profile-format $format $name.vorn <$(inputOf)" \
        ">/dev/null; cat PROFILE; vornlist -s --profile PROFILE $name.vorn" >"$work/command"
    timeout 60 "$vornsim" -s $options --profile "$work/profile" --profile-format "$format" \
        "$name.vorn" <"$(inputOf)" >/dev/null
    local status=$?  # vornsim's, the view's exit status
    cat "$work/profile"
    if [ "$format" = csv ]; then
        timeout 60 "$vornlist" -s --profile "$work/profile" "$name.vorn" </dev/null
    fi
    return $status
}

# section TITLE FILE: the file's bytes under a title line; a last line
# without a line end is marked, so that the expected file shows it.
section() {
    echo "--- $1"
    cat "$2"
    if [ -s "$2" ] && [ "$(tail -c 1 "$2" | od -An -c | tr -d ' ')" != '\n' ]; then
        printf '\n\\ no line end\n'
    fi
}

# render FUNCTION: runs one view into $work/view, and its standard error
# alone into $work/stderr.
render() {
    "$1" >"$work/stdout" 2>"$work/stderr"
    local status=$?
    {
        echo "\$ $(cat "$work/command")"
        section stdout "$work/stdout"
        section stderr "$work/stderr"
        echo "--- exit status $status"
    } >"$work/view"
}

failed=0
for source in "$@"; do
    dir=$(cd "$(dirname "$source")" && pwd)
    name=$(basename "$source" .vorn)
    options=$(sed -n 's/^; vornsim: //p' "$source" | head -1 | tr -d '\r')
    options=${options:+$options }
    cd "$dir" || exit 2
    "$vornasm" "$name.vorn" "$work/image" 2>"$work/vornasm-stderr" </dev/null
    for row in "${views[@]}"; do
        read -r suffix needs run <<<"$row"
        if [ "$needs" = +trace ]; then
            [ "$tracing" = 1 ] || continue
        elif [ "${needs:0:1}" = @ ]; then
            grep -q "^; ${needs:1}: " "$name.vorn" || continue
        elif [ "$needs" != - ] && [ ! -f "$name.$needs" ]; then
            continue
        fi
        render "$run"
        expected=$name.$suffix
        if [ "$update" = 1 ]; then
            cp "$work/view" "$expected"
        elif [ ! -f "$expected" ]; then
            echo "$name: no expected $expected (check.sh --update writes it)"
            failed=1
        elif ! cmp -s "$expected" "$work/view"; then
            echo "$name: $suffix differs from $expected:"
            diff -u "$expected" "$work/view" | head -40
            failed=1
        fi
        # vornasm's error line exactly, then at most the analysis's hint.
        errorLines=$(wc -l <"$work/vornasm-stderr")
        if [ -s "$work/vornasm-stderr" ] &&
            { ! head -n "$errorLines" "$work/stderr" | cmp -s "$work/vornasm-stderr" - ||
                tail -n +"$((errorLines + 1))" "$work/stderr" | grep -qv '^hint: '; }; then
            echo "$name: $suffix does not report vornasm's error:"
            diff "$work/vornasm-stderr" "$work/stderr" | head -10
            failed=1
        fi
    done
    cd - >/dev/null || exit 2
done
exit $failed
