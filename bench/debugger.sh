#!/usr/bin/env bash
# bench/debugger.sh BUILD DATA: the debugger's figures (bench/run calls it
# after building BUILD in Release; DATA holds countdown.image). Prints the
# in-process figures of vorn-debugger-bench, then vorndbg's own peak resident
# memory after a continue over the countdown with the history on and off:
# their difference is what the history costs the process.
set -euo pipefail
bin=$1
data=$2

echo "== vorndbg on the countdown loop (medians of 5)"
"$bin/bench/vorn-debugger-bench"

# peak [OPTION...]: vorndbg's peak resident memory (KB) after "continue".
peak() {
    printf 'break *4\nbreak *5\ncontinue\nreverse-step 1\n' >"$data/debugger.commands"
    /usr/bin/time -f %M -o "$data/debugger.memory" \
        "$bin/vorndbg" --batch "$@" "$data/countdown.image" \
        <"$data/debugger.commands" >/dev/null 2>&1
    cat "$data/debugger.memory"
}
on=$(peak)
off=$(peak --history 0)
awk -v on="$on" -v off="$off" 'BEGIN {
    printf "  vorndbg peak RSS: %.1f MB with the history, %.1f MB without: %.1f MB for the history\n",
           on / 1024, off / 1024, (on - off) / 1024 }'
