"""Takes the README's picture of the playground: the countdown example
stopped at a breakpoint in its loop, one step on.

  /usr/bin/python3 tests/web/screenshot.py docs/playground.png
"""

import sys

from selenium.webdriver.support.ui import Select

from playground import Page, browser, serve


def main(path):
    with serve() as url, browser() as driver:
        page = Page(driver, url).open()
        Select(page.element("examples")).select_by_visible_text("countdown")
        page.wait(lambda d: "; Counts down" in page.source())
        page.set_input("5")
        page.click_line_number(6)
        page.click("continue")
        page.wait_state("breakpoint")
        page.click("continue")
        page.wait(lambda d: page.register("O")[0] == 4)
        page.click("step")
        page.wait_text("output", lambda t: t == "5\n4")
        page.click("step")
        page.wait(lambda d: page.register("O")[0] == 3)
        driver.set_window_size(1400, 900)
        driver.save_screenshot(path)


if __name__ == "__main__":
    main(sys.argv[1])
