#!/usr/bin/env bash
# terminal.sh VORNSIM: vornsim at a real terminal (a tmux pane), as a student
# runs it: a read that waits for the keyboard asks "read: " on standard
# error; numbers typed ahead on one line are read without asking again; an
# input from a pipe or from --input asks nothing, and neither does a
# standard input that is a terminal when the prompt's stream is elsewhere.
set -euo pipefail
vornsim=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
server=vornsim-test-$$
source "$root/tests/support/terminal.sh"
# run COMMAND: a fresh pane running COMMAND, which says "status N" at its end.
run() {
    tmux kill-session -t test 2>/dev/null || true
    tmux new-session -d -s test -x 100 -y 20 "cd $root && $1; echo status \$?; sleep 30"
}
# expectScreen TEXT: the screen's lines that are not empty.
expectScreen() {
    if [ "$(screen | grep -v '^$')" != "$1" ]; then
        echo "the screen shows:"
        screen
        echo "expected:"
        echo "$1"
        exit 1
    fi
}

tmux new-session -d -s keep 'sleep 120'

# The prompt shows while the program waits, and the typed number answers it.
run "$vornsim -s examples/countdown.vorn"
waitFor '^read: *$'
tmux send-keys -t test '3' Enter
waitFor '^status 0$'
expectScreen "read: 3
3
2
1
status 0"

# Three numbers typed on one line: one prompt for the first read only; the
# next read that waits asks again.
run "$vornsim -s examples/sum.vorn"
waitFor '^read: *$'
tmux send-keys -t test '10 20 -5' Enter
waitFor '^read: *$'
tmux send-keys -t test '7 0' Enter
waitFor '^status 0$'
expectScreen "read: 10 20 -5
read: 7 0
32
status 0"

# A pipe, a file, or the prompt's stream sent away: no prompt on the screen.
run "echo 2 | $vornsim -s examples/countdown.vorn"
waitFor '^status 0$'
expectScreen "2
1
status 0"
run "$vornsim -s --input examples/countdown.input examples/countdown.vorn | head -1"
waitFor '^status 0$'
expectScreen "5
status 0"
run "$vornsim -s examples/countdown.vorn 2>/dev/null"
sleep 0.5
tmux send-keys -t test '1' Enter
waitFor '^status 0$'
expectScreen "1
1
status 0"
echo "ok"
