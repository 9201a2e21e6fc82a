#!/usr/bin/env bash
# neovim.sh VORNLS REPOSITORY: a real client. Headless Neovim, with the
# package of editors/vim on its runtime path and no user configuration, opens
# a faulty source; vornls must send the diagnostic and answer a hover and a
# go to definition (neovim-session.lua). Compares what Neovim saw.
set -u
vornls=$1
repository=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/faulty.vorn" <<'SOURCE'
        read
        store I count
:loop   load O count
        jz O done
        write
        jump loop
:done   jump end
:count  0
        lod A x
SOURCE

export VORNLS=$vornls SOURCE=$work/faulty.vorn RESULT=$work/result
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache \
    XDG_STATE_HOME=$work/state HOME=$work
timeout 60 nvim --headless -u NONE -i NONE -n --cmd "set runtimepath^=$repository/editors/vim" \
    -c "luafile $repository/tests/langserver/neovim-session.lua" </dev/null >"$work/nvim.out" 2>&1
status=$?
if [ ! -f "$RESULT" ]; then
    echo "Neovim wrote no result (status $status):"
    cat "$work/nvim.out"
    exit 1
fi
cat "$RESULT"

failed=0
expect() {
    if ! grep -qF -- "$1" "$RESULT"; then
        echo "missing: $1"
        failed=1
    fi
}
expect "filetype vorn"
expect "diagnostic 8:"
expect "(line 9, token identifier('A')) expecting end-of-line or end-of-file. 'lod' is not an operation name"
expect 'hover **label** `loop`: address 2 (0x0002)'
expect "definition 3:1"
exit $failed
