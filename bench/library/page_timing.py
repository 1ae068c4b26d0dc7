#!/usr/bin/env python3
"""Measures the exported collection's page in headless Chromium, from the file system and through
a local web server (python3 -m http.server bound to 127.0.0.1), with the Performance API:

- first load: every resource the page takes until its listing is drawn and the pictures in view
  have come, and the time to the listing drawn. Over HTTP the bytes are the resource timing's
  transferSize (the browser's cache off). From the file system Chromium's resource timing has
  no entries at all, so there the bytes are counted from the DevTools protocol's network events
  (each file's encodedDataLength, its size);
- one word: the bytes a search of one word brings, on a freshly loaded page, the word typed
  letter by letter (each letter searches, as in use) and, on another fresh page, pasted whole;
- queries: each query put in the box (an input event), from the event to the hits drawn.

Prints the figures and exits 1 when a goal is missed: first load at most 1 MB, one word at most
300 kB with the page's own script, p95 from input to hits at most 100 ms, open under 1 s.

Usage: page_timing.py OUTDIR QUERIES WORDS [HITS_JSON [KINDS]]
  QUERIES and WORDS are separated by "|". HITS_JSON, when given, receives the hits the page
  drew for each query over HTTP ([talk, place, atMs, language] each), for comparing them with
  the program's. KINDS names the queries' kinds in turn ("|"-separated, repeated over the
  queries), for a line of figures per kind.
"""
import json
import os
import shutil
import socket
import subprocess
import sys
import time
import urllib.parse
import urllib.request

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
except ImportError:
    print("page: python3-selenium is not installed: not measured")
    sys.exit(0)

FIRST_LOAD_GOAL = 1000 * 1000
ONE_WORD_GOAL = 300 * 1000
P95_GOAL_MS = 100.0
OPEN_GOAL_MS = 1000.0

# Waits for the listing: the page says when it has drawn it (collectionReadyAt); a page that
# draws everything while it loads has drawn it at its load event.
READY = """
var done = arguments[arguments.length - 1];
function check() {
  if (window.collectionReadyAt !== undefined) return done(window.collectionReadyAt);
  if (document.readyState === 'complete' && !window.collectionSearch) {
    var nav = performance.getEntriesByType('navigation')[0];
    return done(nav ? nav.loadEventEnd : performance.now());
  }
  setTimeout(check, 5);
}
check();
"""

# Puts a query in the box and waits for its hits: a page that searches asynchronously tells
# with a "collectionhits" event; one that searches at once has drawn them when the event returns.
TYPE = """
var q = arguments[0], done = arguments[arguments.length - 1];
var input = document.getElementById('query');
var t0;
function finish() {
  // A page of the older kind does not say which talk each hit is.
  var hits = !window.collectionSearch ? null : Array.prototype.map.call(document.querySelectorAll('#hits li'), function (li) {
    return [Number(li.dataset.talk), Number(li.dataset.place), Number(li.dataset.at),
            li.dataset.language || ''];
  });
  done([performance.now() - t0, hits]);
}
if (window.collectionSearch) {
  document.addEventListener('collectionhits', function h(e) {
    if (e.detail.query !== q) return;
    document.removeEventListener('collectionhits', h);
    finish();
  });
}
input.value = q;
t0 = performance.now();
input.dispatchEvent(new Event('input'));
if (!window.collectionSearch) finish();
"""

RESOURCES = """
var nav = performance.getEntriesByType('navigation');
return nav.concat(performance.getEntriesByType('resource')).map(function (e) {
  return [e.name, e.transferSize || 0, e.encodedBodySize || 0];
});
"""


def percentile(values, q):
    values = sorted(values)
    return values[min(len(values) - 1, int(q * (len(values) - 1) + 0.5))]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Page:
    def __init__(self, outdir, base):
        self.outdir = outdir
        self.base = base
        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
        for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1280,800", "--no-first-run", "--disable-quic",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--enable-precise-memory-info"):
            options.add_argument(flag)
        service = Service(shutil.which("chromedriver") or "/usr/bin/chromedriver")
        options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
        self.driver = webdriver.Chrome(service=service, options=options)
        self.driver.set_page_load_timeout(900)
        self.driver.set_script_timeout(900)
        # Every resource counted, however many; the cache off, so that each load transfers.
        self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {
            "source": "performance.setResourceTimingBufferSize(1000000);"})
        self.driver.execute_cdp_cmd("Network.enable", {})
        self.driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})

    def quit(self):
        self.driver.quit()

    def open(self):
        """Loads the page; the time to the listing drawn, in ms."""
        self.driver.get_log("performance")
        self.driver.get(self.base + "index.html")
        ready = self.driver.execute_async_script(READY)
        # The pictures in view come after the listing; lazy ones further down do not.
        time.sleep(1.0)
        return ready

    def clear(self):
        self.driver.execute_script("performance.clearResourceTimings();")
        self.driver.get_log("performance")

    def bytes(self):
        """Bytes of the resources since the last clear (see the top of this file)."""
        if self.base.startswith("file://"):
            urls = {}
            total = 0
            for entry in self.driver.get_log("performance"):
                message = json.loads(entry["message"])["message"]
                params = message.get("params", {})
                if message["method"] == "Network.requestWillBeSent":
                    urls[params["requestId"]] = params["request"]["url"]
                elif message["method"] == "Network.loadingFinished" and params["requestId"] in urls:
                    total += int(params.get("encodedDataLength", 0))
            return total, len(urls)
        total = 0
        files = 0
        for _, transfer, _ in self.driver.execute_script(RESOURCES):
            total += transfer
            files += 1
        return total, files

    def type(self, query):
        return self.driver.execute_async_script(TYPE, query)


def measure(outdir, base, mode, queries, words, hits_out, kinds):
    ok = True
    page = Page(outdir, base)
    try:
        opened = []
        for _ in range(3):
            opened.append(page.open())
        first, first_files = page.bytes()
        heap = page.driver.execute_script(
            "return performance.memory ? performance.memory.usedJSHeapSize : 0")
        # The page's own script, counted once more with each word, as a search that came with
        # its own code would.
        code = os.path.join(outdir, "collection", "collection.js")
        if not os.path.exists(code):
            code = os.path.join(outdir, "collection.js")  # a page of the older kind
        code_bytes = os.path.getsize(code)
        print("%-5s open          %7.0f ms median of 3 (to the listing drawn; goal 1000 ms)"
              % (mode, percentile(opened, 0.5)))
        print("%-5s first load    %7.1f kB in %d files (JS heap %.1f MiB; goal 1000 kB)"
              % (mode, first / 1000.0, first_files, heap / 1048576.0))
        ok = ok and percentile(opened, 0.5) <= OPEN_GOAL_MS and first <= FIRST_LOAD_GOAL

        # One word: typed letter by letter, and pasted, each on a fresh page.
        typed_bytes, pasted_bytes, keystrokes = [], [], []
        for word in words:
            page.open()
            page.clear()
            for n in range(1, len(word) + 1):
                ms, _ = page.type(word[:n])
                keystrokes.append(ms)
            typed_bytes.append(page.bytes()[0])
            page.open()
            page.clear()
            page.type(word)
            pasted_bytes.append(page.bytes()[0])
        worst = max(max(typed_bytes), max(pasted_bytes))
        print("%-5s one word      typed %6.1f kB median, %6.1f kB max; pasted %6.1f kB median, "
              "%6.1f kB max (%d words; with the page's script %6.1f kB at most; goal 300 kB)"
              % (mode, percentile(typed_bytes, 0.5) / 1000.0, max(typed_bytes) / 1000.0,
                 percentile(pasted_bytes, 0.5) / 1000.0, max(pasted_bytes) / 1000.0, len(words),
                 (worst + code_bytes) / 1000.0))
        ok = ok and worst + code_bytes <= ONE_WORD_GOAL

        page.open()
        page.type("warm")
        times = []
        shown = 0
        drawn = {}
        for q in queries:
            ms, hits = page.type(q)
            times.append(ms)
            shown += len(hits) if hits is not None else page.driver.execute_script(
                "return document.querySelectorAll('#hits li').length")
            if hits is not None:
                drawn[q] = hits
        for k, kind in enumerate(kinds):
            of_kind = times[k::len(kinds)]
            print("%-5s   %-13s p50 %6.2f ms  p95 %6.2f ms  max %7.2f ms" % (
                mode, kind, percentile(of_kind, 0.5), percentile(of_kind, 0.95), max(of_kind)))
        every = times + keystrokes
        print("%-5s queries       p50 %6.2f ms  p95 %6.2f ms  max %7.2f ms  (%d queries, %.1f "
              "hits shown each)" % (mode, percentile(times, 0.5), percentile(times, 0.95),
                                    max(times), len(times), shown / float(len(times))))
        print("%-5s keystrokes    p50 %6.2f ms  p95 %6.2f ms  max %7.2f ms  (%d letters typed)"
              % (mode, percentile(keystrokes, 0.5), percentile(keystrokes, 0.95),
                 max(keystrokes), len(keystrokes)))
        print("%-5s input to hits p95 %6.2f ms over both (goal 100 ms)"
              % (mode, percentile(every, 0.95)))
        ok = ok and percentile(every, 0.95) <= P95_GOAL_MS
        if hits_out and drawn:
            with open(hits_out, "w", encoding="utf-8") as f:
                json.dump(drawn, f, ensure_ascii=False)
    finally:
        page.quit()
    return ok


def main():
    outdir = os.path.abspath(sys.argv[1])
    queries = sys.argv[2].split("|")
    words = sys.argv[3].split("|")
    hits_out = sys.argv[4] if len(sys.argv) > 4 else None
    kinds = sys.argv[5].split("|") if len(sys.argv) > 5 else []
    ok = measure(outdir, "file://" + urllib.parse.quote(outdir) + "/", "file", queries, words,
                 None, kinds)
    port = free_port()
    server = subprocess.Popen(
        [sys.executable, "-m", "http.server", "--bind", "127.0.0.1", "--directory", outdir,
         str(port)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        base = "http://127.0.0.1:%d/" % port
        for _ in range(100):
            try:
                urllib.request.urlopen(base, timeout=1).close()
                break
            except OSError:
                time.sleep(0.1)
        ok = measure(outdir, base, "http", queries, words, hits_out, kinds) and ok
    finally:
        server.terminate()
        server.wait()
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
