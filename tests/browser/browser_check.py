#!/usr/bin/env python3
"""Plays what vidlark-encode's HTML5 tag offers in headless Chromium.

Short lavfi clips are encoded with each WebM codec (VP8, VP9, AV1) and as HLS;
each generated tag goes verbatim into a page served from 127.0.0.1. There,
every <source> must be playable by its own type string (canPlayType "probably"
or "maybe"), play past 1 s and show the tag's width and height; captions,
poster and download link must load. The HLS tag must play as generated
(natively here) and again through hls.js when the page claims no HLS support.
Each page posts its findings to /report; one PASS/FAIL line per check.

  browser_check.py VIDLARK_ENCODE HLS_MIN_JS
Exit status 0 when all pass, 1 otherwise, 77 when chromium is missing and
VIDLARK_ALLOW_NO_BROWSER=1.
"""
import functools, http.server, json, os, queue, shutil, signal, subprocess, sys, tempfile, threading

LADDER = [[640, 480], [480, 360]]  # the HLS renditions of a 640x480 source
TYPES = {"hls": "application/vnd.apple.mpegurl", "webm": "video/webm", "mp4": "video/mp4"}  # tag order
SRT = "1\n00:00:00,000 --> 00:00:01,500\nFirst line.\n\n2\n00:00:01,500 --> 00:00:03,000\nSecond line.\n"

# Output folder, source, options, pages made from the tag, what the tag must carry.
RUNS = [
    ("vp8", "clip.mkv", ["-f", "mp4,webm", "--webm", "vp8"], ["sources"], {}),
    ("vp9", "clip.mkv", ["-f", "mp4,webm", "--webm", "vp9", "--quality", "standard",
                         "--still", "00:01", "--captions", "subs/clip.en.srt"], ["sources"],
     {"poster": True, "cues": 2, "lang": "en"}),
    ("av1", "clip.mkv", ["-f", "mp4,webm", "--webm", "av1", "--quality", "standard"], ["sources"], {}),
    ("hls", "ladder.mkv", ["-f", "hls,mp4,webm", "--webm", "vp9"], ["sources", "hls-native", "hls-js"], {}),
]

# Before the tag on every page: script errors are kept and hls.js players,
# should the tag's script load hls.js, counted as they are made.
HEAD_JS = """<script>
const HLS = "application/vnd.apple.mpegurl", errors = [], hlsPlayers = [];
addEventListener("error", e => errors.push(e.message));
Object.defineProperty(window, "Hls", {configurable: true, get: () => window.HlsCounted,
  set(H) { window.HlsCounted = class extends H { constructor(...a) { super(...a); hlsPlayers.push(this); } }; }});
</script>
"""
# On the hls-js page: HLS looks unsupported, so the tag's script must take hls.js.
FORCE_HLSJS = """<script>
const realCanPlay = HTMLMediaElement.prototype.canPlayType;
HTMLMediaElement.prototype.canPlayType = function (t) {
  return String(t).split(";")[0].trim().toLowerCase() === HLS ? "" : realCanPlay.call(this, t);
};
</script>
"""

CHECKS_JS = r"""
const checks = [], tagVideo = document.querySelector("video");
const W = +tagVideo.getAttribute("width"), H = +tagVideo.getAttribute("height");
const add = (name, ok, detail) => checks.push({name: EXPECT.page + ": " + name, ok: !!ok, detail: String(detail)});
const size = v => v.videoWidth + "x" + v.videoHeight;
const inLadder = v => EXPECT.ladder.some(([w, h]) => v.videoWidth === w && v.videoHeight === h);
const canPlay = answer => answer === "probably" || answer === "maybe";

// Resolves true once pred() holds (checked at each of the events), false after limit ms.
function until(target, events, pred, limit) {
  return new Promise(done => {
    if (pred()) return done(true);
    const t = setTimeout(() => done(false), limit);
    events.forEach(e => target.addEventListener(e, () => { if (pred()) { clearTimeout(t); done(true); } }));
  });
}

// Plays v until currentTime passes 1 s: "" when it does, else why not.
function playPast1s(v) {
  return new Promise(done => {
    const t = setTimeout(() => done("stuck at " + v.currentTime.toFixed(2) + " s after 20 s"), 20000);
    const end = why => { clearTimeout(t); done(why); };
    v.addEventListener("timeupdate", () => { if (v.currentTime > 1) end(""); });
    v.addEventListener("error", () => end("media error " + (v.error && v.error.code + " " + v.error.message)));
    v.querySelectorAll("source").forEach(s => s.addEventListener("error", () => end("cannot load " + s.src)));
    v.play().catch(e => end("play() failed: " + e.message));
  });
}

// The sources asked for, in the tag's order; each alone in a video element of its own.
async function checkSources() {
  const types = [...tagVideo.querySelectorAll("source")].map(s => s.type.split(";")[0]);
  add("source types", types.join() === EXPECT.types.join(), types.join(", "));
  for (const s of tagVideo.querySelectorAll("source")) {
    const type = s.getAttribute("type"), v = document.createElement("video");
    v.appendChild(s.cloneNode());
    document.body.appendChild(v);
    const can = v.canPlayType(type);
    let why = canPlay(can) ? await playPast1s(v) : 'canPlayType is ""';
    const hls = type === HLS;
    if (!why && (hls ? !inLadder(v) : v.videoWidth !== W || v.videoHeight !== H))
      why = "shows " + size(v) + (hls ? ", not a ladder size" : ", the tag says " + W + "x" + H);
    add(s.getAttribute("src") + " (" + type + ")", !why,
        why || "canPlayType " + can + ", played to " + v.currentTime.toFixed(2) + " s, " + size(v));
    v.remove();
  }
}

// Captions, poster and download link: there when asked for, and loading.
async function checkExtras() {
  const tr = tagVideo.querySelector("track");
  if (!EXPECT.cues) add("no captions track", !tr, tr ? tr.outerHTML : "none");
  else if (!tr) add("captions", false, "no <track> in the tag");
  else {
    await until(tr, ["load", "error"], () => tr.readyState >= 2, 20000);
    const n = tr.track.cues ? tr.track.cues.length : 0;
    add("captions " + tr.getAttribute("src"),
        tr.readyState === 2 && n === EXPECT.cues && tr.srclang === EXPECT.lang && tr.track.mode === "showing",
        "readyState " + tr.readyState + ", " + n + " cues, srclang " + tr.srclang + ", mode " + tr.track.mode);
  }
  const poster = tagVideo.getAttribute("poster");
  if (!EXPECT.poster) add("no poster", !poster, poster || "none");
  else if (!poster) add("poster", false, "no poster in the tag");
  else {
    const img = new Image();
    img.src = tagVideo.poster;
    const why = await img.decode().then(() => "", e => e.message);
    add("poster " + poster, !why && img.naturalWidth > 0, why || img.naturalWidth + "x" + img.naturalHeight);
  }
  const a = tagVideo.querySelector("a[href]");
  const r = a && await fetch(a.href, {method: "HEAD"});
  add("download link", r && r.ok, a ? a.getAttribute("href") + " " + r.status : "no link");
}

// The whole tag as generated: native HLS, or hls.js where the page claims none.
async function checkHlsTag() {
  const v = tagVideo, viaHlsJs = EXPECT.mode === "hls-js" || v.canPlayType(HLS) === "";
  if (viaHlsJs && !await until(v, ["loadstart"], () => v.currentSrc.startsWith("blob:"), 20000))
    return add("tag via hls.js", false, "hls.js never took the video (src " + v.currentSrc + ", Hls " + typeof window.Hls + ")");
  let why = await playPast1s(v);
  if (!why && !inLadder(v)) why = "shows " + size(v) + ", not a ladder size";
  if (!why && viaHlsJs) {
    const p = hlsPlayers[0];
    if (!window.Hls || !p || !v.currentSrc.startsWith("blob:")) why = "not hls.js: src " + v.currentSrc;
    else if (p.levels.length !== EXPECT.ladder.length) why = "hls.js sees " + p.levels.length + " renditions";
  }
  if (!why && !viaHlsJs && (window.Hls || !v.currentSrc.endsWith("/master.m3u8")))
    why = "not native HLS: src " + v.currentSrc + ", Hls " + typeof window.Hls;
  const from = () => viaHlsJs ? "a blob: URL, " + hlsPlayers[0].levels.length + " renditions" : v.currentSrc.split("/").slice(-2).join("/");
  add("tag via " + (viaHlsJs ? "hls.js" : "native HLS"), !why,
      why || "played " + from() + " to " + v.currentTime.toFixed(2) + " s, " + size(v));
}

(async () => {
  try {
    if (EXPECT.mode === "sources") { await checkSources(); await checkExtras(); }
    else await checkHlsTag();
  } catch (e) { add("page script", false, e.stack || e); }
  add("no script errors", !errors.length, errors.join("; ") || "none");
  await fetch("/report", {method: "POST", headers: {"Content-Type": "application/json"},
                          body: JSON.stringify({page: EXPECT.page, checks})});
})();
"""


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".m3u8": "application/vnd.apple.mpegurl", ".m4s": "video/mp4",
                      ".webm": "video/webm", ".vtt": "text/vtt"}

    def log_message(self, *args):
        pass

    def handle(self):
        try:
            super().handle()
        except ConnectionError:  # a page closed, or Chromium stopped, mid-transfer
            pass

    def do_POST(self):
        if self.path != "/report":
            return self.send_error(404)
        self.server.reports.put(json.loads(self.rfile.read(int(self.headers["Content-Length"]))))
        self.send_response(204)
        self.end_headers()


def page(mode, name, tag, formats, expect):
    expect = {"page": name, "mode": mode, "ladder": LADDER, "cues": 0, "poster": False,
              "types": [TYPES[f] for f in TYPES if f in formats], **expect}
    return "".join([
        '<!doctype html>\n<html><head><meta charset="utf-8"><title>', name, "</title>\n",
        HEAD_JS, FORCE_HLSJS if mode == "hls-js" else "", "</head><body>\n", tag,
        "\n<script>\nconst EXPECT = ", json.dumps(expect), ";\n", CHECKS_JS, "</script>\n</body></html>\n"])


def encode(exe, src, out, args, source, wanted):
    """Runs vidlark-encode in the sources' folder: (verdict, detail, its tag or None)."""
    p = subprocess.Popen([exe, *args, "-o", out, "--json", "--html", source], cwd=src, text=True,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True)
    try:
        stdout, stderr = p.communicate(timeout=300)
    finally:  # its encoders too, should it be stopped
        kill(p)
    events = [json.loads(l) for l in stdout.splitlines() if l.startswith("{")]
    tags = [e["html"] for e in events if e.get("event") == "tag"]
    made = sorted(e["format"] for e in events if e.get("event") == "result" and e.get("status") == "made")
    ok = p.returncode == 0 and len(tags) == 1 and made == wanted
    detail = f"exit {p.returncode}, {len(tags)} tag(s), made {', '.join(made)}"
    if not ok:
        detail += f" (asked for {', '.join(wanted)}) {stderr.strip()[-400:]}"
    return ok, detail, tags[0] if len(tags) == 1 else None


def browse(chromium, url, profile, reports, name):
    """Opens url in headless Chromium until the page reports (90 s at most)."""
    proc = subprocess.Popen([chromium, "--headless=new", "--autoplay-policy=no-user-gesture-required",
                             "--no-sandbox", "--disable-gpu", f"--user-data-dir={profile}", "--no-first-run", url],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        while True:
            report = reports.get(timeout=90)
            if report.get("page") == name:
                return report["checks"]
    except queue.Empty:
        return [{"name": name, "ok": False, "detail": "no report from the page within 90 s"}]
    finally:
        kill(proc)


def kill(proc):
    """Kills a process started in a session of its own, and what it started."""
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    proc.wait()


def run(exe, hlsjs, chromium, tmp):
    src, www = os.path.join(tmp, "src"), os.path.join(tmp, "www")
    os.makedirs(src)
    for name, size, seconds in (("clip", "320x240", 3), ("ladder", "640x480", 4)):
        subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i", f"testsrc2=size={size}:rate=25",
                        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", str(seconds),
                        "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac", f"{src}/{name}.mkv"], check=True)
    os.makedirs(os.path.join(src, "subs"))  # not beside the clip, where every run would take it
    with open(os.path.join(src, "subs", "clip.en.srt"), "w") as f:
        f.write(SRT)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=www))
    server.reports = queue.Queue()
    threading.Thread(target=server.serve_forever, daemon=True).start()
    results = []
    try:
        for folder, source, args, modes, expect in RUNS:
            out = os.path.join(www, folder)
            formats = args[args.index("-f") + 1].split(",")
            wanted = sorted(formats + ["still"] * ("--still" in args) + ["captions"] * ("--captions" in args))
            ok, detail, tag = encode(exe, src, out, args, source, wanted)
            results.append({"name": f"{folder}: vidlark-encode {' '.join(args)}", "ok": ok, "detail": detail})
            print_result(results[-1])
            if tag is None:
                continue
            if any(m.startswith("hls") for m in modes):  # where the tag's script looks for it
                shutil.copy(hlsjs, os.path.join(out, "hls.min.js"))
            for mode in modes:
                name = f"{folder}/{mode}"
                with open(os.path.join(out, f"check-{mode}.html"), "w") as f:
                    f.write(page(mode, name, tag, formats, expect))
                url = f"http://127.0.0.1:{server.server_address[1]}/{folder}/check-{mode}.html"
                for check in browse(chromium, url, os.path.join(tmp, f"profile-{folder}-{mode}"), server.reports, name):
                    results.append(check)
                    print_result(check)
    finally:
        server.shutdown()
        server.server_close()
    return results


def print_result(r):
    print(("PASS " if r["ok"] else "FAIL ") + r["name"] + ": " + r["detail"], flush=True)


def main():
    if len(sys.argv) != 3:
        sys.exit(f"usage: {sys.argv[0]} VIDLARK_ENCODE HLS_MIN_JS")
    exe, hlsjs = map(os.path.abspath, sys.argv[1:])
    chromium = shutil.which("chromium")
    if not chromium:
        if os.environ.get("VIDLARK_ALLOW_NO_BROWSER") == "1":
            print("SKIP chromium is not installed")
            return 77
        print("FAIL chromium is not installed (apt-get install chromium)")
        return 1
    for path in (exe, hlsjs):
        if not os.path.isfile(path):
            print(f"FAIL {path} is missing" + (" (scripts/fetch-hlsjs.sh fetches it)" if path == hlsjs else ""))
            return 1
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # clean up when stopped
    tmp = tempfile.mkdtemp(prefix="vidlark-browser-")
    try:
        results = run(exe, hlsjs, chromium, tmp)
    except Exception as e:  # a broken run is a failure, reported as one line
        print(f"FAIL harness: {type(e).__name__}: {e}")
        return 1
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    failed = [r for r in results if not r["ok"]]
    print(f"{len(results) - len(failed)} of {len(results)} checks passed")
    return 1 if failed or not results else 0


if __name__ == "__main__":
    sys.exit(main())
