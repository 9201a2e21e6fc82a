#!/usr/bin/env bash
# Installs the build into a temporary prefix, runs every installed command on
# an installed example, checks the manual pages and completions, and builds a
# small outside project against the installed package configuration.
#   check-install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
bin=$prefix/bin
examples=$prefix/share/doc/vorn/examples
[ -f "$examples/countdown.vorn" ] || fail "no installed examples"
cmp "$prefix/share/doc/vorn/LICENSE" "$source_dir/LICENSE" || fail "LICENSE is not installed"
cd "$work"

# Every command runs from the prefix, on the installed example.
"$bin/vornasm" "$examples/countdown.vorn" countdown.image
cmp countdown.image "$examples/countdown.image" || fail "vornasm's image differs"
[ "$("$bin/vornsim" --input "$examples/countdown.input" countdown.image)" = "$(cat "$examples/countdown.expected")" ] ||
    fail "vornsim's output differs"
"$bin/vornlist" -s "$examples/countdown.vorn" | grep -q 'symbol' || fail "vornlist lists no symbols"
if [ -x "$bin/vorndbg" ]; then
    printf 'break done\ncontinue\nprint $step\nquit\n' |
        "$bin/vorndbg" --batch --input "$examples/countdown.input" -s "$examples/countdown.vorn" > dbg.out
    grep -q '^\$step = ' dbg.out || fail "vorndbg printed no \$step: $(cat dbg.out)"
fi
if [ -x "$bin/vorngrade" ]; then
    for suite in "$examples"/*.toml "$examples"/grading/*.toml; do
        [ -e "$suite" ] || continue
        program=${suite%.toml}.vorn
        [ -f "$program" ] || program=$(ls "${suite%.toml}"*.vorn 2>/dev/null | head -n 1)
        [ -n "$program" ] || continue
        "$bin/vorngrade" "$suite" "$program" > grade.out || true
        [ -s grade.out ] || fail "vorngrade printed nothing for $suite"
    done
fi
if [ -x "$bin/vornls" ]; then
    body='{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}}'
    printf 'Content-Length: %d\r\n\r\n%s' "${#body}" "$body" | timeout 10 "$bin/vornls" > ls.out || true
    grep -q '"capabilities"' ls.out || fail "vornls did not answer initialize"
fi

# Every command has its manual page, and every version is the same.
version=""
for command in "$bin"/*; do
    name=$(basename "$command")
    page=$prefix/share/man/man1/$name.1
    [ -f "$page" ] || [ -f "$page.gz" ] || fail "no manual page for $name"
    [ -f "$prefix/share/bash-completion/completions/$name" ] || fail "no bash completion for $name"
    [ "$name" = vornasm ] && continue
    this=$("$command" --version | awk '{ print $NF }')
    [ -z "$version" ] || [ "$this" = "$version" ] || fail "$name says version $this, not $version"
    version=$this
done
[ -f "$prefix/share/zsh/vendor-completions/_vorn" ] || fail "no zsh completion"

# An outside project finds the core library with find_package(Vorn).
cmake -S "$source_dir/tests/install/consumer" -B consumer -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build consumer >/dev/null
[ "$(consumer/count-cells "$examples/countdown.vorn" 2)" = "$(printf '9 cells\n2\n1')" ] ||
    fail "the outside project's program gave: $(consumer/count-cells "$examples/countdown.vorn" 2)"
echo "installed and used: $(ls "$bin" | tr '\n' ' ')"
