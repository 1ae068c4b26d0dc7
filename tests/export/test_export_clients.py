#!/usr/bin/env python3
"""The export against the clients it is made for, in headless Chromium driven by Selenium.

Exports a copy of the sample medium whose video carries two sound tracks (English and French),
then:
- loads every presentation's data.json in the real Paella Player 7 (npm paella-core), served
  as Paella's own repository layout has it (the player's page in /player/, the manifests in
  /repository/<folder>/): it must reach its loaded state with the recording's duration, every
  frame of its frameList and every caption language, audio-only ones included;
- runs axe-core (npm) over every page of the package: no violation of WCAG 2.2 A/AA or of
  axe's best practices;
- chooses the second sound track on the video's page, where Chromium offers audio tracks.

Usage: test_export_clients.py AMBREL SAMPLE_MEDIUM WORKDIR
Exit 77 (skipped) when Chromium, its driver, Selenium, npm or the npm registry is not there.
"""
import json
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_export_page as page  # noqa: E402  (skips by itself without Selenium)

from selenium.webdriver.support.ui import Select, WebDriverWait  # noqa: E402

check = page.check
SKIP = page.SKIP
PACKAGES = {"paella-core": "1.50.2", "axe-core": "4.14.1"}
AXE_TAGS = ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa", "wcag22a", "wcag22aa", "best-practice"]

# Paella's player page: what a site that hosts Paella puts up, with the plugins our manifests
# need. The manifest is found at repositoryUrl/<id>/data.json.
PLAYER_CONFIG = {
    "repositoryUrl": "../repository",
    "manifestFileName": "data.json",
    "defaultLayout": "es.upv.paella.singleVideo",
    "defaultLanguage": "en",
    "defaultAudioStream": "presenter",
    "logLevel": "WARN",
    "preferences": {"currentSource": "cookie",
                    "sources": {"cookie": {"consentType": "necessary"}}},
    "videoContainer": {"restorePlaybackRate": False, "restoreVolume": False,
                       "restoreVideoLayout": {"enabled": False},
                       "restoreLastTime": {"enabled": False}},
    "plugins": {
        "es.upv.paella.singleVideo": {"enabled": True, "validContent": [
            {"id": "presenter", "content": ["presenter"], "icon": "", "title": "Presenter"}]},
        "es.upv.paella.mp4VideoFormat": {"enabled": True, "order": 1},
        "es.upv.paella.audioVideoFormat": {"enabled": True},
        "es.upv.paella.videoCanvas": {"enabled": True, "order": 1},
        "es.upv.paella.audioCanvas": {"enabled": True, "order": 1},
        "es.upv.paella.vttManifestCaptionsPlugin": {"enabled": True},
        "es.upv.paella.playPauseButton": {"enabled": True, "order": 0},
    },
}

PLAYER_PAGE = """<!doctype html>
<html lang="en"><head><meta charset="utf-8"><title>Paella</title>
<script src="paella-core.js"></script></head>
<body><div id="player-container" style="width:960px;height:540px"></div>
<script>
window.paellaResult = null;
const { Paella } = window["paella-core"];
const id = new URLSearchParams(location.search).get("id");
const player = new Paella("player-container", { configUrl: "config.json",
                                                getVideoId: async () => id });
window.player = player;
// The manifest first, with the poster shown until the player is asked for, then the player.
const picture = img => new Promise(ok => {
  if (!img) return ok(-1);
  if (img.complete) return ok(img.naturalWidth);
  img.onload = () => ok(img.naturalWidth);
  img.onerror = () => ok(0);
});
player.loadManifest()
  .then(() => picture(document.querySelector('.preview-container img')))
  .then(poster => player.loadPlayer().then(() => { window.paellaResult = { ok: true, poster }; }))
  .catch(e => { window.paellaResult = { ok: false, error: String(e && e.message || e) }; });
</script></body></html>
"""

# What the loaded player holds, each frame and caption file fetched at the address Paella
# itself gives it (relative to the manifest, as its own resolver joins them).
PAELLA_STATE = """
const done = arguments[arguments.length - 1];
(async () => {
  const p = window.player;
  const base = p.manifestUrl.replace(/\\/$/, '');
  const resolve = u => /^([a-z]+:|\\/)/i.test(u) ? u : base + '/' + u;
  const loads = u => new Promise(ok => {
    const img = new Image();
    img.onload = () => ok(img.naturalWidth > 0);
    img.onerror = () => ok(false);
    img.src = resolve(u);
  });
  const frames = [];
  for (const f of p.frameList.frames) {
    frames.push({time: f.time, url: await loads(f.url), thumb: await loads(f.thumb)});
  }
  // The captions arrive from their plugin a moment after the player is loaded.
  for (let i = 0; i < 50 && p.captionsCanvas.captions.length < (p.videoManifest.captions || []).length; i++) {
    await new Promise(r => setTimeout(r, 100));
  }
  const captions = p.captionsCanvas.captions.map(c => ({lang: c.language, cues: c.cues.length}));
  const audioImage = document.querySelector('.image-container img');
  done({duration: await p.videoContainer.duration(), frames, captions,
        audioImage: audioImage ? audioImage.naturalWidth : -1});
})().catch(e => done({error: String(e)}));
"""


def npm_packages(work):
    """paella-core and axe-core in WORKDIR/npm, installed from the registry unless there."""
    prefix = os.path.join(work, "npm")
    def installed():
        for name, version in PACKAGES.items():
            try:
                with open(os.path.join(prefix, "node_modules", name, "package.json")) as f:
                    if json.load(f).get("version") != version:
                        return False
            except OSError:
                return False
        return True
    if installed():
        return prefix
    npm = shutil.which("npm")
    if not npm:
        return None
    os.makedirs(prefix, exist_ok=True)
    run = subprocess.run([npm, "install", "--prefix", prefix, "--no-audit", "--no-fund",
                          "--ignore-scripts", "--no-save"]
                         + ["%s@%s" % kv for kv in PACKAGES.items()],
                         capture_output=True, text=True, timeout=300)
    if run.returncode != 0 or not installed():
        print(run.stdout + run.stderr)
        return None
    return prefix


def ffprobe(path, entries):
    run = subprocess.run(["ffprobe", "-v", "error", "-show_entries", entries, "-of", "json", path],
                         capture_output=True, text=True, check=True)
    return json.loads(run.stdout)


def two_sound_tracks(medium):
    """The keynote's video with its own sound in English and a second track in French."""
    wmv = os.path.join(medium, "Media", "Launch2004Video", "media.wmv")
    made = wmv + ".two.wmv"
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", wmv, "-f", "lavfi", "-i",
                    "sine=frequency=660:duration=48.1:sample_rate=22050",
                    "-map", "0:v", "-map", "0:a", "-map", "1:a", "-c:v", "copy", "-c:a", "wmav2",
                    "-b:a", "32k", "-metadata:s:a:0", "language=eng",
                    "-metadata:s:a:1", "language=fre", made], check=True)
    os.replace(made, wmv)


def check_paella(driver, url, out, folder):
    driver.get("about:blank")
    driver.get("%s/player/index.html?id=%s" % (url, folder))
    WebDriverWait(driver, 30).until(lambda d: d.execute_script("return window.paellaResult;"))
    result = driver.execute_script("return window.paellaResult;")
    check(result.get("ok"), "Paella loads %s (%s)" % (folder, result.get("error", "")))
    check(result["poster"] > 0, "%s: Paella's poster shows its picture" % folder)
    # The duration comes with the media's metadata, which a busy machine may still be loading
    # when the player reports itself ready.
    for _ in range(50):
        state = driver.execute_async_script(PAELLA_STATE)
        if "error" in state or isinstance(state.get("duration"), (int, float)):
            break
        time.sleep(0.2)
    check("error" not in state, "%s: the player's state is read %s" % (folder, state.get("error", "")))
    with open(os.path.join(out, folder, "data.json")) as f:
        manifest = json.load(f)
    media = [name for name in ("media.mp4", "media.m4a")
             if os.path.exists(os.path.join(out, folder, name))][0]
    length = float(ffprobe(os.path.join(out, folder, media), "format=duration")
                   ["format"]["duration"])
    duration = state.get("duration")
    check(isinstance(duration, (int, float)) and abs(duration - length) < 0.5,
          "%s: duration %s s in Paella, %.2f s of %s" % (folder, duration, length, media))
    frames = manifest.get("frameList", [])
    check(len(state["frames"]) == len(frames) and
          all(f["url"] and f["thumb"] for f in state["frames"]),
          "%s: all %d frames with their pictures and thumbnails" % (folder, len(frames)))
    languages = sorted(c["lang"] for c in manifest.get("captions", []))
    check(sorted(c["lang"] for c in state["captions"]) == languages and
          all(c["cues"] > 0 for c in state["captions"]),
          "%s: captions in %s %s" % (folder, languages, state["captions"]))
    audio_only = manifest["streams"][0].get("canvas") == ["audio"]
    if audio_only:
        check(state["audioImage"] > 0, "%s: the audio canvas shows its picture" % folder)


def check_axe(driver, url, axe_source, label):
    driver.get("about:blank")
    driver.get(url)
    WebDriverWait(driver, 20).until(
        lambda d: d.execute_script("return document.readyState === 'complete';"))
    driver.execute_script(axe_source)
    result = driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "axe.run(document, {runOnly: {type: 'tag', values: arguments[0]}})"
        ".then(r => done(r.violations.map(v => ({id: v.id, nodes: v.nodes.length,"
        " target: v.nodes[0].target, summary: v.nodes[0].failureSummary}))))"
        ".catch(e => done([{id: 'axe failed', summary: String(e)}]));", AXE_TAGS)
    check(result == [], "axe finds no violation on %s %s" % (label, result))


def check_sound_tracks(url):
    """Chromium offers media.audioTracks behind a feature switch; with it the page lists both
    tracks by their languages and switches to the one chosen."""
    driver = page.browser(["--enable-blink-features=AudioVideoTracks"])
    try:
        driver.get(url + "/repository/Launch2004Video/index.html")
        WebDriverWait(driver, 20).until(lambda d: d.execute_script(
            "return document.getElementById('media').readyState >= 1;"))
        choice = driver.find_element("id", "audio-choice")
        check(choice.is_displayed(), "the video's page offers a choice of sound tracks")
        select = Select(driver.find_element("id", "audio-track"))
        check([o.text for o in select.options] == ["English", "French"],
              "the sound tracks are named by their languages")
        select.select_by_visible_text("French")
        enabled = driver.execute_script(
            "var t = document.getElementById('media').audioTracks; var e = [];"
            "for (var i = 0; i < t.length; i++) e.push(t[i].enabled); return e;")
        check(enabled == [False, True], "choosing French plays the second track %s" % enabled)
    finally:
        driver.quit()


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    ambrel, sample, work = sys.argv[1:]
    work = os.path.abspath(work)
    if not (os.path.exists(page.CHROMIUM) and os.path.exists(page.DRIVER)):
        print("chromium or chromium-driver is not installed: skipped")
        return SKIP
    npm = npm_packages(work)
    if not npm:
        print("npm or the npm registry is not reachable, paella-core and axe-core cannot be "
              "installed: skipped")
        return SKIP
    modules = os.path.join(npm, "node_modules")

    medium = os.path.join(work, "medium")
    shutil.rmtree(medium, ignore_errors=True)
    shutil.copytree(sample, medium)
    two_sound_tracks(medium)

    site = os.path.join(work, "site")
    shutil.rmtree(site, ignore_errors=True)
    out = os.path.join(site, "repository")
    run = subprocess.run([ambrel, "--export", out, "--medium", medium],
                         capture_output=True, text=True, timeout=600)
    print(run.stdout)
    check(run.returncode == 0, "Ambrel --export exits 0 (%d) %s" % (run.returncode, run.stderr))
    streams = ffprobe(os.path.join(out, "Launch2004Video", "media.mp4"),
                      "stream=codec_type:stream_tags=language")["streams"]
    sound = [s.get("tags", {}).get("language") for s in streams if s["codec_type"] == "audio"]
    check(sound == ["eng", "fre"], "media.mp4 keeps both sound tracks with their languages %s"
          % sound)
    with open(os.path.join(out, "Launch2004Video", "data.js")) as f:
        check('"label":"French"' in f.read().replace(" ", ""), "the page's data names them")

    player = os.path.join(site, "player")
    os.makedirs(player)
    shutil.copy(os.path.join(modules, "paella-core", "dist", "paella-core.js"), player)
    with open(os.path.join(player, "config.json"), "w") as f:
        json.dump(PLAYER_CONFIG, f)
    with open(os.path.join(player, "index.html"), "w") as f:
        f.write(PLAYER_PAGE)
    with open(os.path.join(modules, "axe-core", "axe.min.js")) as f:
        axe_source = f.read()

    server = page.serve(site)
    url = "http://127.0.0.1:%d" % server.server_address[1]
    driver = page.browser()
    try:
        for folder in ("Launch2004", "Interview", "Launch2004Video"):
            check_paella(driver, url, out, folder)
        check_axe(driver, url + "/repository/index.html", axe_source, "the list of presentations")
        for folder in ("Launch2004", "Interview", "Launch2004Video"):
            check_axe(driver, "%s/repository/%s/index.html#t=14.5" % (url, folder), axe_source,
                      folder + "/index.html")
    finally:
        driver.quit()
    try:
        check_sound_tracks(url)
    finally:
        server.shutdown()
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
