#!/usr/bin/env python3
"""check-schemas.py VORNGRADE SCHEMAS SUITE...: every report that vorngrade
writes for the programs of each SUITE (SUITE.programs lists them, paths from
the suite's folder), for students and with --teacher, with and without --coverage, against the schema of
its format: the platforms' results files against the JSON Schemas written
from their documentation, the JUnit report against junit.xsd (with xmllint)
and its counts against its elements. Then the same for names and paths that
hold quotes, line ends, "]]>", control bytes and bytes that are not UTF-8.
Also checks that each schema refuses a document that breaks its platform's
rules, so that a schema that accepts anything cannot pass."""
import json
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

import jsonschema

PLATFORMS = ["gradescope", "prairielearn", "github-classroom"]
failures = []


def fail(message):
    failures.append(message)
    print(message)


def load_schemas(folder):
    schemas = {}
    for name in PLATFORMS:
        with open(os.path.join(folder, name + ".schema.json"), encoding="utf-8") as file:
            schema = json.load(file)
        jsonschema.Draft202012Validator.check_schema(schema)
        schemas[name] = jsonschema.Draft202012Validator(schema)
    return schemas


def run(vorngrade, arguments, folder):
    return subprocess.run([vorngrade, "--color", "never"] + arguments, cwd=folder,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def modes_of(work):
    """Every report as students and as the teacher see it, with and without
    the lines that no case ran."""
    coverage = ["--coverage", os.path.join(work, "coverage")]
    return [[], ["--teacher"], coverage, ["--teacher"] + coverage]


def check_platforms(vorngrade, schemas, folder, suite, program, modes, work):
    for mode in modes:
        for platform in PLATFORMS:
            out = os.path.join(work, platform + ".json")
            result = run(vorngrade, mode + ["--" + platform, out, "--", suite, program], folder)
            where = "%r %s --%s %r" % (suite, " ".join(mode), platform, program)
            if result.returncode not in (0, 1) or result.stderr:
                fail("%s: exit status %d, %r" % (where, result.returncode, result.stderr))
                continue
            with open(out, "rb") as file:
                data = file.read()
            try:
                document = json.loads(data.decode("utf-8"))
            except ValueError as error:
                fail("%s: not JSON in UTF-8: %s" % (where, error))
                continue
            for error in schemas[platform].iter_errors(document):
                fail("%s: %s at %s" % (where, error.message, list(error.absolute_path)))


def check_junit(schema, folder, suite, programs, vorngrade, work):
    for mode in modes_of(work):
        check_junit_in(schema, folder, suite, programs, vorngrade, work, mode)


def check_coverage_properties(suite, testsuite):
    """Each "lines: CASE" property names a test case of its suite; the
    uncovered lines are there once or not at all (a program not run)."""
    names = [each.get("name") for each in testsuite.findall("properties/property")]
    cases = {each.get("name") for each in testsuite.findall("testcase")}
    for name in names:
        if name.startswith("lines: ") and name[len("lines: "):] not in cases:
            fail("%r --junit --coverage: property %r names no test case" % (suite, name))
    if names.count("uncovered_lines") > 1:
        fail("%r --junit --coverage: uncovered_lines more than once" % suite)


def check_junit_in(schema, folder, suite, programs, vorngrade, work, mode):
    out = os.path.join(work, "report.xml")
    result = run(vorngrade, mode + ["--junit", out, "--", suite] + programs, folder)
    if result.returncode not in (0, 1) or result.stderr:
        fail("%r --junit: exit status %d, %r" % (suite, result.returncode, result.stderr))
        return
    check = subprocess.run(["xmllint", "--noout", "--schema", schema, out],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if check.returncode != 0:
        fail("%r --junit: %s" % (suite, check.stdout.decode("utf-8", "replace")))
        return
    root = ElementTree.parse(out).getroot()
    for testsuite in root.findall("testsuite"):
        check_coverage_properties(suite, testsuite)
    totals = {"tests": 0, "failures": 0, "errors": 0}
    for testsuite in root.findall("testsuite"):
        counts = {"tests": len(testsuite.findall("testcase")),
                  "failures": len(testsuite.findall("testcase/failure")),
                  "errors": len(testsuite.findall("testcase/error"))}
        for key, value in counts.items():
            totals[key] += value
            if int(testsuite.get(key)) != value:
                fail("%r --junit: %s says %s=%s, holds %d" %
                     (suite, testsuite.get("name"), key, testsuite.get(key), value))
    for key, value in totals.items():
        if int(root.get(key)) != value:
            fail("%r --junit: testsuites says %s=%s, holds %d" % (suite, key, root.get(key), value))


def check_refusals(schemas):
    wrong = {
        "gradescope": [{"tests": [{"name": "no score anywhere"}]},
                       {"score": 1, "tests": [{"score": 1, "status": "pass"}]},
                       {"score": 1, "visibility": "secret"}],
        "prairielearn": [{"gradable": True, "message": "no score"},
                         {"score": 1.5},
                         {"score": 0.5, "tests": [{"name": "a", "points": "1"}]}],
        "github-classroom": [{"version": 1, "status": "passed", "max_score": 1, "tests": []},
                             {"version": 1, "status": "pass", "max_score": 1,
                              "tests": [{"name": "a", "status": "pass"}]}],
    }
    for platform, documents in wrong.items():
        for document in documents:
            if schemas[platform].is_valid(document):
                fail("the %s schema accepts %s" % (platform, json.dumps(document)))


def check_hostile(vorngrade, schemas, junit, work):
    folder = os.path.join(work, "hostile")
    os.mkdir(folder)
    suite = "suite.toml"
    with open(os.path.join(folder, suite), "w", encoding="utf-8") as file:
        file.write('name = "s\\"]]><x>&\\u0001\\n"\n'
                   '[[case]]\nname = "a \\"quoted\\" ]]> <b>&amp;\\u0007\\u007f\\r\\n"\n'
                   'input = [1]\noutput = [1]\n'
                   '[[case]]\nname = "hidden \\u0000 one"\nvisibility = "hidden"\n'
                   'output = [2]\n')
    names = [b"q'\"]]><&\n\t\x1b[31m.vorn", b"bad\xff\xfeutf8.vorn", b"-dash.vorn"]
    texts = [b"jump end\n", b"read\nstore I 100\n", b"\x00\x01binary"]
    programs = []
    for name, text in zip(names, texts):
        with open(os.path.join(folder.encode(), name), "wb") as file:
            file.write(text)
        programs.append(os.fsdecode(name))
    for program in programs:
        check_platforms(vorngrade, schemas, folder, suite, program, modes_of(work), work)
    check_junit(junit, folder, suite, programs, vorngrade, work)


def main():
    vorngrade, schema_folder = os.path.abspath(sys.argv[1]), sys.argv[2]
    schemas = load_schemas(schema_folder)
    junit = os.path.abspath(os.path.join(schema_folder, "junit.xsd"))
    check_refusals(schemas)
    with tempfile.TemporaryDirectory() as work:
        for path in sys.argv[3:]:
            folder, suite = os.path.split(os.path.abspath(path))
            with open(os.path.join(folder, suite[:-len(".toml")] + ".programs")) as file:
                programs = file.read().split()
            for program in programs:
                check_platforms(vorngrade, schemas, folder, suite, program,
                                modes_of(work), work)
            check_junit(junit, folder, suite, programs, vorngrade, work)
        check_hostile(vorngrade, schemas, junit, work)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
