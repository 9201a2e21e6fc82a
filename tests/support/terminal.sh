# Sourced by the tests that drive a tool at a real terminal: a tmux server of
# their own (gone at exit), whose pane "test" runs the tool under test.
#   server=NAME-$$; source tests/support/terminal.sh
tmux() { command tmux -L "$server" -f /dev/null "$@"; }
trap 'tmux kill-server 2>/dev/null || true' EXIT

screen() { tmux capture-pane -p -t test; }
# waitFor PATTERN [TIMES]: until the screen shows it, on TIMES lines (10 s at most).
waitFor() {
    for _ in $(seq 100); do
        if [ "$(screen | grep -c -- "$1")" -ge "${2:-1}" ]; then
            return 0
        fi
        sleep 0.1
    done
    echo "the screen never showed: $1"
    screen
    exit 1
}
