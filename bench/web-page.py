"""The playground's figures, measured in the page (bench/web runs this).

  web-page.py FULL_SOURCE COUNTDOWN_SOURCE COUNTDOWN_INSTRUCTIONS [NATIVE_RATE]

NATIVE_RATE: native vornsim's instructions per second on the same countdown,
for the side-by-side figure.
"""

import pathlib
import statistics
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "web"))
from playground import Page, browser, serve  # noqa: E402

ASSEMBLE_RUNS = 15
RUN_RUNS = 3
SEEKS = 20


def main():
    full = pathlib.Path(sys.argv[1]).read_text()
    countdown = pathlib.Path(sys.argv[2]).read_text()
    instructions = int(sys.argv[3])
    native_rate = float(sys.argv[4]) if len(sys.argv) > 4 else 0
    with serve() as url, browser() as driver:
        page = Page(driver, url).open()
        driver.set_script_timeout(120)
        page.wait_text("diagnostics", lambda t: t != "")  # the first source, assembled

        # Each edit is assembled in the worker, which times the call into the
        # module; the page times the way from sending the text to the worker
        # to showing the diagnostics (after the 120 ms pause it waits for the
        # typing to stop).
        in_worker, in_page = [], []
        for run in range(ASSEMBLE_RUNS + 2):
            text = full if run % 2 == 0 else full + "\n"
            before = driver.execute_script(
                "const a = window.vornPlayground.lastAssembly(); return a ? a.id : 0")
            driver.execute_script("window.vornPlayground.setSource(arguments[0])", text)
            page.wait(lambda d: driver.execute_script(
                "const a = window.vornPlayground.lastAssembly();"
                "return a.id > arguments[0] && a.cells == 65536", before), timeout=60)
            assembly = driver.execute_script("return window.vornPlayground.lastAssembly()")
            if any(d["severity"] == "error" for d in assembly["diagnostics"]) or assembly["cells"] != 65536:
                raise SystemExit(f"the full-memory source did not assemble: {assembly}")
            if run >= 2:  # after warm-up
                in_worker.append(assembly["milliseconds"])
                in_page.append(assembly["diagnosticsShownAfter"])
        print(f"  assembling the full-memory source ({len(full) / 1e6:.1f} MB, 65536 cells), "
              f"median of {ASSEMBLE_RUNS}:")
        print(f"    in the worker:   {statistics.median(in_worker):7.1f} ms "
              f"(min {min(in_worker):.1f}, max {max(in_worker):.1f}); target: at most 50 ms")
        print(f"    from the page to the worker and back to the diagnostics shown: "
              f"{statistics.median(in_page):7.1f} ms")

        driver.execute_script("window.vornPlayground.setSource(arguments[0])", countdown)
        page.wait(lambda d: driver.execute_script(
            "return window.vornPlayground.lastAssembly().cells < 100"), timeout=60)
        rates = []
        for _ in range(RUN_RUNS):
            # The status still reads "halted" from the run before until the
            # worker's first report of this one: the end of this run is the
            # first state after the click that is not running.
            driver.execute_script("window.benchBefore = window.vornPlayground.machine()")
            page.click("run")
            state = page.wait(lambda d: driver.execute_script(
                "const m = window.vornPlayground.machine();"
                "return m && m !== window.benchBefore && !m.running ? m : null"), timeout=600)
            if state["state"] != "halted" or state["steps"] != instructions:
                raise SystemExit(f"the countdown ran {state['steps']} steps ({state['state']}), "
                                 f"not {instructions} to its halt")
            rates.append(state["rate"])
        rate = statistics.median(rates)
        print(f"  the countdown loop in the worker ({instructions} instructions, Run to halt, "
              f"median of {RUN_RUNS}): {rate / 1e6:.0f} million instructions/s "
              f"(min {min(rates) / 1e6:.0f}, max {max(rates) / 1e6:.0f}); target: at least 200 million/s")
        if native_rate:
            print(f"  native vornsim on the same countdown: {native_rate / 1e6:.0f} million instructions/s; "
                  f"the worker runs at {100 * rate / native_rate:.0f}% of it; target: at least 40%")

        # The timeline: the last run has `instructions` steps; each move to a
        # step is timed from the page's input event to the views drawn.
        seeks = []
        for i in range(SEEKS):
            step = (instructions * (2 * i + 1)) // (2 * SEEKS) + i * 7919
            driver.execute_script("window.benchSeek = window.vornPlayground.lastSeek()")
            page.seek(step)
            moved = page.wait(lambda d: driver.execute_script(
                "const s = window.vornPlayground.lastSeek();"
                "return s && s !== window.benchSeek ? s : null"), timeout=60)
            if moved["steps"] != step:
                raise SystemExit(f"the timeline went to step {moved['steps']}, not {step}")
            seeks.append(moved["milliseconds"])
        print(f"  the timeline over the run of {instructions} steps, {SEEKS} moves to steps across it, "
              f"from the input event to the views drawn: median {statistics.median(seeks):.1f} ms, "
              f"max {max(seeks):.1f} ms; target: at most 100 ms")


if __name__ == "__main__":
    main()
