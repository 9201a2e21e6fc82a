"""The playground as a student uses it, in a real headless Chromium.

Run one case:  /usr/bin/python3 tests/web/browser_test.py BrowserTest.testEndlessLoop
Exits 77 (skipped) when there is no build/web (scripts/web --build makes it).
"""

import contextlib
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from playground import PAGE, ROOT, Page, browser, serve

MISTAKE = "(line 2, token end-of-line) expecting number or identifier"


class BrowserTest(unittest.TestCase):
    def setUp(self):
        self.server = serve()
        url = self.server.__enter__()
        self.browser = browser()
        self.driver = self.browser.__enter__()
        self.page = Page(self.driver, url).open()

    def tearDown(self):
        errors = self.page.console_errors()
        self.browser.__exit__(None, None, None)
        self.server.__exit__(None, None, None)
        self.assertEqual(errors, [], "the page logged errors")

    def choose_example(self, name):
        Select(self.page.element("examples")).select_by_visible_text(name)
        self.page.wait(lambda d: f"; " in self.page.source())

    def test_diagnostics(self):
        page = self.page
        page.clear_editor()
        page.type_in_editor("; my first program\nload A\nwrite")
        page.wait_text("diagnostics", lambda t: MISTAKE in t)
        # The error as vornasm writes it, naming its line once.
        self.assertEqual(page.text("diagnostics"), f"Error: {MISTAKE}.")
        # The editor underlines the token the message names, at line 2.
        marks = self.driver.find_elements(By.CSS_SELECTOR, ".cm-lintRange-error, .cm-lintPoint-error")
        self.assertTrue(marks, "no error mark in the editor")
        page.click("run")
        page.wait_state("no-program")

        # The fix: the address after "load A".
        content = self.driver.find_element(By.CSS_SELECTOR, "#editor .cm-content")
        content.send_keys(Keys.ARROW_UP, Keys.END, " value\n:value 42\n")
        page.wait_text("diagnostics", lambda t: t.startswith("No errors"))
        self.assertRegex(page.text("diagnostics"), r"^No errors: 3 cells")
        # The analysis warns where vornasm does not: the load runs on into the data.
        self.assertIn("line 2: execution runs on from this instruction into the data word",
                      page.text("diagnostics"))
        self.assertTrue(self.driver.find_elements(By.CSS_SELECTOR, ".cm-lintRange-warning"))
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, ".cm-lintRange-error, .cm-lintPoint-error"), [])
        # The listing: address, word, instruction (its address by label, as
        # vornlist writes it) and source line.
        rows = self.driver.find_elements(By.CSS_SELECTOR, "#listing tbody tr")
        self.assertEqual([r.text.split() for r in rows][0],
                         ["0", "0x10000001", "268435457", "load", "A", "value", "2", "load", "A", "value"])

    def test_first_moment(self):
        """The status is true before any command, an address may be typed as
        a label, and words show as vornlist shows them."""
        page = self.page
        # Ready as soon as the page is: no Run or Step needed.
        page.wait_state("ready", timeout=5)
        self.assertRegex(page.text("status"), r"^Ready: Run \(Ctrl\+Enter\) or Step")
        self.choose_example("table")
        # The error pane: vornasm's line once, the hint under it.
        page.clear_editor()
        page.type_in_editor("read\nlod A x\n:x 0")
        page.wait_text("diagnostics", lambda t: "expecting" in t)
        lines = page.text("diagnostics").split("\n")
        self.assertEqual(lines, [
            "Error: (line 2, token identifier('A')) expecting end-of-line or end-of-file.",
            "'lod' is not an operation name, so the line is read as a data word, which stands "
            "alone; did you mean 'load'?"])
        page.wait_state("no-program")
        self.choose_example("table")
        page.wait_state("ready")
        page.click("step")
        page.wait(lambda d: page.register("B")[0] != 0)
        # The memory box takes a label; data words are numbers, instructions name labels.
        address = page.element("memory-address")
        address.clear()
        address.send_keys("table", Keys.ENTER)
        page.wait(lambda d: page.memory_word(8) == (3, "3"))
        self.assertEqual([page.memory_word(a) for a in (8, 9, 10, 12, 13)],
                         [(3, "3"), (1, "1"), (4, "4"), (5, "5"), (0, "0")])
        rows = self.driver.find_elements(By.CSS_SELECTOR, "#memory-views section:first-child tbody tr")
        self.assertEqual(rows[0].find_elements(By.TAG_NAME, "td")[1].text, "table:")
        address.clear()
        address.send_keys("done", Keys.ENTER)
        page.wait(lambda d: page.memory_word(6) == (-805240833, "jump end"))
        self.assertEqual(page.memory_word(2), None)
        # A name the program lacks is said so, beside the box.
        address.clear()
        address.send_keys("nowhere", Keys.ENTER)
        page.wait_text("memory-address-error", lambda t: t == 'No label "nowhere" in the program.')
        self.assertEqual(address.get_attribute("aria-invalid"), "true")
        address.clear()
        address.send_keys("0x3", Keys.ENTER)
        page.wait(lambda d: page.memory_word(3) == (-268435456, "write"))
        self.assertEqual(page.text("memory-address-error"), "")
        # The listing names labels as vornlist does.
        listed = [r.text.split()[3:6] for r in
                  self.driver.find_elements(By.CSS_SELECTOR, "#listing tbody tr")[:3]]
        self.assertEqual(listed, [["load", "B", "first"], ["loadi", "O", "B"], ["jz", "O", "done"]])
        # A breakpoint by label: its line gets the mark.
        field = page.element("break-address")
        field.send_keys("loop", Keys.ENTER)
        page.wait(lambda d: d.execute_script("return window.vornPlayground.breakpointLines()") == [5])

    def test_run_with_input(self):
        page = self.page
        self.choose_example("sum")
        page.set_input("10 20 -5 0")
        page.click("run")
        page.wait_state("halted")
        self.assertEqual(page.text("output"), "25")
        self.assertRegex(page.text("status"), r"^Halted after \d+ steps\.$")
        # The same program, other numbers.
        page.set_input("1 2 3 0")
        page.click("run")
        page.wait_text("output", lambda t: t == "6")

    def test_breakpoints(self):
        page = self.page
        self.choose_example("countdown")
        page.set_input("3")
        page.click_line_number(6)  # write
        page.wait(lambda d: d.execute_script("return window.vornPlayground.breakpointLines()") == [6])
        self.assertTrue(self.driver.find_elements(By.CSS_SELECTOR, ".cm-breakpoint"))

        page.click("continue")
        page.wait_state("breakpoint")
        self.assertEqual(page.current_line(), 6)
        # Highlighted: what the last step (jz O done) changed, which is nothing.
        self.assertEqual(page.register("O"), (3, False))
        self.assertEqual(page.text("output"), "")
        # Memory from an address: "count" (8) holds the number read.
        address = page.element("memory-address")
        address.clear()
        address.send_keys("0x8", Keys.ENTER)
        page.wait(lambda d: page.memory_word(8) == (3, "3"))

        page.click("step")
        page.wait_text("output", lambda t: t == "3")
        self.assertEqual(page.current_line(), 7)
        page.click("step")  # decr O
        page.wait(lambda d: page.register("O")[0] == 2)
        self.assertEqual(page.register("O"), (2, True))
        self.assertEqual(page.register("I"), (3, False))
        self.assertEqual(page.current_line(), 8)

        page.click("back")
        page.wait(lambda d: page.register("O")[0] == 3)
        self.assertEqual(page.current_line(), 7)
        self.assertEqual(page.text("output"), "3")
        page.click("back")  # before the write: its output is undone
        page.wait_text("output", lambda t: t == "")
        self.assertEqual(page.current_line(), 6)

        page.click("continue")  # past this breakpoint, to the next arrival
        page.wait(lambda d: page.register("O")[0] == 2 and page.status_state() == "breakpoint")
        self.assertEqual(page.text("output"), "3")
        # Over the second write and back: what it wrote goes, the first stays.
        page.click("step")
        page.wait_text("output", lambda t: t == "3\n2")
        page.click("step")  # decr O
        page.wait(lambda d: page.register("O")[0] == 1)
        page.click("back")
        page.wait(lambda d: page.register("O")[0] == 2)
        self.assertEqual(page.text("output"), "3\n2")
        page.click("back")
        page.wait_text("output", lambda t: t == "3")
        self.assertEqual(page.current_line(), 6)
        self.assertEqual(page.register("O"), (2, False))
        self.assertEqual(page.register("I"), (3, False))
        self.assertEqual(page.register("PC"), (4, False))
        self.assertRegex(page.text("status"), r"^Paused at address 4 after 8 steps\.$")
        page.click("reverse-continue")
        page.wait(lambda d: page.register("O")[0] == 3 and page.status_state() == "breakpoint")
        self.assertEqual(page.text("output"), "")
        self.assertEqual(page.current_line(), 6)

        page.click_line_number(6)  # cleared: the run goes to its end
        page.click("continue")
        page.wait_state("halted")
        self.assertEqual(page.text("output"), "3\n2\n1")
        # Back from the halt: the output stays until Back passes the last write.
        for steps in (16, 15, 14, 13):
            page.click("back")
            page.wait_text("status", lambda t: f"after {steps} steps." in t)
            self.assertEqual(page.text("output"), "3\n2\n1")
        page.click("back")
        page.wait_text("status", lambda t: "after 12 steps." in t)
        self.assertEqual(page.text("output"), "3\n2")
        self.assertEqual(page.register("O"), (1, False))
        self.assertEqual(page.current_line(), 6)

    def test_step_log(self):
        page = self.page
        self.choose_example("countdown")
        page.set_input("3")
        page.click("run")
        page.wait_state("halted")
        rows = page.step_log()
        self.assertEqual(len(rows), 17)
        self.assertEqual(rows[:5], [
            "step 1 @0 (line 2): read | I = 3",
            "step 2 @1 (line 3): store I count | [8] = 3",
            "step 3 @2 (line 4): load O count | O = 3",
            "step 4 @3 (line 5): jz O done | no jump",
            "step 5 @4 (line 6): write | out 3"])
        self.assertEqual(rows[-1], "step 17 @7 (line 9): jump end | jump 65535")
        # A click on a row goes to that step: the machine as it stood after it.
        self.driver.find_element(By.CSS_SELECTOR, "#step-log li[data-step='5']").click()
        page.wait_text("status", lambda t: t == "Paused at address 5 after 5 steps.")
        self.assertEqual(page.text("output"), "3")
        self.assertEqual(page.current_line(), 7)
        self.assertEqual(page.element("timeline").get_attribute("value"), "5")
        current = self.driver.find_element(By.CSS_SELECTOR, "#step-log li.current")
        self.assertEqual(current.get_attribute("aria-current"), "step")
        self.assertTrue(current.text.startswith("step 5 @4"))
        # The log is the run's: all 17 rows stay, and a later row goes forward.
        self.assertEqual(len(page.step_log()), 17)
        self.driver.find_element(By.CSS_SELECTOR, "#step-log li[data-step='16']").click()
        page.wait_text("status", lambda t: t.endswith("after 16 steps."))
        self.assertEqual(page.text("output"), "3\n2\n1")
        self.driver.find_element(By.CSS_SELECTOR, "#step-log li[data-step='17']").click()
        page.wait_state("halted")

    def test_timeline(self):
        page = self.page
        self.choose_example("countdown")
        page.set_input("4")
        page.click_line_number(6)
        page.click("continue")
        page.wait_state("breakpoint")
        page.click_line_number(6)
        page.click("continue")
        page.wait_state("halted")
        timeline = page.element("timeline")
        self.assertEqual((timeline.get_attribute("min"), timeline.get_attribute("max")), ("0", "21"))
        self.assertEqual(timeline.get_attribute("value"), "21")
        # The breakpoint's hit is marked on it.
        marks = self.driver.find_elements(By.CSS_SELECTOR, "#timeline-hits .hit")
        self.assertEqual([m.get_attribute("title") for m in marks], ["breakpoint line 6 at step 4"])
        # Dragging: the machine follows to the step, output and line with it.
        page.seek(9)
        page.wait_text("status", lambda t: t == "Paused at address 5 after 9 steps.")
        self.assertEqual(page.text("output"), "4\n3")
        self.assertEqual(page.register("O")[0], 3)
        self.assertEqual(page.current_line(), 7)
        page.seek(0)
        page.wait_text("status", lambda t: t == "Ready at the start.")
        self.assertEqual(page.text("output"), "")
        page.seek(21)
        page.wait_state("halted")
        self.assertEqual(page.text("output"), "4\n3\n2\n1")
        # A real drag with the mouse, to the middle.
        ActionChains(self.driver).click_and_hold(timeline).move_by_offset(0, 0).release().perform()
        page.wait(lambda d: page.status_state() == "ready")
        middle = int(timeline.get_attribute("value"))
        self.assertTrue(5 <= middle <= 16, middle)
        page.wait_text("status", lambda t: t.endswith(f"after {middle} steps."))
        # From the middle, Step goes on from there.
        page.click("step")
        page.wait_text("status", lambda t: f"after {middle + 1} steps" in t)

    def test_watchpoints_and_editing(self):
        page = self.page
        self.choose_example("countdown")
        page.set_input("3")
        watch = page.element("watch-address")
        watch.send_keys("count", Keys.ENTER)
        page.wait_text("watch-list", lambda t: t.startswith("memory word 8 (count): 0 hits"))
        page.click("run")
        page.wait_state("watchpoint")
        self.assertEqual(page.text("status"), "Watchpoint count: 0 → 3 after 2 steps.")
        self.assertIn("memory word 8 (count): 1 hit", page.text("watch-list"))
        # Changed by the last step: highlighted in memory.
        page.element("memory-address").clear()
        page.element("memory-address").send_keys("count", Keys.ENTER)
        page.wait(lambda d: page.memory_word(8) == (3, "3"))
        self.assertIn("changed", self.driver.find_element(
            By.CSS_SELECTOR, "#memory-views section:first-child tr[data-address='8']").get_attribute("class"))
        # Edited in place, as the debugger's set: the run goes on with it.
        value = self.driver.find_element(
            By.CSS_SELECTOR, "#memory-views section:first-child tr[data-address='8'] td.value")
        ActionChains(self.driver).double_click(value).perform()
        field = self.driver.find_element(By.CSS_SELECTOR, "#memory-views td.value input")
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys("2", Keys.ENTER)
        page.wait(lambda d: page.memory_word(8) == (2, "2"))
        # Escape leaves a value as it was.
        value = self.driver.find_element(By.CSS_SELECTOR, "#registers td[data-register='I']")
        ActionChains(self.driver).double_click(value).perform()
        field = self.driver.find_element(By.CSS_SELECTOR, "#registers td.value input")
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys("99", Keys.ESCAPE)
        page.wait(lambda d: not d.find_elements(By.CSS_SELECTOR, "#registers td.value input"))
        self.assertEqual(page.register("I")[0], 3)
        # A register watched from its context menu.
        ActionChains(self.driver).context_click(
            self.driver.find_element(By.CSS_SELECTOR, "#registers td[data-register='O']")).perform()
        page.wait_text("watch-list", lambda t: "register O: 0 hits" in t)
        page.click("continue")
        page.wait_state("watchpoint")
        self.assertEqual(page.text("status"), "Watchpoint O: 0 → 2 after 3 steps.")
        self.assertEqual(len(self.driver.find_elements(By.CSS_SELECTOR, "#timeline-hits .hit.watch")), 2)
        # The hits go to their steps.
        self.driver.find_element(By.XPATH, "//ul[@id='watch-list']//button[starts-with(., 'step 2:')]").click()
        page.wait_text("status", lambda t: t.endswith("after 2 steps."))
        for count in (2, 1):  # the list is drawn again after each
            page.wait(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#watch-list li")) == count)
            self.driver.find_element(By.CSS_SELECTOR, "#watch-list button[aria-label^='Remove']").click()
        page.wait(lambda d: page.text("watch-list") == "")
        page.click("continue")
        page.wait_state("halted")
        self.assertEqual(page.text("output"), "2\n1")

    def test_accessibility(self):
        """axe-core in each state of the page, in both themes: no violation of
        serious or critical impact. Each state's screenshot is kept."""
        page = self.page
        states = []

        def check(name):
            for theme in ("light", "dark"):
                page.color_scheme(theme)
                violations = page.axe_violations()
                page.screenshot(f"{name}-{theme}")
                states.append(f"{name}-{theme}")
                self.assertEqual(violations, [], f"{name}, {theme} theme")

        page.wait_state("ready")
        check("loaded")
        page.clear_editor()
        page.type_in_editor("read\nload A, x\n:x 0")
        page.wait_state("no-program")
        check("error")
        page.clear_editor()
        page.type_in_editor(":loop incr A\njump loop")
        page.wait_text("diagnostics", lambda t: t.startswith("No errors"))
        page.click("run")
        page.wait_state("running")
        check("running")
        page.click("stop")
        page.wait_state("ready")
        check("stopped")
        self.choose_example("countdown")
        page.set_input("3")
        page.click("run")
        page.wait_state("halted")
        check("halted")
        self.driver.find_element(By.ID, "help").click()
        page.wait(lambda d: d.execute_script("return document.getElementById('help-panel').open"))
        check("help")
        print(f"axe-core: no serious or critical violation in {', '.join(states)}", file=sys.stderr)

    def test_keyboard_only(self):
        """A whole debugging session without the mouse."""
        page = self.page
        self.choose_example("countdown")
        keys = page.keys
        # Tab from the top of the page to the editor, every stop visibly focused.
        self.driver.execute_script("document.activeElement.blur()")
        page.tab_to(lambda: page.active("cm-content"), check_focus=True)
        keys(Keys.CONTROL, Keys.HOME)
        for _ in range(10):  # down to line 6 (the comment above wraps)
            if page.cursor_line() == 6:
                break
            keys(Keys.ARROW_DOWN)
        keys(Keys.F9)  # a breakpoint on line 6, the write
        page.wait(lambda d: d.execute_script("return window.vornPlayground.breakpointLines()") == [6])
        page.wait_text("announcer", lambda t: t == "Breakpoint set at line 6.")
        page.tab_to(lambda: page.active_id() == "input")
        keys(Keys.CONTROL, "a")
        keys("3")
        keys(Keys.F5)  # continue
        page.wait_state("breakpoint")
        # The screen reader hears the stop.
        page.wait_text("announcer", lambda t: t == "Breakpoint at address 4 after 4 steps. Line 6.")
        self.assertEqual(page.element("announcer").get_attribute("aria-live"), "assertive")
        keys(Keys.F10)  # step
        page.wait_text("output", lambda t: t == "3")
        keys(Keys.SHIFT, Keys.F10)  # back
        page.wait_text("output", lambda t: t == "")
        keys(Keys.F5)
        page.wait(lambda d: page.register("O")[0] == 2 and page.status_state() == "breakpoint")
        keys(Keys.SHIFT, Keys.F5)  # reverse-continue
        page.wait(lambda d: page.register("O")[0] == 3 and page.status_state() == "breakpoint")
        # A register edited: Tab to its value, Enter, the number, Enter.
        page.tab_to(lambda: page.active_attribute("data-register") == "O")
        keys(Keys.ENTER)
        keys(Keys.CONTROL, "a")
        keys("1", Keys.ENTER)
        page.wait(lambda d: page.register("O")[0] == 1)
        self.assertEqual(page.active_attribute("data-register"), "O")
        keys(Keys.ENTER, "7", Keys.ESCAPE)  # cancelled
        page.wait(lambda d: page.active_attribute("data-register") == "O")
        self.assertEqual(page.register("O")[0], 1)
        keys("w")  # watched
        page.wait_text("watch-list", lambda t: "register O" in t)
        # Ctrl+Enter runs from the start, to the breakpoint.
        keys(Keys.CONTROL, Keys.ENTER)
        page.wait_text("status", lambda t: t == "Breakpoint at address 4 after 4 steps." or
                       t.startswith("Watchpoint O"))
        # The timeline from the keyboard.
        keys(Keys.F5)
        page.wait_state("breakpoint")
        page.tab_to(lambda: page.active_id() == "timeline", backwards=True)
        keys(Keys.HOME)
        page.wait_text("status", lambda t: t == "Ready at the start.")
        keys(Keys.ARROW_RIGHT, Keys.ARROW_RIGHT)
        page.wait_text("status", lambda t: t.endswith("after 2 steps."))
        # Help, and Escape closes it; Escape stops a run.
        keys(Keys.F1)
        page.wait(lambda d: d.execute_script("return document.getElementById('help-panel').open"))
        self.assertIn("Shift+F5", page.text("help-panel"))
        keys(Keys.ESCAPE)
        page.wait(lambda d: not d.execute_script("return document.getElementById('help-panel').open"))
        page.tab_to(lambda: page.active("cm-content"))
        keys(Keys.CONTROL, "a", Keys.DELETE)
        keys(":loop incr A\njump loop")
        page.wait_text("diagnostics", lambda t: t.startswith("No errors"))
        keys(Keys.CONTROL, Keys.ENTER)
        page.wait_state("running")
        keys(Keys.ESCAPE)
        page.wait_state("ready")

    def test_reference_and_help(self):
        page = self.page
        self.choose_example("countdown")
        # Hovering an operation in the editor says what it does.
        word = self.driver.find_element(
            By.XPATH, "//div[contains(@class,'cm-line')]//span[text()='decr']")
        ActionChains(self.driver).move_to_element(word).perform()
        page.wait(lambda d: d.find_elements(By.CSS_SELECTOR, ".cm-tooltip .reference"))
        tip = self.driver.find_element(By.CSS_SELECTOR, ".cm-tooltip .reference").text
        self.assertTrue(tip.startswith("decr R: "), tip)
        # And in the listing, from the same table.
        cell = self.driver.find_element(By.XPATH, "//div[@id='listing']//td[text()='decr O']")
        self.assertEqual(cell.get_attribute("title").split(":")[0], "decr R")
        self.assertTrue(tip.startswith(cell.get_attribute("title").split("\n")[0][:12]))
        page.click("help")
        text = page.text("help-panel")
        for expected in ("loadi R1 R2", "jump addr", "Ctrl+Enter", "F10", "Shift+F10", "F5",
                         "Shift+F5", "Escape", ":loop", "= size 5"):
            self.assertIn(expected, text)

    def test_files(self):
        page = self.page
        folder = pathlib.Path(tempfile.mkdtemp(prefix="vorn-files-"))
        try:
            program = folder / "echo.vorn"
            program.write_text("; echo\nread\nstore I x\nload O x\nwrite\njump end\n:x 0\n")
            page.element("open-file").send_keys(str(program))
            page.wait(lambda d: page.source().startswith("; echo"))
            page.set_input("5")
            page.click("run")
            page.wait_text("output", lambda t: t == "5")
            # Save: the browser downloads the source under its name.
            self.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                        {"behavior": "allow", "downloadPath": str(folder / "saved")})
            page.click("save")
            saved = folder / "saved" / "echo.vorn"
            page.wait(lambda d: saved.exists() and saved.read_text() == program.read_text())
            # Dropped on the page.
            self.driver.execute_script(
                "const data = new DataTransfer();"
                "data.items.add(new File(['; dropped\\nread\\n'], 'dropped.vorn'));"
                "document.getElementById('editor').dispatchEvent("
                "  new DragEvent('drop', {dataTransfer: data, bubbles: true, cancelable: true}));")
            page.wait(lambda d: page.source() == "; dropped\nread\n")
            # The session, breakpoints too, across a reload.
            page.click_line_number(2)
            page.wait(lambda d: d.execute_script("return window.vornPlayground.breakpointLines()") == [2])
            time.sleep(0.5)
            self.driver.get(page.url)
            page.wait(lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))
            page.wait(lambda d: page.source() == "; dropped\nread\n")
            page.wait(lambda d: d.execute_script("return window.vornPlayground.breakpointLines()") == [2])
            self.assertEqual(page.element("input").get_attribute("value"), "5")
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_offline(self):
        """After the first visit the page loads and runs with the server gone."""
        page = self.page
        page.wait(lambda d: d.execute_script(
            "return navigator.serviceWorker.controller !== null"), timeout=30)
        self.server.__exit__(None, None, None)
        self.server = contextlib.nullcontext()
        self.driver.get(page.url)
        page.wait(lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))
        page.wait_state("ready")
        self.choose_example("countdown")
        page.set_input("2")
        page.click("run")
        page.wait_text("output", lambda t: t == "2\n1")

    def test_endless_loop(self):
        page = self.page
        page.clear_editor()
        page.type_in_editor(":loop incr A\njump loop")
        page.wait_text("diagnostics", lambda t: t.startswith("No errors"))
        page.click("run")
        page.wait_state("running")
        page.wait_text("status", lambda t: "million steps/s" in t)
        # The page answers while the machine runs: typing is assembled at once.
        page.type_in_editor("\nload")
        page.wait_text("diagnostics", lambda t: "expecting" in t, timeout=5)
        self.assertEqual(page.status_state(), "running")
        started = time.monotonic()
        page.click("stop")
        page.wait_state("ready", timeout=5)
        stopped_in = time.monotonic() - started
        self.assertLess(stopped_in, 3.0)
        self.assertRegex(page.text("status"), r"^Paused at address [01] after \d+ steps\.$")
        steps = int(page.text("status").split("after ")[1].split()[0])
        self.assertGreaterEqual(steps, 1_000_000)
        self.assertGreater(page.register("A")[0], 0)
        # The step log: the last thousand steps, up to the one it stopped after.
        rows = page.step_log()
        self.assertEqual(len(rows), 1000)
        self.assertRegex(rows[-1], rf"^step {steps} @[01] \(line [12]\): ")
        self.assertTrue(rows[0].startswith(f"step {steps - 999} @"))
        print(f"stopped in {stopped_in * 1000:.0f} ms after {steps} steps", file=sys.stderr)

    def test_heat_map_and_origin(self):
        """After a run the lines are coloured by how often they ran; a click on
        a register or a memory word shows where its value came from, as
        vorndbg's info origin says it at the same step."""
        page = self.page
        self.choose_example("countdown")
        page.set_input("3")
        page.click("run")
        page.wait_state("halted")
        page.click("heat-map")
        # Each line's count, as the editor shows it: the loop (lines 5 to 8)
        # ran three or four times, the lines around it once, the data word never.
        page.wait(lambda d: self.editor_counts().get(5) == 4)
        self.assertEqual(self.editor_counts(), {2: 1, 3: 1, 4: 1, 5: 4, 6: 3, 7: 3, 8: 3, 9: 1, 10: 0})
        self.assertIn("cm-heat", self.editor_line(5).get_attribute("class"))
        self.assertEqual(self.editor_line(5).get_attribute("title"), "Ran 4 times.")
        # The listing's cells carry the same counts.
        self.assertEqual(self.listing_counts(), {0: 1, 1: 1, 2: 1, 3: 4, 4: 3, 5: 3, 6: 3, 7: 1, 8: 0})
        page.screenshot("heat-map")

        # Back at the first write: the counts are those of the run so far.
        self.driver.find_element(By.CSS_SELECTOR, "#step-log li[data-step='4']").click()
        page.wait_text("status", lambda t: t.endswith("after 4 steps."))
        page.wait(lambda d: self.editor_counts().get(5) == 1)
        self.assertEqual(self.editor_counts(), {2: 1, 3: 1, 4: 1, 5: 1, 6: 0, 7: 0, 8: 0, 9: 0, 10: 0})

        # O, then the word it was loaded from: back to the read.
        self.driver.find_element(By.CSS_SELECTOR, "#registers td[data-register='O']").click()
        self.wait_origin("register O", 4, self.debugger_origin(4, "O"))
        address = page.element("memory-address")
        address.clear()
        address.send_keys("count", Keys.ENTER)
        page.wait(lambda d: page.memory_word(8) == (3, "3"))
        self.driver.find_element(
            By.CSS_SELECTOR, "#memory-views section:first-child tr[data-address='8'] td.value").click()
        self.wait_origin("memory word 8", 4, self.debugger_origin(4, "8"))
        self.driver.execute_script("document.getElementById('origin-panel').scrollIntoView()")
        page.screenshot("origin")
        # The chain follows the machine: before the store, the image's word.
        self.driver.find_element(By.CSS_SELECTOR, "#step-log li[data-step='1']").click()
        self.wait_origin("memory word 8", 1, self.debugger_origin(1, "8"))
        self.assertEqual(self.origin_links()[0]["source"], "image")
        self.assertEqual(self.origin_links()[0]["line"], "10")
        # Turned off, the colours go.
        page.click("heat-map")
        page.wait(lambda d: self.editor_counts() == {})
        self.assertEqual(self.listing_counts(), {})

    def editor_line(self, number):
        return self.driver.execute_script(
            "const view = window.vornPlayground.view;"
            "return [...document.querySelectorAll('#editor .cm-line')].find(line =>"
            "  view.state.doc.lineAt(view.posAtDOM(line)).number === arguments[0]);", number)

    def editor_counts(self):
        """Each editor line's count of runs, by line number."""
        return {int(line): int(count) for line, count in self.driver.execute_script(
            "const view = window.vornPlayground.view;"
            "return [...document.querySelectorAll('#editor .cm-line[data-count]')].map(line =>"
            "  [view.state.doc.lineAt(view.posAtDOM(line)).number, line.dataset.count]);")}

    def listing_counts(self):
        return {int(address): int(count) for address, count in self.driver.execute_script(
            "return [...document.querySelectorAll('#listing tr[data-count]')].map("
            "  row => [row.dataset.address, row.dataset.count]);")}

    def origin_links(self):
        return self.driver.execute_script(
            "return [...document.querySelectorAll('#origin-chain li')].map(li => ({"
            "  text: li.textContent, source: li.dataset.source, line: li.dataset.line}));")

    def wait_origin(self, what, step, expected):
        title = f"Where the value of {what} came from, after {step} steps:"
        try:
            self.page.wait(lambda d: self.page.text("origin").startswith(title) and
                           "\n".join(link["text"] for link in self.origin_links()) == expected)
        except Exception as error:
            raise AssertionError(f"the origin panel reads {self.page.text('origin')!r}, "
                                 f"vorndbg says {expected!r}") from error

    def debugger_origin(self, step, where):
        """vorndbg's answer to info origin at the step, countdown with input 3."""
        vorndbg = os.environ.get("VORNDBG", str(ROOT / "build" / "debug" / "vorndbg"))
        with tempfile.TemporaryDirectory() as folder:
            given = pathlib.Path(folder) / "input"
            given.write_text("3\n")

            def session(commands):
                return subprocess.run(
                    [vorndbg, "--batch", "--source", str(ROOT / "examples" / "countdown.vorn"),
                     "--input", str(given)], input=commands, capture_output=True, text=True,
                    check=True).stdout

            # What the command adds to the session that only goes to the step.
            before = session(f"step {step}\n")
            after = session(f"step {step}\ninfo origin {where}\n")
        self.assertTrue(after.startswith(before), after)
        return after[len(before):].rstrip("\n")

    def test_shared_link(self):
        page = self.page
        page.clear_editor()
        program = "; shared\nread\nstore I x\nload O x\nwrite\njump end\n:x 0"
        page.type_in_editor(program)
        page.set_input("77")
        page.click("share")
        page.wait(lambda d: "#source=" in d.current_url)
        link = self.driver.current_url

        # Another student, another browser: the link alone brings program and input.
        with browser() as other:
            theirs = Page(other, page.url).open(link[len(page.url):])
            theirs.wait(lambda d: theirs.source() == program)
            self.assertEqual(theirs.element("input").get_attribute("value"), "77")
            theirs.click("run")
            theirs.wait_text("output", lambda t: t == "77")

        # The same browser without the link: the last source, from local storage.
        page.open()
        page.wait(lambda d: page.source() == program)


# The CMake tests name the cases in camel case.
for name in list(vars(BrowserTest)):
    if name.startswith("test_"):
        camel = "test" + "".join(part.title() for part in name[5:].split("_"))
        setattr(BrowserTest, camel, getattr(BrowserTest, name))
        delattr(BrowserTest, name)

if __name__ == "__main__":
    if not (PAGE / "vorn.js").exists():
        print(f"skipped: no {PAGE}/vorn.js (scripts/web --build makes it)")
        sys.exit(77)
    unittest.main()
