#!/usr/bin/env python3
"""The exported collection's page in headless Chromium, from the file system with no server.

Exports a library holding the sample medium with "Ambrel --export OUT --library SHELF", opens
OUT/index.html, types a word without its accents, checks the best hit (talk, moment, where,
the word marked), opens it and checks that the talk's page plays from that moment and shows its
transcript section. Then axe-core (from the npm registry) checks the page's accessibility with
the hits shown.

Usage: test_collection_page.py AMBREL SAMPLE_MEDIUM WORKDIR
Exit 77 (skipped) when Chromium, its driver or Selenium is not installed.
"""
import json
import os
import shutil
import subprocess
import sys
import time

SKIP = 77
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("python3-selenium is not installed: skipped")
    sys.exit(SKIP)

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"


def check(condition, message):
    if not condition:
        print("FAIL: " + message)
        sys.exit(1)
    print("ok   " + message)


def axe_script(work):
    """axe-core's script: AXE_CORE_JS, else installed from the npm registry into WORKDIR."""
    given = os.environ.get("AXE_CORE_JS")
    if given and os.path.exists(given):
        return given
    path = os.path.join(work, "npm", "node_modules", "axe-core", "axe.min.js")
    if not os.path.exists(path):
        subprocess.run(["npm", "install", "--silent", "--no-audit", "--no-fund", "--prefix",
                        os.path.join(work, "npm"), "axe-core@4"], check=True, timeout=300)
    return path


def main():
    ambrel, sample, work = sys.argv[1:4]
    if not (os.path.exists(CHROMIUM) and os.path.exists(DRIVER)):
        print("chromium or chromedriver is not installed: skipped")
        sys.exit(SKIP)
    shutil.rmtree(work, ignore_errors=True)
    shelf = os.path.join(work, "shelf")
    os.makedirs(shelf)
    os.symlink(sample, os.path.join(shelf, "SampleDisc"))
    out = os.path.join(work, "out")
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"),
               XDG_CONFIG_HOME=os.path.join(work, "config"))
    run = subprocess.run([ambrel, "--export", out, "--library", shelf], env=env,
                         capture_output=True, text=True, timeout=600)
    print(run.stdout + run.stderr)
    check(run.returncode == 0, "the library exported (exit %d)" % run.returncode)
    check(os.path.exists(os.path.join(out, "SampleDisc", "Launch2004", "index.html")),
          "each medium in OUT/<medium>/<folder>/")

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--autoplay-policy=no-user-gesture-required", "--mute-audio",
                 "--window-size=1280,800", "--no-first-run"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    try:
        driver.get("file://" + os.path.join(out, "index.html"))
        talks = driver.execute_script(
            "return Array.prototype.map.call(document.querySelectorAll('#media-list li a'),"
            " function (a) { return a.textContent; });")
        check(len(talks) == 3 and any("keynote" in t for t in talks),
              "every talk is listed and linked: %s" % talks)
        box = driver.find_element(By.ID, "query")
        box.send_keys("diapositive deploiement")
        WebDriverWait(driver, 10).until(
            lambda d: d.find_elements(By.CSS_SELECTOR, "#hits li"))
        hits = driver.execute_script("""
            return Array.prototype.map.call(document.querySelectorAll('#hits li'), function (li) {
              var a = li.querySelector('a');
              return {href: a ? a.getAttribute('href') : null, text: li.textContent,
                      marks: Array.prototype.map.call(li.querySelectorAll('mark'),
                                                      function (m) { return m.textContent; })};
            });""")
        print(json.dumps(hits, ensure_ascii=False, indent=1))
        check(len(hits) >= 2, "a word typed without its accents finds the sections that hold it")
        first = hits[0]
        check("déploiement" in first["marks"] and "Diapositive" in first["marks"],
              "both words are marked in the snippet")
        check("transcript (FRENCH)" in first["text"], "the hit says where: the French transcript")
        check(first["href"].startswith("SampleDisc/Launch2004") and "#t=" in first["href"],
              "the hit links to its talk at its moment: " + first["href"])
        moment = float(first["href"].split("#t=")[1])

        # Accessibility of the page with the hits shown.
        with open(axe_script(work), encoding="utf-8") as f:
            driver.execute_script(f.read())
        result = driver.execute_async_script(
            "var done = arguments[0];"
            "axe.run(document, {resultTypes: ['violations']}).then(function (r) {"
            "  done(r.violations.map(function (v) { return v.id + ': ' + v.help; })); });")
        check(result == [], "axe-core finds no violation: %s" % result)

        driver.find_element(By.CSS_SELECTOR, "#hits li a").click()
        WebDriverWait(driver, 20).until(
            lambda d: d.execute_script(
                "var m = document.getElementById('media');"
                "return m && m.readyState >= 1 && Math.abs(m.currentTime - %f) < 0.6;" % moment))
        # The hit was found in the French transcript: the same section in that language.
        state = driver.execute_script(
            "var l = document.getElementById('language');"
            "for (var i = 0; i < l.options.length; i++)"
            "  if (l.options[i].textContent.indexOf('FRENCH') >= 0) l.selectedIndex = i;"
            "l.dispatchEvent(new Event('change'));"
            "return {url: location.href, time: document.getElementById('media').currentTime,"
            " transcript: document.getElementById('transcript').textContent};")
        check(state["url"].endswith("#t=%s" % first["href"].split("#t=")[1]),
              "the talk's page opened at its moment: " + state["url"])
        check("déploiement" in state["transcript"],
              "the page shows that moment's transcript section")
    finally:
        driver.quit()
    print("collection page: all checks passed")


if __name__ == "__main__":
    main()
