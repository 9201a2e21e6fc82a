#!/usr/bin/env bash
# check-packages.sh REPOSITORY: the editor packages are well formed and know
# every operation. The JSON files of editors/vscode/ parse, the TextMate
# grammar's patterns compile, and the grammar and the Vim syntax name each
# operation of the instruction table (machine/InstructionSet.h).
set -u
repository=$1
failed=0
/usr/bin/python3 - "$repository" <<'PYTHON' || failed=1
import json, re, sys, pathlib
root = pathlib.Path(sys.argv[1])
vscode = root / "editors/vscode"
for name in ["package.json", "package-lock.json", "language-configuration.json",
             "syntaxes/vorn.tmLanguage.json"]:
    with open(vscode / name) as f:
        json.load(f)
grammar = json.load(open(vscode / "syntaxes/vorn.tmLanguage.json"))
for key, rule in grammar["repository"].items():
    re.compile(rule["match"])
package = json.load(open(vscode / "package.json"))
assert package["contributes"]["grammars"][0]["scopeName"] == grammar["scopeName"]
assert ".vorn" in package["contributes"]["languages"][0]["extensions"]
lock = json.load(open(vscode / "package-lock.json"))
assert "node_modules/vscode-languageclient" in lock["packages"], "vscode-languageclient not pinned"
assert "node_modules/esbuild" in lock["packages"], "esbuild not pinned"
# The debugger: the type "vorn", breakpoints in the language, snippets that
# launch, and the bundle that the extension ships instead of node_modules.
debugger = package["contributes"]["debuggers"][0]
assert debugger["type"] == "vorn" and "vorn" in debugger["languages"]
assert {"language": "vorn"} in package["contributes"]["breakpoints"]
launch = debugger["configurationAttributes"]["launch"]["properties"]
for snippet in debugger["configurationSnippets"]:
    body = snippet["body"]
    assert body["type"] == "vorn" and body["request"] == "launch", snippet
    assert set(body) - {"type", "request", "name"} <= set(launch), snippet
assert package["main"] == "./dist/extension.js"
assert "esbuild" in package["scripts"]["bundle"] and "--external:vscode" in package["scripts"]["bundle"]
assert "node_modules/**" in (vscode / ".vscodeignore").read_text()
table = (root / "machine/InstructionSet.h").read_text()
# Each row of the table: X(Enumerator, name, then its columns).
operations = re.findall(r'^\s*X\(\w+, (\w+),', table, re.MULTILINE)
assert len(operations) == 16, operations
operation_rule = re.compile(grammar["repository"]["operation"]["match"])
syntax = (root / "editors/vim/syntax/vorn.vim").read_text()
for name in operations:
    assert operation_rule.fullmatch(name), f"the grammar misses {name}"
    assert re.search(rf"\bvornOperation\b.*\b{name}\b", syntax), f"the Vim syntax misses {name}"
print("editor packages: well formed,", len(operations), "operations in each")
PYTHON
exit $failed
