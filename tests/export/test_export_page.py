#!/usr/bin/env python3
"""The exported page in a real browser, headless Chromium driven by Selenium.

Exports the sample medium with "Ambrel --export", then opens pages from the file system and from a
static web server: at #t= a moment of the third slide the page shows that slide, its title and
that moment's transcript section, the marks of the player's range, and after four seconds of
playing from just before the next slide the next slide. With --screenshot PATH it also saves a
picture of the page for the README.

Usage: test_export_page.py AMBREL SAMPLE_MEDIUM WORKDIR [--screenshot PATH]
Exit 77 (skipped) when Chromium, its driver or Selenium is not installed.
"""
import functools
import http.server
import os
import shutil
import subprocess
import sys
import threading
import time

SKIP = 77

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    print("python3-selenium is not installed: skipped")
    sys.exit(SKIP)

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)
    print("ok   " + message)


def browser(extra_flags=()):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--autoplay-policy=no-user-gesture-required", "--mute-audio",
                 "--window-size=1280,800", "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-quic", "--disable-sync") + tuple(extra_flags):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(DRIVER), options=options)


STATE = """
var m = document.getElementById('media');
var marks = Array.prototype.map.call(document.querySelectorAll('#marks .mark'),
    function (e) { return e.textContent; });
var current = document.querySelector('#strip .thumb.current');
return {
  src: document.getElementById('slide').getAttribute('src'),
  loaded: document.getElementById('slide').naturalWidth,
  title: document.getElementById('slide-title').textContent,
  transcript: document.getElementById('transcript').textContent,
  marks: marks,
  highlight: current ? Array.prototype.indexOf.call(current.parentNode.children, current) : -1,
  time: m.currentTime, ready: m.readyState, paused: m.paused,
  error: m.error ? m.error.code : 0
};
"""


def state(driver):
    return driver.execute_script(STATE)


def open_at(driver, url):
    driver.get("about:blank")
    driver.get(url)
    # The media element has its metadata and has gone to the moment asked for.
    WebDriverWait(driver, 20).until(lambda d: d.execute_script(
        "var m = document.getElementById('media'); return m.readyState >= 1 && !m.seeking;"))
    return state(driver)


def check_presentation(driver, base, label):
    s = open_at(driver, base + "/index.html#t=14.5")
    check(s["error"] == 0, "%s: the recording plays in the browser" % label)
    check(abs(s["time"] - 14.5) < 0.01, "%s: #t=14.5 starts at 14.5 s (%.3f)" % (label, s["time"]))
    check(s["src"] == "Slides/ZentoLaunch/Slide3.jpg", "%s: third slide shown (%s)" % (label, s["src"]))
    check(s["loaded"] > 0, "%s: its picture loaded" % label)
    check(s["title"] == "Our year in numbers", "%s: its title (%s)" % (label, s["title"]))
    check(s["transcript"].startswith("Slide three: Our year in numbers."),
          "%s: that moment's transcript section" % label)
    check(s["highlight"] == 2, "%s: third thumbnail highlighted" % label)

    # Another language takes effect at once.
    Select(driver.find_element("id", "language")).select_by_visible_text("FRENCH")
    check(driver.find_element("id", "transcript").text.startswith("Diapositive trois"),
          "%s: FRENCH transcript after choosing it" % label)

    # The player's binary search: the last entry at or before the position, equal times found
    # in the order the middle is probed.
    for times, position, expected in (
            ([0, 60000, 120000], 0, 1), ([0, 60000, 120000], 59999.9, 1),
            ([0, 60000, 120000], 60000, 2), ([0, 60000, 120000], 500000, 3),
            ([0, 0, 5000], 0, 2), ([0, 0, 5000], 100, 2), ([1000, 2000], 500, 0),
            ([0, 1000, 1000, 1000, 1000], 1000, 3), ([0, 0, 0, 0], 0, 2)):
        found = driver.execute_script(
            "return window.presentationPage.lookup(arguments[0].map(function (t) {"
            " return {time: t}; }), arguments[1]);", times, position)
        check(found == expected, "%s: lookup %s at %s gives %s (%s)"
              % (label, times, position, expected, found))

    # The player's mark ranges: slide 1 shows both text marks, slide 2 only the second one.
    s = open_at(driver, base + "/index.html#t=1")
    check(s["marks"] == ["Welcome", "Lyon, May 2004"], "%s: marks on slide 1 %s" % (label, s["marks"]))
    s = open_at(driver, base + "/index.html#t=7")
    check(s["marks"] == ["Lyon, May 2004"], "%s: marks on slide 2 %s" % (label, s["marks"]))

    # Play four seconds from just before the fourth slide (18 s).
    s = open_at(driver, base + "/index.html#t=17")
    check(s["src"].endswith("/Slide3.jpg"), "%s: slide 3 at 17 s" % label)
    driver.execute_script("document.getElementById('media').play();")
    time.sleep(4)
    s = state(driver)
    check(not s["paused"] and s["time"] > 18, "%s: playing, now at %.2f s" % (label, s["time"]))
    check(s["src"] == "Slides/ZentoLaunch/Slide4.jpg", "%s: next slide shown after playing (%s)"
          % (label, s["src"]))
    check(s["title"] == "Meet zENTO Archive 4", "%s: next title" % label)
    check(s["transcript"].startswith("Slide four"), "%s: next transcript section" % label)

    # A thumbnail click goes to its slide.
    driver.find_elements("css selector", "#strip .thumb")[5].click()
    s = state(driver)
    check(s["src"].endswith("/Slide6.jpg") and abs(s["time"] - 30) < 0.5,
          "%s: thumbnail 6 seeks to 30 s (%.2f)" % (label, s["time"]))


class StaticFiles(http.server.SimpleHTTPRequestHandler):
    """A plain static server with byte ranges, as every web server has: browsers seek in a
    recording only where they can ask for a part of it."""

    def send_head(self):
        self._range = None
        header = self.headers.get("Range", "")
        path = self.translate_path(self.path)
        if not header.startswith("bytes=") or not os.path.isfile(path):
            return super().send_head()
        size = os.path.getsize(path)
        first, _, last = header[6:].split(",")[0].partition("-")
        start = int(first) if first else max(0, size - int(last))
        end = int(last) if first and last else size - 1
        end = min(end, size - 1)
        f = open(path, "rb")
        f.seek(start)
        self.send_response(206)
        self.send_header("Content-Type", self.guess_type(path))
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, size))
        self.send_header("Content-Length", str(end - start + 1))
        self.end_headers()
        self._range = end - start + 1
        return f

    def copyfile(self, source, outputfile):
        if self._range is None:
            return super().copyfile(source, outputfile)
        outputfile.write(source.read(self._range))

    def log_message(self, *args):
        pass


def serve(folder):
    handler = functools.partial(StaticFiles, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    args = sys.argv[1:]
    screenshot = None
    if "--screenshot" in args:
        i = args.index("--screenshot")
        screenshot = args[i + 1]
        del args[i:i + 2]
    if len(args) != 3:
        print(__doc__)
        return 2
    ambrel, sample, work = args
    if not (os.path.exists(CHROMIUM) and os.path.exists(DRIVER)):
        print("chromium or chromium-driver is not installed: skipped")
        return SKIP

    out = os.path.join(os.path.abspath(work), "web")
    shutil.rmtree(out, ignore_errors=True)
    run = subprocess.run([ambrel, "--export", out, "--medium", sample],
                         capture_output=True, text=True, timeout=600)
    print(run.stdout)
    check(run.returncode == 0, "Ambrel --export exits 0 (%d) %s" % (run.returncode, run.stderr))

    driver = browser()
    server = None
    try:
        for folder in ("Launch2004", "Launch2004Video"):
            check_presentation(driver, "file://" + os.path.join(out, folder), folder + " from file://")

        # The still-picture interview: its picture, no strip, the transcript.
        s = open_at(driver, "file://" + os.path.join(out, "Interview", "index.html#t=9"))
        check(s["src"] == "slide.jpg" and s["loaded"] > 0, "Interview: still picture shown")
        check(s["transcript"].startswith("Interviewer: How did the archive start?"),
              "Interview: second section at 9 s")

        server = serve(out)
        url = "http://127.0.0.1:%d" % server.server_address[1]
        s = open_at(driver, url + "/Launch2004Video/index.html#t=14.5")
        check(s["src"] == "Slides/ZentoLaunch/Slide3.jpg" and s["title"] == "Our year in numbers",
              "from a web server: third slide and title %s" % s)
        driver.get(url + "/index.html")
        links = [a.get_attribute("href") for a in driver.find_elements("css selector", "#presentations a")]
        check(len(links) == 3 and links[0].endswith("/Launch2004/index.html"),
              "the list page links every presentation")

        # Nothing was asked of the network: every resource came from the package.
        entries = driver.execute_script(
            "return performance.getEntriesByType('resource').map(function (e) { return e.name; });")
        check(all(e.startswith(url) for e in entries), "no request leaves the package")

        if screenshot:
            driver.set_window_size(1280, 1000)
            open_at(driver, "file://" + os.path.join(out, "Launch2004Video", "index.html#t=2.5"))
            WebDriverWait(driver, 20).until(lambda d: d.execute_script(
                "return document.getElementById('media').readyState >= 3;"))
            time.sleep(1)
            os.makedirs(os.path.dirname(os.path.abspath(screenshot)), exist_ok=True)
            driver.save_screenshot(screenshot)
            print("screenshot " + screenshot)
    finally:
        driver.quit()
        if server:
            server.shutdown()
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
