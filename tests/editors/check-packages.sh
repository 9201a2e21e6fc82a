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
table = (root / "machine/InstructionSet.h").read_text()
operations = re.findall(r'X\(\w+, (\w+), (?:true|false), (?:true|false), (?:true|false)[,)]', table)
assert len(operations) == 16, operations
operation_rule = re.compile(grammar["repository"]["operation"]["match"])
syntax = (root / "editors/vim/syntax/vorn.vim").read_text()
for name in operations:
    assert operation_rule.fullmatch(name), f"the grammar misses {name}"
    assert re.search(rf"\bvornOperation\b.*\b{name}\b", syntax), f"the Vim syntax misses {name}"
print("editor packages: well formed,", len(operations), "operations in each")
PYTHON
exit $failed
