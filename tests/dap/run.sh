#!/usr/bin/env bash
# run.sh VORNDBG WORKDIR: drives VORNDBG --dap with the Debug Adapter
# Protocol's own test client, installed into WORKDIR from the lock file
# (npm ci; again only when the lock file changes).
set -euo pipefail
vorndbg=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
if ! cmp -s "$here/package-lock.json" "$work/package-lock.json" || [ ! -d "$work/node_modules" ]; then
    cp "$here/package.json" "$here/package-lock.json" "$work/"
    (cd "$work" && npm ci --no-audit --no-fund --loglevel=error)
fi
VORNDBG=$vorndbg NODE_PATH=$work/node_modules exec node --test "$here/"
