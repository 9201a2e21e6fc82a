#!/usr/bin/env bash
# check-left-behind.sh ROOT: scripts/left-behind, as scripts/package --check
# uses it, over a package installed into and removed from a scratch tree
# while another package comes and goes there: only what the package itself
# leaves behind is reported, and all of that is.
set -euo pipefail
leftBehind=$1/scripts/left-behind
tree=$(mktemp -d)
lists=$(mktemp -d)
trap 'rm -rf "$tree" "$lists"' EXIT

# The package's paths, as its archive lists them: a shared directory that
# exists already, its own directory and files, a link.
mkdir -p "$tree/usr/bin"
printf '%s\n' "$tree/usr" "$tree/usr/bin" "$tree/usr/bin/tool" "$tree/usr/bin/alias" \
    "$tree/usr/share/pkg" "$tree/usr/share/pkg/notes" >"$lists/paths"
"$leftBehind" present "$lists/present" <"$lists/paths"
[ "$(cat "$lists/present")" = "$(printf '%s\n' "$tree/usr" "$tree/usr/bin")" ] || {
    echo "present: $(cat "$lists/present")"
    exit 1
}

# Installed, with another package beside it.
mkdir -p "$tree/usr/share/pkg" "$tree/usr/share/other"
touch "$tree/usr/bin/tool" "$tree/usr/share/pkg/notes" "$tree/usr/bin/other" \
    "$tree/usr/share/other/file"
ln -s tool "$tree/usr/bin/alias"
# Removed cleanly: the other package's files are no concern of this one.
rm -r "$tree/usr/bin/tool" "$tree/usr/bin/alias" "$tree/usr/share/pkg"
if ! left=$("$leftBehind" check "$lists/present" <"$lists/paths"); then
    echo "a clean removal was reported as leaving: $left"
    exit 1
fi
# Removed leaving a file and a dangling link behind: both are reported.
mkdir -p "$tree/usr/share/pkg"
touch "$tree/usr/share/pkg/notes"
ln -s missing "$tree/usr/bin/alias"
if left=$("$leftBehind" check "$lists/present" <"$lists/paths"); then
    echo "what was left behind was not reported"
    exit 1
fi
expected=$(printf '%s\n' "$tree/usr/bin/alias" "$tree/usr/share/pkg" "$tree/usr/share/pkg/notes")
[ "$left" = "$expected" ] || {
    echo "reported: $left"
    echo "expected: $expected"
    exit 1
}
echo ok
