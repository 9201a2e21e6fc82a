#!/usr/bin/env python3
"""check-platform-examples.py BINDIR EXAMPLES SCHEMAS: runs the examples of
examples/platforms/ as each platform would, with the tools of BINDIR first
on the path and examples/grading/sum.toml as the teacher's suite: Gradescope's
run_autograder and PrairieLearn's run.sh in a scratch copy of the folders
they expect, and the grading step of the GitHub Classroom workflow with the
environment the runner gives it. Each results file must match its schema and
give the expected score; the workflow must name its step, output and
runner as the classroom's reporter reads them."""
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile

import jsonschema
import yaml

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)
        print(message)


def validate(schemas, platform, document, where):
    validator = jsonschema.Draft202012Validator(
        json.load(open(os.path.join(schemas, platform + ".schema.json"), encoding="utf-8")))
    for error in validator.iter_errors(document):
        expect(False, "%s: %s at %s" % (where, error.message, list(error.absolute_path)))


def run_script(script, environment, cwd):
    result = subprocess.run(["bash", script], env=environment, cwd=cwd,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return result.returncode, result.stdout.decode("utf-8", "replace")


def main():
    bindir, examples, schemas = (os.path.abspath(path) for path in sys.argv[1:4])
    platforms = os.path.join(examples, "platforms")
    suite = os.path.join(examples, "grading", "sum.toml")
    submissions = {"sum.vorn": (7, 7), "grading/sum-faulty.vorn": (3, 7)}
    environment = dict(os.environ, PATH=bindir + os.pathsep + os.environ["PATH"])
    for submission, (score, maximum) in submissions.items():
        with tempfile.TemporaryDirectory() as root:
            # Gradescope: /autograder/source, /autograder/submission, results.
            for folder in ("source", "submission"):
                os.mkdir(os.path.join(root, folder))
            shutil.copy(suite, os.path.join(root, "source", "suite.toml"))
            shutil.copy(os.path.join(examples, submission),
                        os.path.join(root, "submission", "program.vorn"))
            status, output = run_script(os.path.join(platforms, "gradescope", "run_autograder"),
                                        dict(environment, AUTOGRADER_ROOT=root), root)
            expect(status == 0, "run_autograder: exit status %d: %s" % (status, output))
            results = json.load(open(os.path.join(root, "results", "results.json")))
            validate(schemas, "gradescope", results, "run_autograder " + submission)
            expect(results["score"] == score, "run_autograder %s: score %r" %
                   (submission, results["score"]))
        with tempfile.TemporaryDirectory() as root:
            # PrairieLearn: /grade/tests, /grade/student, /grade/results.
            for folder in ("tests", "student"):
                os.mkdir(os.path.join(root, folder))
            shutil.copy(suite, os.path.join(root, "tests", "suite.toml"))
            shutil.copy(os.path.join(examples, submission),
                        os.path.join(root, "student", "program.vorn"))
            status, output = run_script(os.path.join(platforms, "prairielearn", "run.sh"),
                                        dict(environment, GRADE_ROOT=root), root)
            expect(status == 0, "run.sh: exit status %d: %s" % (status, output))
            results = json.load(open(os.path.join(root, "results", "results.json")))
            validate(schemas, "prairielearn", results, "run.sh " + submission)
            expect(abs(results["score"] - score / maximum) < 1e-9,
                   "run.sh %s: score %r" % (submission, results["score"]))

    workflow_path = os.path.join(platforms, "github-classroom", ".github", "workflows",
                                 "classroom.yml")
    workflow = yaml.safe_load(open(workflow_path, encoding="utf-8"))
    expect(workflow["name"] == "Autograding Tests", "the workflow's name")
    expect(list(workflow["jobs"]) == ["run-autograding-tests"], "the workflow's one job")
    steps = workflow["jobs"]["run-autograding-tests"]["steps"]
    reporter = [step for step in steps
                if step.get("uses", "").startswith("classroom-resources/autograding-grading-reporter@")]
    expect(len(reporter) == 1, "one reporter step")
    runners = reporter[0]["with"]["runners"].split(",")
    for runner in runners:
        expect(runner.isalnum(), "runner id %r: letters and digits only" % runner)
        expect(reporter[0]["env"].get(runner.upper() + "_RESULTS") ==
               "${{steps.%s.outputs.result}}" % runner, "the reporter's variable for " + runner)
    grade = [step for step in steps if step.get("id") in runners]
    expect(len(grade) == 1, "the grading step")
    for submission, (score, maximum) in submissions.items():
        with tempfile.TemporaryDirectory() as repository:
            os.mkdir(os.path.join(repository, ".github"))
            shutil.copy(suite, os.path.join(repository, ".github", "suite.toml"))
            shutil.copy(os.path.join(examples, submission),
                        os.path.join(repository, "program.vorn"))
            output_file = os.path.join(repository, "output")
            open(output_file, "w").close()
            script = os.path.join(repository, "step.sh")
            with open(script, "w") as file:
                file.write("set -eo pipefail\n" + grade[0]["run"])
            status, output = run_script(script, dict(environment, GITHUB_OUTPUT=output_file,
                                                     RUNNER_TEMP=repository), repository)
            expect(status == 0, "the grading step: exit status %d: %s" % (status, output))
            lines = open(output_file).read().splitlines()
            expect(len(lines) == 1 and lines[0].startswith("result="), "the step's output")
            result = json.loads(base64.b64decode(lines[0][len("result="):]))
            validate(schemas, "github-classroom", result, "the grading step " + submission)
            expect(sum(test["score"] for test in result["tests"]) == score and
                   result["max_score"] == maximum, "the grading step %s: %r" % (submission, result))
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
