#!/usr/bin/env bash
# terminal.sh VORNDBG: vorndbg at a real terminal (a tmux pane), used as a
# person would: the prompt appears, Tab completes a command and a label, a
# command runs, Ctrl-C stops an endless loop and a long reverse-continue and
# the prompt comes back, quit ends it; a program that reads asks for its
# numbers at the terminal; a conditional breakpoint and a display work as
# typed.
set -euo pipefail
vorndbg=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
server=vorndbg-test-$$
source "$root/tests/support/terminal.sh"
# waitForEnd: until vorndbg has left and the pane is gone.
waitForEnd() {
    for _ in $(seq 100); do
        if ! tmux has-session -t test 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    echo "vorndbg did not end"
    screen
    exit 1
}

# A session that keeps the server up while the ones under test come and go.
tmux new-session -d -s keep 'sleep 120'
tmux new-session -d -s test -x 100 -y 30 "$vorndbg -s $root/tests/debugger/programs/loop.vorn"
waitFor '^(vorndbg)'
tmux send-keys -t test 'brea' Tab 'to' Tab Enter
waitFor 'Breakpoint 1 at address 0, line 2.'
tmux send-keys -t test 'continue' Enter
waitFor 'Breakpoint 1; \$step = 2, \$pc = 0'
# -l: "delete" alone would be the key of that name.
tmux send-keys -t test -l 'delete'
tmux send-keys -t test Enter 'continue' Enter
sleep 0.5
tmux send-keys -t test C-c
waitFor 'Interrupted; \$step = [0-9]*, \$pc = [01], line [23]'
tmux send-keys -t test 'p $step' Enter
waitFor '^\$step = [1-9][0-9]*$'
# Ctrl-C at the prompt drops the line typed; the session goes on.
tmux send-keys -t test 'p nothing' C-c 'p A' Enter
waitFor '^A = [1-9][0-9]*$'
if screen | grep -q 'No symbol'; then
    echo "Ctrl-C at the prompt did not drop the line"
    screen
    exit 1
fi
tmux send-keys -t test 'quit' Enter
waitForEnd

# A reverse-continue that looks at every step of a long run for a
# watchpoint stops at Ctrl-C too, at a step it can go on from.
tmux new-session -d -s test -x 100 -y 30 "$vorndbg -s $root/tests/debugger/programs/loop.vorn"
waitFor '^(vorndbg)'
tmux send-keys -t test 'continue' Enter
sleep 3
tmux send-keys -t test C-c
waitFor 'Interrupted; \$step = [0-9]*, \$pc = [01]'
tmux send-keys -t test 'watch *100' Enter 'reverse-continue' Enter
sleep 0.5
tmux send-keys -t test C-c
waitFor 'Interrupted; \$step = [0-9]*, \$pc = [01]' 2
tmux send-keys -t test 'p $step' Enter
waitFor '^\$step = [1-9][0-9]*$'
tmux send-keys -t test 'quit' Enter
waitForEnd

tmux new-session -d -s test -x 100 -y 30 "$vorndbg -s $root/examples/countdown.vorn"
waitFor '^(vorndbg)'
tmux send-keys -t test 'c' Enter
waitFor '^read:'
# Ctrl-C at the question stops the command before the read.
tmux send-keys -t test C-c
waitFor '^Interrupted; \$step = 0, \$pc = 0'
tmux send-keys -t test 'c' Enter
waitFor '^read:' 2
tmux send-keys -t test '2' Enter
waitFor 'The program halted; \$step = 13, \$pc = 65535'
tmux send-keys -t test 'rc' Enter 'c' Enter
waitFor 'The program halted; \$step = 13, \$pc = 65535' >/dev/null
tmux send-keys -t test 'quit' Enter
waitForEnd

# A conditional breakpoint and a display, typed as a person types them.
tmux new-session -d -s test -x 100 -y 30 "$vorndbg -s $root/tests/debugger/programs/loop.vorn"
waitFor '^(vorndbg)'
tmux send-keys -t test -l 'break top if A == 5'
tmux send-keys -t test Enter
waitFor 'Breakpoint 1 at address 0, line 2.'
tmux send-keys -t test -l 'display/x A'
tmux send-keys -t test Enter
waitFor '^1: /x A = 0x0$'
tmux send-keys -t test 'continue' Enter
waitFor 'Breakpoint 1; \$step = 10, \$pc = 0'
waitFor '^1: /x A = 0x5$'
tmux send-keys -t test -l 'condition 1 A == 12'
tmux send-keys -t test Enter 'c' Enter
waitFor '^1: /x A = 0xC$'
tmux send-keys -t test 'info breakpoints' Enter
waitFor 'breakpoint already hit 2 times'
tmux send-keys -t test 'quit' Enter
waitForEnd
echo "ok"
