#!/usr/bin/env python3
"""Every tool ends the same run the same way.

Each program of the table runs through the real vornsim, vorndbg --batch,
vorngrade (a one-case suite, as a source and as an image) and the
playground's WebAssembly build (under node, when build/web holds it). Each
must report the table's ending: how the run ended, the steps, the address
and source line where it stopped, the sentence, and the warning on entering
data. The replay command that vorngrade prints for the case is run as
printed, and must end with the same sentence.

  same_ending.py VORNASM VORNSIM VORNDBG VORNGRADE PAGE_DIR
"""
import json
import os
import re
import subprocess
import sys
import tempfile
from dataclasses import dataclass, field


@dataclass
class Ending:
    end: str
    steps: int
    address: int
    line: int
    message: str = ""  # the sentence, without "Error: "
    warning: str = ""  # without "Warning: "


@dataclass
class Case:
    name: str
    source: str
    input: list
    expected: Ending
    limits: dict = field(default_factory=dict)  # steps, outputLines, strict
    image_message: str = ""  # the image's sentence where it differs from the source's


COUNTDOWN = """\
        read
        store I n
        load O n
:loop   jz O done
        write
        decr O
        jump loop
:done   jump end
:n      0
"""

# The forgotten "jump end": after its write, the program runs its data word
# and the empty cells (noop) up to the halt at 65535.
INTO_DATA = "        load O n\n        write\n:n 7\n"

CASES = [
    Case("a normal halt", COUNTDOWN, [3], Ending("halted", 17, 65535, 0)),
    Case("a forgotten jump end", INTO_DATA, [],
         Ending("halted", 65535, 65535, 0,
                warning="execution enters address 2, a data word from line 3 (':n 7'), "
                        "as an instruction.")),
    Case("a step limit", ":loop   incr A\n        jump loop\n", [],
         Ending("step-limit", 1000, 0, 1,
                "step limit reached: 1000 steps run and the program has not halted "
                "(next address 0, line 1)."),
         limits={"steps": 1000},
         image_message="step limit reached: 1000 steps run and the program has not halted "
                       "(next address 0)."),
    Case("an output limit", ":loop   write\n        jump loop\n", [],
         Ending("output-limit", 6, 0, 1,
                "output limit reached: 3 lines written and the program has not halted "
                "(next write at address 0, line 1)."),
         limits={"outputLines": 3},
         image_message="output limit reached: 3 lines written and the program has not "
                       "halted (next write at address 0)."),
    Case("a loadi fault", "        load B p\n        loadi A B\n        jump end\n:p      100\n",
         [],
         Ending("fault", 1, 1, 2,
                "fault at address 1, line 2 (loadi A B): register B holds 100, a word "
                "without an address field."),
         image_message="fault at address 1 (loadi A B): register B holds 100, a word "
                       "without an address field."),
    Case("a strict fault", INTO_DATA, [],
         Ending("fault", 2, 2, 3,
                "fault at address 2 (strict): execution enters a data word from line 3 "
                "(':n 7')."),
         limits={"strict": True},
         image_message="fault at address 3 (strict): execution enters a cell past the image "
                       "(the image has 3 words)."),
    Case("a read past the end of the input",
         "        read\n        read\n        store I x\n        load O x\n        write\n"
         "        jump end\n:x      0\n",
         [5], Ending("halted", 6, 65535, 0)),
]

# The debugger's and the grader's names for the endings.
VERDICT_ENDS = {"pass": "halted", "wrong-output": "halted", "wrong-state": "halted",
                "step-limit": "step-limit", "too-much-output": "output-limit",
                "fault": "fault"}


def run(command, stdin="", cwd=None, env=None):
    result = subprocess.run(command, input=stdin.encode(), capture_output=True, cwd=cwd,
                            env=env, timeout=120)
    return (result.returncode, result.stdout.decode(errors="replace"),
            result.stderr.decode(errors="replace"))


def end_of(sentence):
    for prefix, end in (("step limit reached", "step-limit"),
                        ("output limit reached", "output-limit"), ("fault at", "fault")):
        if sentence.startswith(prefix):
            return end
    return "halted"


def place_in(sentence, end):
    """The address and line a sentence names (vornsim and the grader say no more)."""
    if end == "halted":
        return 65535, 0
    address = int(re.search(r"address (\d+)", sentence).group(1))
    line = re.search(r"(?:, |from )line (\d+)", sentence)
    return address, int(line.group(1)) if line else 0


def limit_options(case):
    options = []
    if "steps" in case.limits:
        options += ["--max-steps", str(case.limits["steps"])]
    if "outputLines" in case.limits:
        options += ["--max-output", str(case.limits["outputLines"])]
    if case.limits.get("strict"):
        options.append("--strict")
    return options


def warning_in(text):
    found = re.search(r"^Warning: (.*)$", text, re.M)
    return found.group(1) if found else ""


def vornsim(tools, case, program, input_path, source=True):
    status, _, err = run([tools["vornsim"]] + (["-s"] if source else []) +
                         ["--stats", "--input", input_path] + limit_options(case) + [program])
    error = re.search(r"^Error: (.*)$", err, re.M)
    message = error.group(1) if error else ""
    end = re.search(r"^end: (.*)$", err, re.M).group(1)
    address, line = place_in(message, end)
    steps = int(re.search(r"^steps: (\d+)$", err, re.M).group(1))
    return Ending(end, steps, address, line, message, warning_in(err)), status


def vorndbg(tools, case, program, input_path):
    _, out, _ = run([tools["vorndbg"], "-s", "--batch", "--input", input_path] +
                    limit_options(case) + [program], "run\n")
    stop = re.search(r"^(.*); \$step = (\d+), \$pc = (\d+)(?:, line (\d+): .*)?$", out, re.M)
    words = stop.group(1)
    message = "" if words == "The program halted" else words[0].lower() + words[1:] + "."
    return Ending(end_of(message) if message else "halted", int(stop.group(2)),
                  int(stop.group(3)), int(stop.group(4) or 0), message, warning_in(out))


def vorngrade(tools, case, work, program, image):
    suite = os.path.join(work, "suite.toml")
    with open(suite, "w") as file:
        file.write("[[case]]\nname = \"c\"\ninput = [%s]\n" % ", ".join(map(str, case.input)))
        # An output no case writes: every run fails, so its feedback is shown.
        file.write("output = [2147483647]\n")
        if "steps" in case.limits:
            file.write("max-steps = %d\n" % case.limits["steps"])
        if "outputLines" in case.limits:
            file.write("max-output = %d\n" % case.limits["outputLines"])
        if case.limits.get("strict"):
            file.write("strict = true\n")
    _, out, err = run([tools["vorngrade"], "--json"] + (["--image"] if image else []) +
                      ["suite.toml", os.path.basename(program)], cwd=work)
    result = json.loads(out)["programs"][0]["cases"][0]
    end = VERDICT_ENDS[result["verdict"]]
    lines = result["message"].split("\n")
    message = lines[0] if end != "halted" else ""
    address, line = place_in(message, end)
    replay = next(text[len("replay: "):] for text in lines if text.startswith("replay: "))
    return Ending(end, result["steps"], address, line, message, warning_in(result["message"])), replay


def replayed(tools, work, command):
    """The sentence that the grader's replay command ends with, run as printed."""
    env = dict(os.environ, PATH=os.path.dirname(tools["vornsim"]) + os.pathsep + os.environ["PATH"])
    _, _, err = run(["bash", "-c", command], cwd=work, env=env)
    lines = err.rstrip("\n").split("\n")
    return lines[-1][len("Error: "):] if lines[-1].startswith("Error: ") else ""


def web(page, cases, work):
    path = os.path.join(work, "cases.json")
    with open(path, "w") as file:
        json.dump([{"source": case.source, "input": "".join("%d\n" % n for n in case.input),
                    "limits": case.limits} for case in cases], file)
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "web_outcome.js")
    status, out, err = run(["node", script, page, path])
    if status == 77:
        print("the web core: " + out.strip())
        return None
    if status != 0:
        raise RuntimeError("web_outcome.js failed: " + err)
    return [Ending(o["end"], int(o["steps"]), o["address"], o["line"], o["message"], o["warning"])
            for o in json.loads(out)]


def main():
    vornasm, vornsim_path, vorndbg_path, vorngrade_path, page = map(os.path.abspath,
                                                                     sys.argv[1:6])
    tools = {"vornsim": vornsim_path, "vorndbg": vorndbg_path, "vorngrade": vorngrade_path}
    failures = []

    def expect(case, tool, actual, expected):
        if actual != expected:
            failures.append("%s, %s:\n  got      %s\n  expected %s" % (case.name, tool, actual,
                                                                       expected))

    with tempfile.TemporaryDirectory(prefix="vorn-same-ending-") as work:
        outcomes = web(page, CASES, work)
        for index, case in enumerate(CASES):
            source = os.path.join(work, "program.vorn")
            image = os.path.join(work, "program.image")
            input_path = os.path.join(work, "input")
            with open(source, "w") as file:
                file.write(case.source)
            with open(input_path, "w") as file:
                file.write("".join("%d\n" % n for n in case.input))
            run([vornasm, source, image])

            ending, _ = vornsim(tools, case, source, input_path)
            expect(case, "vornsim", ending, case.expected)
            expect(case, "vorndbg --batch", vorndbg(tools, case, source, input_path),
                   case.expected)
            graded, replay = vorngrade(tools, case, work, source, image=False)
            # The grader's feedback tells of running into data only when a case fails.
            expect(case, "vorngrade", graded, case.expected)
            expect(case, "vorngrade's replay", replayed(tools, work, replay),
                   case.expected.message)
            if outcomes is not None:
                expect(case, "the web core", outcomes[index], case.expected)

            # The same program as an image: vornsim and the grader agree, and
            # the grader's replay runs as printed (with --strict too).
            on_image, _ = vornsim(tools, case, image, input_path, source=False)
            graded_image, replay_image = vorngrade(tools, case, work, image, image=True)
            image_message = case.image_message or case.expected.message
            expect(case, "vornsim on the image", on_image.message, image_message)
            expect(case, "vorngrade --image", (graded_image.end, graded_image.steps,
                                               graded_image.message),
                   (on_image.end, on_image.steps, on_image.message))
            expect(case, "vorngrade --image's replay", replayed(tools, work, replay_image),
                   image_message)

    for failure in failures:
        print("FAIL " + failure)
    print("%d cases, %d differences" % (len(CASES), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
