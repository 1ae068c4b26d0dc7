#!/usr/bin/env python3
"""The exported collection's site in headless Chromium, from the file system with no server and
through a local web server (python3 -m http.server, bound to 127.0.0.1).

Writes a shelf of the sample medium and three media of its own (one of 50 talks of 420 sections
each, so that a common word is found in more than 20,000 passages and goes unranked, as in the
program; one of 70 short talks; one whose config.txt names a folder with a terminal escape in its
name), exports it with "Ambrel --export OUT --library SHELF", and then, from file:// and from
http://127.0.0.1:
- the listing: a hundred talks to a page, each with its picture (loaded lazily), length and
  medium; the next page; the damaged medium's problems shown as printable text;
- the search: a table of queries (one word, accents, prefixes, several words, a prefix among
  them, one letter, a word found nowhere), each drawing the program's own hits where the
  program finds no more than the page shows (Ambrel --search --json on the same library), and
  as many as it shows otherwise: the program stems words, corrects typos and ranks by its own
  statistics, the page does none of these, so the order of hits is not compared;
- one word loads only the dictionary's file and its best hits, never a passage list;
- the best hit of "diapositive deploiement" (talk, moment, where, the words marked), and axe-core
  (from the npm registry) finding no accessibility violation with the hits shown and with the
  listing's second page shown;
- from file://, the hit opening its talk's page at its moment with that section shown.

Usage: test_collection_page.py AMBREL SAMPLE_MEDIUM WORKDIR
Exit 77 (skipped) when Chromium, its driver or Selenium is not installed.
"""
import glob
import json
import os
import random
import re
import shutil
import socket
import subprocess
import sys
import time
import urllib.request

SKIP = 77
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.common.exceptions import TimeoutException
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("python3-selenium is not installed: skipped")
    sys.exit(SKIP)

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
RANK_ALL = 20000
HITS = 50

VOCABULARY = ["common", "alpha", "alphabet", "alpine", "beta", "gamma", "delta", "réunion",
              "café", "Größe", "déploiement", "économie", "zeta", "theta", "eta", "kappa",
              "lambda", "omega", "sigma", "tau", "2004", "9", "x"]

QUERIES = ["alpha", "ALPHA", "alp", "al", "reunion", "réunion", "cafe", "größe", "grosse",
           "deploiement", "economie", "zeta", "eta", "et", "kappa lambda", "lambda kappa",
           "alpha beta gamma", "beta al", "sigma omega tau", "2004", "9", "x", "common",
           "comm", "common alpha", "alpha common", "common zeta omega", "nowhere",
           "alpha nowhere", "keynote", "diapositive deploiement", "welcome"]

# What the program finds and the page does not: "ß" folded as "ss" (the page keeps it, as
# SQLite's tokenizer did).
PROGRAM_ONLY = {"grosse"}


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


# ---- the shelf ----------------------------------------------------------------------------


def write_lines(path, lines, encoding="cp1252"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        for line in lines:
            f.write(line.encode(encoding) + b"\r\n")


def write_medium(root, name, talks, sections, thumbnail, rng, bad_folder=None):
    medium = os.path.join(root, name)
    config = ["Presentations %d" % (talks + (1 if bad_folder else 0))]
    for t in range(1, talks + 1):
        folder = "Talk%03d" % t
        title = "%s talk %d: %s" % (name, t, " ".join(rng.choice(VOCABULARY) for _ in range(3)))
        config += [title, folder]
        data = os.path.join(medium, "Data", folder)
        write_lines(os.path.join(data, "database.txt"),
                    ["SlideMode=0", "MediaMode=0", "ShowDetails=True",
                     "UserDefined=" + " ".join(rng.choice(VOCABULARY) for _ in range(4))])
        events = ["0~0~%s~1~%s" % (folder, " ".join(rng.choice(VOCABULARY) for _ in range(3))),
                  "0~60000~%s~2~Slide two %s" % (folder, rng.choice(VOCABULARY))]
        html = ["<html><body>"]
        for k in range(1, sections + 1):
            events.append("2~%d~%d" % (k * 1000, k))
            words = [rng.choice(VOCABULARY) for _ in range(rng.randint(2, 30))]
            if sections > 100:
                words.append("common")
            html += ['<p><a name="SECTION%d"></a>' % k, " ".join(words), "</p>"]
        html.append("</body></html>")
        write_lines(os.path.join(data, "events.txt"), events)
        write_lines(os.path.join(data, "transcripts", "ENGLISH.html"), html)
        write_lines(os.path.join(data, "details.txt"),
                    ["Speaker: " + rng.choice(VOCABULARY), " ".join(rng.choice(VOCABULARY)
                                                                    for _ in range(12))])
        thumbs = os.path.join(medium, "Slides", folder, "thumbs")
        os.makedirs(thumbs, exist_ok=True)
        shutil.copy(thumbnail, os.path.join(thumbs, "Slide1.jpg"))
    if bad_folder:
        config += ["A talk that is not there", bad_folder]
    write_lines(os.path.join(medium, "Data", "config.txt"), config, "latin-1")


def make_shelf(work, sample):
    shelf = os.path.join(work, "shelf")
    os.makedirs(shelf)
    os.symlink(sample, os.path.join(shelf, "SampleDisc"))
    thumbnail = sorted(glob.glob(os.path.join(sample, "Slides", "*", "thumbs", "*.jpg")))[0]
    rng = random.Random(7)
    write_medium(shelf, "ArchiveA", 50, 420, thumbnail, rng)
    write_medium(shelf, "ArchiveB", 70, 6, thumbnail, rng)
    write_medium(shelf, "Damaged", 1, 2, thumbnail, rng, bad_folder="Bad\x1b[31mFolder")
    return shelf


# ---- the browser --------------------------------------------------------------------------

TYPE = """
var q = arguments[0], done = arguments[arguments.length - 1];
var input = document.getElementById('query');
document.addEventListener('collectionhits', function h(e) {
  if (e.detail.query !== q) return;
  document.removeEventListener('collectionhits', h);
  done({status: document.getElementById('status').textContent,
        hits: Array.prototype.map.call(document.querySelectorAll('#hits li'), function (li) {
          var a = li.querySelector('a');
          return {talk: Number(li.dataset.talk), place: Number(li.dataset.place),
                  at: Number(li.dataset.at), language: li.dataset.language,
                  where: li.querySelector('.hit-where').textContent,
                  href: a ? a.getAttribute('href') : null, text: li.textContent,
                  marks: Array.prototype.map.call(li.querySelectorAll('mark'),
                                                  function (m) { return m.textContent; })};
        })});
});
input.value = q;
input.dispatchEvent(new Event('input'));
"""

MORE = """
var done = arguments[arguments.length - 1];
document.addEventListener('collectionhits', function h(e) {
  document.removeEventListener('collectionhits', h);
  done(document.querySelectorAll('#hits li').length);
});
document.getElementById('more').click();
"""

HITS_SHOWN = """
return Array.prototype.map.call(document.querySelectorAll('#hits li'), function (li) {
  return {at: Number(li.dataset.at), where: li.querySelector('.hit-where').textContent};
});
"""

PLACES = ["title", "slide title", "transcript", "details", "free text"]


def program_hits(ambrel, shelf, env, query):
    run = subprocess.run([ambrel, "--search", query, "--json", "--library", shelf], env=env,
                         capture_output=True, text=True, timeout=120)
    if run.returncode == 2:
        return []
    return json.loads(run.stdout)["hits"]


def key_of_program(h):
    return (h["medium"], h["folder"], h["where"], h["atMs"])


def key_of_page(h):
    # "m:ss · where · medium / folder"
    parts = h["where"].split(" · ")
    medium, folder = parts[2].split(" / ", 1)
    folder = folder.replace(" (not exported)", "")
    return (medium, folder, parts[1], int(h["at"]))


def open_driver():
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--autoplay-policy=no-user-gesture-required", "--mute-audio",
                 "--window-size=1280,800", "--no-first-run", "--disable-quic",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    driver.set_script_timeout(60)
    return driver


def ready(driver, base):
    driver.get(base + "index.html")
    WebDriverWait(driver, 30).until(
        lambda d: d.execute_script("return window.collectionReadyAt !== undefined"))


def axe(driver, work, what):
    with open(axe_script(work), encoding="utf-8") as f:
        driver.execute_script(f.read())
    result = driver.execute_async_script(
        "var done = arguments[0];"
        "axe.run(document, {resultTypes: ['violations']}).then(function (r) {"
        "  done(r.violations.map(function (v) { return v.id + ': ' + v.help; })); });")
    check(result == [], "axe-core finds no violation %s: %s" % (what, result))


def check_site(driver, base, mode, work, expected):
    ready(driver, base)
    # A picture in view is fetched once the listing is drawn: over HTTP on a busy machine it may
    # still be on its way when the listing is read.
    try:
        WebDriverWait(driver, 10).until(lambda d: d.execute_script(
            "var img = document.querySelector('#media-list li.talk img');"
            "return img !== null && img.complete && img.naturalWidth > 0;"))
    except TimeoutException:
        pass  # reported below, with the rest of the listing
    # The listing: a hundred talks to a page, each with its picture, length and medium.
    listing = driver.execute_script("""
        return {status: document.getElementById('page-status').textContent,
                talks: Array.prototype.map.call(document.querySelectorAll('#media-list li.talk'),
                  function (li) {
                    var img = li.querySelector('img');
                    return {title: li.querySelector('.talk-title').textContent,
                            info: li.querySelector('.talk-info').textContent,
                            picture: img ? img.getAttribute('src') : null,
                            lazy: img ? img.loading : null,
                            loaded: img ? img.complete && img.naturalWidth > 0 : false};
                  }),
                headings: Array.prototype.map.call(document.querySelectorAll('#media-list h3'),
                  function (h) { return h.textContent; })};""")
    talks = listing["talks"]
    check(len(talks) == 100 and "Talks 1–100 of 125" in listing["status"],
          "%s: the first page lists 100 of the 125 talks: %s" % (mode, listing["status"]))
    check(all(t["picture"] and t["lazy"] == "lazy" for t in talks),
          "%s: every talk has its first slide's picture, loaded lazily" % mode)
    check(talks[0]["loaded"], "%s: the pictures in view are shown" % mode)
    check(all(" · ArchiveA / Talk" in t["info"] or " · ArchiveB / Talk" in t["info"]
              for t in talks), "%s: each talk names its medium: %s" % (mode, talks[0]["info"]))
    check(listing["headings"][:2] == ["ArchiveA", "ArchiveB"],
          "%s: the talks stand under their medium: %s" % (mode, listing["headings"]))
    if mode == "http":
        pictures = driver.execute_script(
            "return performance.getEntriesByType('resource').filter(function (e) {"
            "  return e.name.indexOf('/pictures/') >= 0; }).length;")
        check(0 < pictures < 100, "%s: only the pictures in view are loaded (%d of 100)"
              % (mode, pictures))

    driver.find_element(By.ID, "next").click()
    WebDriverWait(driver, 10).until(
        lambda d: "Talks 101–125" in d.find_element(By.ID, "page-status").text)
    second = driver.execute_script("""
        return {headings: Array.prototype.map.call(document.querySelectorAll('#media-list h3'),
                  function (h) { return h.textContent; }),
                sample: Array.prototype.map.call(document.querySelectorAll('#media-list li.talk'),
                  function (li) { return li.querySelector('.talk-info').textContent; })
                  .filter(function (info) { return info.indexOf('SampleDisc /') >= 0; }),
                problems: Array.prototype.map.call(
                  document.querySelectorAll('#media-list .problems li'),
                  function (li) { return li.textContent; })};""")
    check("Damaged" in second["headings"] and "SampleDisc" in second["headings"],
          "%s: the next page goes on with the other media: %s" % (mode, second["headings"]))
    check(len(second["sample"]) == 3 and
          all(re.match(r"\d+:\d\d · \d+ slides", info) for info in second["sample"]),
          "%s: a talk with a recording says its length: %s" % (mode, second["sample"]))
    check(any("\\x1B[31m" in p for p in second["problems"]) and
          not any(any(ord(c) < 0x20 for c in p) for p in second["problems"]),
          "%s: a problem naming a damaged name is shown as printable text: %s"
          % (mode, second["problems"]))
    driver.execute_script(
        "document.querySelectorAll('details').forEach(function (d) { d.open = true; });")
    axe(driver, work, "%s: the listing's second page" % mode)

    # One word loads the dictionary's file and its best hits, no passage list nor text.
    ready(driver, base)
    driver.execute_script("performance.clearResourceTimings();")
    driver.execute_async_script(TYPE, "alphabet")
    if mode == "http":
        names = driver.execute_script(
            "return performance.getEntriesByType('resource').map(function (e) { return e.name; });")
        check(names and all("/search/d/" in n or "/search/h/" in n for n in names),
              "%s: one word loads only the dictionary and its best hits: %s" % (mode, names))

    # The program's hits, in its order: a search of one word shows its best 50 at once, one of
    # several words the best 5, and 5 more each time they are asked for.
    for query in QUERIES:
        if query in PROGRAM_ONLY:
            continue
        page = driver.execute_async_script(TYPE, query)
        mine = [key_of_page(h) for h in page["hits"]]
        theirs = [key_of_program(h) for h in expected[query]]
        shown = HITS if len(query.split()) == 1 else 5
        if "More than" in page["status"]:
            # Not ranked on the page: its first 50 found, titles first; the program ranks the
            # first 20,000 it finds.
            check(len(mine) == shown and len(theirs) == 100,
                  "%s: %r finds more than %d, the first found, titles first"
                  % (mode, query, RANK_ALL))
        elif len(theirs) <= shown:
            # The program stems words and ranks the pieces of long passages by its own
            # statistics, the page ranks the words as written: both find the same passages,
            # the order of close hits may differ.
            check(sorted(mine) == sorted(theirs),
                  "%s: %r draws the program's %d hits (%s)"
                  % (mode, query, len(mine), page["status"]))
        else:
            check(len(mine) == shown and len(set(mine)) == shown,
                  "%s: %r draws %d of the program's %d or more hits (%s)"
                  % (mode, query, shown, len(theirs), page["status"]))
    page = driver.execute_async_script(TYPE, "alpha beta gamma")
    for _ in range(9):
        driver.execute_async_script(MORE)
    mine = [key_of_page(h) for h in driver.execute_script(HITS_SHOWN)]
    theirs = [key_of_program(h) for h in expected["alpha beta gamma"]]
    check(len(mine) == min(HITS, len(theirs)) and
          (len(theirs) > HITS or sorted(mine) == sorted(theirs)),
          "%s: asked for more, several words show up to the program's 50" % mode)

    page = driver.execute_async_script(TYPE, "diapositive deploiement")
    hits = page["hits"]
    check(len(hits) >= 2, "%s: a word typed without its accents finds the sections" % mode)
    first = hits[0]
    check("déploiement" in first["marks"] and "Diapositive" in first["marks"],
          "%s: both words are marked in the snippet" % mode)
    check("transcript (FRENCH)" in first["text"], "%s: the hit says where" % mode)
    check(first["href"].startswith("SampleDisc/Launch2004") and "#t=" in first["href"],
          "%s: the hit links to its talk at its moment: %s" % (mode, first["href"]))
    axe(driver, work, "%s: with the hits shown" % mode)
    return first


def is_subsequence(part, whole):
    it = iter(whole)
    return all(any(p == w for w in it) for p in part)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    ambrel, sample, work = sys.argv[1:4]
    if not (os.path.exists(CHROMIUM) and os.path.exists(DRIVER)):
        print("chromium or chromedriver is not installed: skipped")
        sys.exit(SKIP)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    shelf = make_shelf(work, sample)
    out = os.path.join(work, "out")
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"),
               XDG_CONFIG_HOME=os.path.join(work, "config"))
    run = subprocess.run([ambrel, "--export", out, "--library", shelf], env=env,
                         capture_output=True, text=True, timeout=900)
    print(run.stdout[-3000:] + run.stderr[-3000:])
    check(run.returncode in (0, 1), "the library exported (exit %d)" % run.returncode)
    check(os.path.exists(os.path.join(out, "SampleDisc", "Launch2004", "index.html")),
          "each medium in OUT/<medium>/<folder>/")
    check(not os.path.exists(os.path.join(out, "collection", "search", "medium0.js")) and
          os.path.isdir(os.path.join(out, "collection", "search", "d")),
          "the search is an index in many files, not one script per medium")
    expected = {q: program_hits(ambrel, shelf, env, q) for q in QUERIES}
    check(len(expected["common"]) == 100 and len(expected["alpha"]) > HITS,
          "the program finds the table's words")

    driver = open_driver()
    try:
        first = check_site(driver, "file://" + out + "/", "file", work, expected)
        moment = float(first["href"].split("#t=")[1])
        ready(driver, "file://" + out + "/")
        driver.execute_async_script(TYPE, "diapositive deploiement")
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
              "file: the talk's page opened at its moment: " + state["url"])
        check("déploiement" in state["transcript"],
              "file: the page shows that moment's transcript section")

        port = free_port()
        server = subprocess.Popen(
            [sys.executable, "-m", "http.server", "--bind", "127.0.0.1", "--directory", out,
             str(port)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            base = "http://127.0.0.1:%d/" % port
            for _ in range(100):
                try:
                    urllib.request.urlopen(base, timeout=1).close()
                    break
                except OSError:
                    time.sleep(0.1)
            check_site(driver, base, "http", work, expected)
        finally:
            server.terminate()
            server.wait()
    finally:
        driver.quit()
    print("collection page: all checks passed")


if __name__ == "__main__":
    main()
