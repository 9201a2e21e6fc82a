#!/usr/bin/env bash
# check.sh BIN_DIR: Tab completion of the commands in BIN_DIR, as a user gets
# it: bash's completion function on typed words, and zsh at a real terminal
# (a tmux pane; skipped where zsh is not installed). Each option's values
# come from its --help: the choices of --color, files for --input, nothing
# for a number.
set -uo pipefail
bin=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
status=0
fail() { echo "FAIL: $*"; status=1; }

# expectBash "EXPECTED" WORD...: the completions of the last word.
expectBash() {
    local expected=$1
    shift
    local got
    got=$(PATH="$bin:$PATH" bash -c 'source "$0"
        COMP_WORDS=("${@}"); COMP_CWORD=$(($# - 1)); _vorn "$1" "${@: -1}" "${@: -2:1}"
        [ ${#COMPREPLY[@]} -eq 0 ] || printf "%s " "${COMPREPLY[@]}"' "$root/completions/vorn.bash" "$@")
    [ "$got" = "$expected" ] || fail "bash: $* gave '$got', expected '$expected'"
}
expectBash "auto always never " vorngrade --color ''
expectBash "always " vorngrade --color al
expectBash "never " vorngrade --color = n
expectBash "" vorngrade --jobs ''
expectBash "" vornsim --max-steps ''
expectBash "" vorndbg --history ''
expectBash "$root/examples/sum.input " vornsim --input "$root/examples/sum.in"
expectBash "$root/examples/sum.vorn " vorndbg -x "$root/examples/sum.v"
expectBash "$root/examples/sum.vorn " vorngrade --image "$root/examples/sum.v"
expectBash "--max-steps " vornsim --max-s
expectBash "" vornsim --max-output ''
expectBash "--color --coverage --csv " vorngrade --c

if command -v zsh >/dev/null && command -v tmux >/dev/null; then
    work=$(mktemp -d)
    server=vorn-zsh-$$
    t() { command tmux -L "$server" -f /dev/null "$@"; }
    trap 't kill-server 2>/dev/null; rm -rf "$work"' EXIT
    cat >"$work/.zshrc" <<ZSHRC
fpath=($root/completions \$fpath)
autoload -U compinit && compinit -u -d $work/zcompdump
PS1='%% '
path=($bin \$path)
ZSHRC
    t new-session -d -s z -x 150 -y 20 "env ZDOTDIR=$work zsh -i"
    # expectZsh TYPED PATTERN: after Tab, the screen's last lines show PATTERN.
    expectZsh() {
        t send-keys -t z C-u "$1" Tab
        for _ in $(seq 50); do
            if t capture-pane -p -t z | grep -q -- "$2"; then
                t send-keys -t z C-u C-l
                sleep 0.2
                return 0
            fi
            sleep 0.1
        done
        fail "zsh: '$1' and Tab did not show '$2': $(t capture-pane -p -t z | grep -v '^$' | tail -3)"
        t send-keys -t z C-u C-l
    }
    for _ in $(seq 50); do t capture-pane -p -t z | grep -q '^%' && break; sleep 0.1; done
    expectZsh 'vorngrade --color ' 'always *auto *never'
    expectZsh 'vorngrade --color=n' '% vorngrade --color=never'
    expectZsh "vornsim --input $root/examples/sum.in" "% vornsim --input $root/examples/sum.input"
    expectZsh 'vorndbg --hist' '% vorndbg --history'
fi
exit $status
