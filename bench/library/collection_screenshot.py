#!/usr/bin/env python3
# Photographs a collection page written by bench_library (DIR/page) or by --export OUTDIR
# --library, in headless Chromium, with a search typed when one is given: the README's picture
# of the site at 10,000 talks.
#   bench/library/collection_screenshot.py PAGE_FOLDER OUT.png [QUERY]
import sys, time
from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
page, out, query = sys.argv[1], sys.argv[2], (sys.argv[3] if len(sys.argv) > 3 else "")
o = Options()
for a in ("--headless=new", "--no-sandbox", "--window-size=1100,800", "--allow-file-access-from-files"):
    o.add_argument(a)
d = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=o)
try:
    d.get("file://" + page + "/index.html")
    time.sleep(1.5)
    if query:
        d.find_element("id", "query").send_keys(query)
        time.sleep(2)
    d.save_screenshot(out)
finally:
    d.quit()
