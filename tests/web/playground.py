"""Drives the playground in a real headless Chromium: a static server over
build/web on a free port, and a fresh browser profile for each test."""

import contextlib
import functools
import http.server
import os
import pathlib
import shutil
import socketserver
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

ROOT = pathlib.Path(__file__).resolve().parents[2]
PAGE = pathlib.Path(os.environ.get("VORN_WEB_DIR", ROOT / "build" / "web"))
# axe-core, pinned in web/package-lock.json (scripts/web installs it).
AXE = ROOT / "web" / "node_modules" / "axe-core" / "axe.min.js"
# Where the tests keep their screenshots.
ARTEFACTS = pathlib.Path(os.environ.get("VORN_WEB_ARTEFACTS", ROOT / "build" / "web-artefacts"))


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


@contextlib.contextmanager
def serve(directory=PAGE):
    handler = functools.partial(QuietHandler, directory=str(directory))
    with socketserver.ThreadingTCPServer(("127.0.0.1", 0), handler) as server:
        server.daemon_threads = True
        thread = threading.Thread(target=server.serve_forever, daemon=True)
        thread.start()
        try:
            yield f"http://127.0.0.1:{server.server_address[1]}/"
        finally:
            server.shutdown()


def chromium_binary():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    raise RuntimeError("chromium is not installed (scripts/setup-deps installs it)")


@contextlib.contextmanager
def browser():
    profile = tempfile.mkdtemp(prefix="vorn-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = chromium_binary()
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--window-size=1400,1000",
                 f"--user-data-dir={profile}"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    service = Service(shutil.which("chromedriver") or "/usr/bin/chromedriver")
    driver = webdriver.Chrome(service=service, options=options)
    try:
        yield driver
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


class Page:
    """The playground as a student sees it: its controls by their ids."""

    def __init__(self, driver, url):
        self.driver = driver
        self.url = url

    def open(self, fragment=""):
        self.driver.get(self.url + fragment)
        self.wait(lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))
        return self

    def wait(self, condition, timeout=20):
        return WebDriverWait(self.driver, timeout, poll_frequency=0.05).until(condition)

    def element(self, id_):
        return self.driver.find_element(By.ID, id_)

    def text(self, id_):
        return self.element(id_).text

    def click(self, id_):
        self.element(id_).click()

    def wait_text(self, id_, predicate, timeout=20):
        try:
            self.wait(lambda d: predicate(self.text(id_)), timeout)
            return self.text(id_)
        except Exception as error:
            raise AssertionError(f"#{id_} reads {self.text(id_)!r}") from error

    def clear_editor(self):
        self.driver.execute_script("window.vornPlayground.setSource('')")

    def type_in_editor(self, text):
        content = self.driver.find_element(By.CSS_SELECTOR, "#editor .cm-content")
        content.click()
        content.send_keys(text)

    def source(self):
        return self.driver.execute_script("return window.vornPlayground.source()")

    def set_input(self, text):
        field = self.element("input")
        field.clear()
        field.send_keys(text)

    def click_line_number(self, line):
        numbers = self.driver.find_elements(By.CSS_SELECTOR, ".cm-lineNumbers .cm-gutterElement")
        target = [n for n in numbers if n.text == str(line)]
        target[0].click()

    def register(self, name):
        """The register's value and whether the last step changed it (read at
        once: the view is redrawn on every state the worker sends)."""
        value, changed = self.driver.execute_script(
            "const row = document.querySelector(`#registers tr[data-register='${arguments[0]}']`);"
            "return [Number(row.querySelector('td.value').textContent),"
            "        row.classList.contains('changed')];", name)
        return value, changed

    def memory_word(self, address):
        """The word at the address in the memory view from an address, and how
        vornlist shows it (an instruction by its labels, a data word as its
        number), or None when the view does not show it."""
        word = self.driver.execute_script(
            "const row = document.querySelector("
            "  `#memory-views section:first-child tr[data-address='${arguments[0]}']`);"
            "if (!row) return null;"
            "const cells = row.querySelectorAll('td');"
            "return [Number(cells[3].textContent), cells[4].textContent];", address)
        return tuple(word) if word else None

    def step_log(self):
        return self.driver.execute_script(
            "return [...document.querySelectorAll('#step-log li')].map(li => li.textContent)")

    def seek(self, step):
        """Moves the timeline as a drag does: its value, then an input event."""
        self.driver.execute_script(
            "const t = document.getElementById('timeline'); t.value = arguments[0];"
            "t.dispatchEvent(new Event('input', {bubbles: true}));"
            "t.dispatchEvent(new Event('change', {bubbles: true}));", step)

    def status_state(self):
        return self.element("status").get_attribute("data-state")

    def wait_state(self, state, timeout=20):
        try:
            self.wait(lambda d: self.status_state() == state, timeout)
        except Exception as error:
            raise AssertionError(
                f"status is {self.status_state()!r}: {self.text('status')!r}") from error

    def current_line(self):
        return self.driver.execute_script(
            "const line = document.querySelector('.cm-current-instruction');"
            "if (!line) return 0;"
            "const view = window.vornPlayground.view;"
            "return view.state.doc.lineAt(view.posAtDOM(line)).number;")

    # ---- The keyboard ----

    def keys(self, *keys):
        """Keys pressed wherever the focus is, as a person types them."""
        chain = ActionChains(self.driver)
        modifiers = [k for k in keys if k in (Keys.CONTROL, Keys.SHIFT, Keys.ALT)]
        for key in modifiers:
            chain.key_down(key)
        for key in keys:
            if key not in modifiers:
                chain.send_keys(key)
        for key in reversed(modifiers):
            chain.key_up(key)
        chain.perform()

    def cursor_line(self):
        return self.driver.execute_script(
            "const view = window.vornPlayground.view;"
            "return view.state.doc.lineAt(view.state.selection.main.head).number")

    def active_id(self):
        return self.driver.execute_script("return document.activeElement.id")

    def active(self, class_name):
        return self.driver.execute_script(
            "return document.activeElement.classList.contains(arguments[0])", class_name)

    def active_attribute(self, name):
        return self.driver.execute_script(
            "return document.activeElement.getAttribute(arguments[0])", name)

    def tab_to(self, reached, backwards=False, check_focus=False, limit=200):
        """Presses Tab (or Shift+Tab) until `reached()`; with check_focus,
        every element on the way must show a focus outline."""
        for _ in range(limit):
            if reached():
                return
            self.keys(*([Keys.SHIFT, Keys.TAB] if backwards else [Keys.TAB]))
            if check_focus:
                outline = self.driver.execute_script(
                    "const e = document.activeElement;"
                    "const s = getComputedStyle(e);"
                    "return [e.tagName + '#' + e.id + '.' + e.className, s.outlineStyle, s.outlineWidth];")
                if outline[0].startswith("BODY"):
                    continue
                assert outline[1] != "none" and outline[2] != "0px", f"no visible focus on {outline[0]}"
        raise AssertionError(f"Tab never reached it; the focus is on {self.active_id()!r}")

    # ---- Accessibility and pictures ----

    def color_scheme(self, scheme):
        self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
            "features": [{"name": "prefers-color-scheme", "value": scheme}]})

    def axe_violations(self, impacts=("serious", "critical")):
        """axe-core's violations of these impacts: rule, impact and the first nodes."""
        if not self.driver.execute_script("return typeof axe !== 'undefined'"):
            self.driver.execute_script(AXE.read_text())
        self.driver.set_script_timeout(60)
        violations = self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "axe.run(document, {resultTypes: ['violations']}).then("
            "  r => done(r.violations.map(v => ({id: v.id, impact: v.impact, help: v.help,"
            "    nodes: v.nodes.slice(0, 3).map(n => n.target.join(' '))}))),"
            "  e => done([{id: 'axe-error', impact: 'critical', help: String(e), nodes: []}]));")
        return [v for v in violations if v["impact"] in impacts]

    def screenshot(self, name):
        ARTEFACTS.mkdir(parents=True, exist_ok=True)
        path = ARTEFACTS / f"playground-{name}.png"
        self.driver.save_screenshot(str(path))
        return path

    def console_errors(self):
        return [entry for entry in self.driver.get_log("browser") if entry["level"] == "SEVERE"]
