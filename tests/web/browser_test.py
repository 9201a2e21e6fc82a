"""The playground as a student uses it, in a real headless Chromium.

Run one case:  /usr/bin/python3 tests/web/browser_test.py BrowserTest.testEndlessLoop
Exits 77 (skipped) when there is no build/web (scripts/web --build makes it).
"""

import sys
import time
import unittest

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from playground import PAGE, Page, browser, serve

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
        self.assertEqual(page.text("diagnostics"), f"line 2: Error: {MISTAKE}.")
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
        self.assertEqual(page.register("O"), (3, True))
        self.assertEqual(page.text("output"), "")
        # Memory from an address: "count" (8) holds the number read.
        address = page.element("memory-address")
        address.clear()
        address.send_keys("0x8", Keys.ENTER)
        page.wait(lambda d: page.memory_word(8) == (3, "noop"))

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
        print(f"stopped in {stopped_in * 1000:.0f} ms after {steps} steps", file=sys.stderr)

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
