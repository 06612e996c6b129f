#!/usr/bin/python3
"""Soak run of `colorcorrect serve`: as many sessions as the server takes at
once, each a thread of its own with its own cookie, working the whole HTTP
interface in a loop until the time or the count is up.

  scripts/soak-serve.py --tool build/bin/colorcorrect            two minutes, 8 sessions
  scripts/soak-serve.py --tool ... --sessions 4 --duration 15    the short run CI makes

The script starts the server itself (loopback, a free port, --max-sessions
set to the number of sessions) and stops it with SIGTERM at the end. It fails
(exit 1, with the reasons) when:

- any answer is a 5xx, any request gets an answer other than the one it must
  get, or a connection fails;
- a session reads back anything that is not its own: every session uses its
  own pictures, split, options and correction values (its six-vector
  "signature", which nothing it does touches) and checks every state,
  download and preview it reads;
- the server's peak resident memory (VmHWM) goes above --max-rss-mb;
- the server does not end cleanly on SIGTERM (exit status 0, nothing on
  standard error that a sanitizer wrote).

Edit-to-preview latency: from just before a session sends a change
(`PUT /api/correction?commit=0`, as a slider does) to the moment it has read a
`preview.jpg` that shows the new correction, fetching the preview after each
`preview` event of its own event stream, as the page does. Whether a preview
shows the correction is decided by its bytes: the session first records, at
rest, the preview of each of the two corrections it toggles between. A
preview numbered two or more past the one the change's answer names was begun
after the change and must show it; anything else is an error. The median and
99th percentile are reported, never judged: the run is for looking at.

Only the standard library is used; the pictures are made once with ffmpeg
(exit 77, skipped, without it).
"""

import argparse
import copy
import hashlib
import http.client
import json
import math
import os
import re
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

WIDTH, HEIGHT = 1920, 1080
# Preview size fetched for the latency check: small enough to cost nothing,
# large enough that two corrections never give the same bytes.
PROBE_W, PROBE_H = 48, 27
SCOPE_TYPES = (1, 2, 4, 5, 6, 7)
SEGMENTS = ("magenta", "red", "yellow", "green", "cyan", "blue")
MAX_SETS_KEPT = 24  # the viewer keeps 32; clear before that
MAX_ERRORS = 20


class SoakError(Exception):
    pass


class Run:
    """What all threads share: the stop flag, the counters and the errors."""

    def __init__(self, args):
        self.args = args
        self.stop = threading.Event()
        self.lock = threading.Lock()
        self.errors = []
        self.requests = 0
        self.statuses = {}
        self.latencies = []
        self.iterations = {}
        self.looks = {}  # preview bytes' hash -> the session that saw them

    def fail(self, who, message):
        with self.lock:
            if len(self.errors) < MAX_ERRORS:
                self.errors.append(f"{who}: {message}")
        self.stop.set()

    def count(self, status):
        with self.lock:
            self.requests += 1
            self.statuses[status] = self.statuses.get(status, 0) + 1


# ---- pictures -----------------------------------------------------------------


def make_pictures(folder, count):
    """`count` different 1080p sources and references (PNG bytes), one ffmpeg
    run each kind: every frame of the test patterns differs, and the hue
    turns from frame to frame."""
    ffmpeg = shutil.which("ffmpeg")
    if ffmpeg is None:
        print("soak-serve: skipped: ffmpeg is needed to make the pictures (scripts/install-deps.sh)")
        sys.exit(77)
    out = {}
    for kind, pattern in (("source", "testsrc2"), ("reference", "testsrc")):
        spec = f"{pattern}=size={WIDTH}x{HEIGHT}:rate=1,hue=H=2*PI*n/{count}"
        path = os.path.join(folder, f"{kind}-%d.png")
        subprocess.run([ffmpeg, "-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i", spec,
                        "-frames:v", str(count), "-start_number", "0", "-y", path], check=True)
        for i in range(count):
            with open(path % i, "rb") as f:
                out[(kind, i)] = f.read()
    return out


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", data[16:24])


# ---- the server ---------------------------------------------------------------


class Server:
    def __init__(self, args):
        self.args = args
        cmd = [args.tool, "serve", "--host", "127.0.0.1", "--port", "0",
               "--max-sessions", str(args.sessions)]
        self.stderr = tempfile.TemporaryFile()
        env = dict(os.environ)
        suppressions = os.path.join(os.path.dirname(os.path.abspath(__file__)), "soak-serve.tsan-suppressions")
        env["TSAN_OPTIONS"] = f"{env.get('TSAN_OPTIONS', '')}:suppressions={suppressions}".lstrip(":")
        self.proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=self.stderr, stdin=subprocess.DEVNULL,
                                     env=env)
        self.port = None
        self.peak_rss = 0  # kB, the highest VmHWM / VmRSS seen
        self.samples = []
        line = []
        reader = threading.Thread(target=lambda: line.append(self.proc.stdout.readline()), daemon=True)
        reader.start()
        reader.join(args.start_timeout)
        m = re.search(rb"http://127\.0\.0\.1:(\d+)/", line[0] if line else b"")
        if not m:
            self.proc.kill()
            self.proc.wait()
            raise SoakError(f"the server printed no address within {args.start_timeout} s: {line} "
                            f"{self.error_text()}")
        self.port = int(m.group(1))
        # Whatever else it prints is read, so that a full pipe never holds it up.
        threading.Thread(target=lambda: self.proc.stdout.read(), daemon=True).start()
        self.sampler_stop = threading.Event()
        self.sampler = threading.Thread(target=self.sample_memory, daemon=True)
        self.sampler.start()

    def read_memory(self):
        try:
            with open(f"/proc/{self.proc.pid}/status") as f:
                fields = dict(line.split(":", 1) for line in f if ":" in line)
        except OSError:
            return None
        rss = int(fields.get("VmRSS", "0 kB").split()[0])
        hwm = int(fields.get("VmHWM", "0 kB").split()[0])
        self.peak_rss = max(self.peak_rss, rss, hwm)
        return rss

    def sample_memory(self):
        while not self.sampler_stop.wait(0.25):
            rss = self.read_memory()
            if rss is not None:
                self.samples.append(rss)

    def error_text(self):
        self.stderr.seek(0)
        return self.stderr.read().decode(errors="replace")

    def stop(self):
        """SIGTERM, then wait; the exit status and standard error."""
        self.read_memory()
        self.sampler_stop.set()
        self.sampler.join()
        self.proc.send_signal(signal.SIGTERM)
        try:
            status = self.proc.wait(self.args.stop_timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            status = None
        return status, self.error_text()


# ---- one session -----------------------------------------------------------------


class Session(threading.Thread):
    def __init__(self, run, port, index, pictures):
        super().__init__(name=f"session-{index}", daemon=True)
        self.run_ = run
        self.port = port
        self.i = index
        self.pictures = pictures
        self.cookie = None
        self.conn = None
        self.conn_used = 0.0
        # Event stream, read by a thread of its own.
        self.events = threading.Condition()
        self.event_seq = 0
        self.event_sizes = []
        self.stream_state = "none"  # none, open, closed, failed
        self.probed = 0  # the latest preview number fetched
        # What the session expects to read back.
        self.source_name = None
        self.reference_name = None
        self.sets = 0
        self.split = {"x": 200 + 40 * index, "y": 100 + 20 * index}
        self.intensity = (30 + 25 * index) % 256
        self.committed = None
        self.signed = False  # the correction carries the signature (from the first edit on)
        self.downloads = {}  # (what, correction) -> hash: the same correction gives the same file
        self.picture_hashes = {}

    # -- HTTP --------------------------------------------------------------------

    def connect(self):
        if self.conn is not None:
            self.conn.close()
        self.conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=self.run_.args.request_timeout)

    def request(self, method, path, body=None, ctype=None, expect=(200,)):
        """One request on the session's connection; (status, headers, body).
        A kept-alive connection the server has closed meanwhile is opened
        again once, as browsers do."""
        if isinstance(body, (dict, list)):
            body, ctype = json.dumps(body).encode(), "application/json"
        if body is None and method in ("POST", "PUT"):
            body = b""
        headers = {}
        if ctype:
            headers["Content-Type"] = ctype
        if self.cookie:
            headers["Cookie"] = f"cc_session={self.cookie}"
        # The server keeps an idle connection for 5 s.
        if self.conn is None or time.monotonic() - self.conn_used > 4:
            self.connect()
        for attempt in (0, 1):
            fresh = self.conn.sock is None
            try:
                self.conn.request(method, path, body=body, headers=headers)
                res = self.conn.getresponse()
                data = res.read()
                break
            except (http.client.RemoteDisconnected, ConnectionResetError, BrokenPipeError) as e:
                self.connect()
                if fresh or attempt == 1:
                    raise SoakError(f"{method} {path}: connection failed: {e!r}")
            except (OSError, http.client.HTTPException) as e:
                raise SoakError(f"{method} {path}: {e!r}")
        self.conn_used = time.monotonic()
        self.run_.count(res.status)
        if res.status not in expect:  # a 5xx never is, but for the session limit's
            raise SoakError(f"{method} {path} answered {res.status} (expected {expect}): {data[:300]!r}")
        if res.getheader("Connection", "").lower() == "close":
            self.conn.close()
        return res.status, res, data

    def call(self, method, path, body=None, ctype=None, expect=(200,)):
        status, _, data = self.request(method, path, body, ctype, expect)
        answer = json.loads(data) if data else {}
        if status == 200 and "correction" in answer:
            self.check_state(answer, f"{method} {path}")
        return status, answer

    # -- what the session must read back ---------------------------------------------

    def signature(self):
        """The six-vector values of this session alone: no drag or analysis it
        makes touches them."""
        i = self.i
        return {seg: {"white": (i * 9 + s * 3) % 200 - 100, "gamma": (i * 5 + s * 7) % 120 - 60,
                      "black": (i * 11 + s) % 80 - 40, "hue": (i * 3 + s * 2) % 40 - 20,
                      "sat": (i * 13 + s * 5) % 100 - 50}
                for s, seg in enumerate(SEGMENTS)}

    def correction(self, k, **base):
        """The session's correction of iteration k."""
        cc = copy.deepcopy(self.default_correction)
        cc["vector6"] = self.signature()
        cc["flags"]["six_vector"] = True
        cc["flags"]["primary"] = True
        cc["base"]["y_gamma"] = (self.i * 37 + k * 11) % 121 - 60
        cc["base"]["sat"] = (self.i * 17 + k * 5) % 81 - 40
        cc["base"].update(base)
        return cc

    def check_state(self, st, where):
        def must(cond, what):
            if not cond:
                raise SoakError(f"{where}: {what} (state: {json.dumps(st)[:400]})")
        cc = st["correction"]
        if self.signed:
            must(cc["vector6"] == self.signature() and cc["flags"]["six_vector"],
                 "the six-vector values are not this session's")
        must(st["split"] == self.split, f"split {st['split']}, not {self.split}")
        must(st["options"]["intensity"] == self.intensity, "intensity is not this session's")
        must(st["sets"] == self.sets, f"{st['sets']} sets, not {self.sets}")
        for kind, name in (("source", self.source_name), ("reference", self.reference_name)):
            if name is not None:
                must(st[kind] == {"width": WIDTH, "height": HEIGHT, "name": name},
                     f"the {kind} is {st[kind]}, not {name}")

    # -- the event stream ---------------------------------------------------------------

    def follow_events(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=self.run_.args.request_timeout)
        try:
            conn.request("GET", "/api/events", headers={"Cookie": f"cc_session={self.cookie}"})
            res = conn.getresponse()
            self.run_.count(res.status)
            if res.status != 200:
                raise SoakError(f"GET /api/events answered {res.status}: {res.read()[:200]!r}")
            with self.events:
                self.stream_state = "open"
                self.events.notify_all()
            event = None
            while True:
                line = res.readline()
                if not line:
                    raise SoakError("the event stream ended without a closed event")
                line = line.decode().rstrip("\r\n")
                if line.startswith("event: "):
                    event = line[7:]
                elif line.startswith("data: ") and event == "closed":
                    with self.events:
                        self.stream_state = "closed"
                        self.events.notify_all()
                    if not self.run_.stop.is_set():
                        raise SoakError("the event stream was closed while the session was in use")
                    return
                elif line.startswith("data: ") and event == "preview":
                    data = json.loads(line[6:])
                    with self.events:
                        if data["seq"] <= self.event_seq:
                            raise SoakError(f"preview event {data['seq']} after {self.event_seq}")
                        size = (data["width"], data["height"])
                        if self.event_sizes and self.event_sizes[-1] == (WIDTH, HEIGHT) and size != (WIDTH, HEIGHT):
                            raise SoakError(f"a preview of {size} after the session's own 1080p pictures")
                        if not self.event_sizes or self.event_sizes[-1] != size:
                            self.event_sizes.append(size)
                        self.event_seq = data["seq"]
                        self.events.notify_all()
        except (SoakError, OSError, http.client.HTTPException, ValueError) as e:
            with self.events:
                self.stream_state = "failed"
                self.events.notify_all()
            self.run_.fail(self.name, f"event stream: {e}")
        finally:
            conn.close()

    def wait_event(self, after):
        """The number of the first preview event past `after`."""
        with self.events:
            ok = self.events.wait_for(lambda: self.event_seq > after or self.stream_state != "open",
                                      self.run_.args.request_timeout)
            if self.stream_state != "open":
                raise SoakError("the event stream is gone")
            if not ok:
                raise SoakError(f"no preview event past {after} within {self.run_.args.request_timeout} s")
            return self.event_seq

    # -- edit-to-preview latency ---------------------------------------------------------

    def probe(self):
        _, res, data = self.request("GET", f"/api/preview.jpg?w={PROBE_W}&h={PROBE_H}")
        seq = int(res.getheader("X-Preview-Sequence"))
        self.probed = max(self.probed, seq)
        return seq, data

    def known_preview(self):
        """The latest preview number the session has seen; the server's is at least this."""
        with self.events:
            return max(self.event_seq, self.probed)

    def preview_at_rest(self, cc):
        """The preview of `cc`, once one numbered two past the change's answer
        has come. Each change sent brings at least one preview begun after
        it, numbered past what the session knew before sending; the same
        change is sent again until the numbers are far enough on."""
        first = None
        for attempt in range(20):
            known = self.known_preview()
            _, st = self.call("PUT", "/api/correction?commit=0", cc)
            first = st["preview"] if first is None else first
            self.wait_event(known)
            seq, data = self.probe()
            if seq >= first + 2:
                return data
        raise SoakError(f"the previews did not get past {first + 1} after 20 changes")

    def measure_latency(self, a, b, toggles):
        look = {"a": self.preview_at_rest(a), "b": self.preview_at_rest(b)}
        if look["a"] == look["b"]:
            raise SoakError("two different corrections give the same preview")
        # A session that never sees its own preview here sees another's.
        for key in look:
            with self.run_.lock:
                owner = self.run_.looks.setdefault(hashlib.sha256(look[key]).hexdigest(), self.i)
            if owner != self.i:
                raise SoakError(f"the preview equals one of session {owner}")
        seen = self.known_preview()
        now_on = "b"
        for n in range(toggles):
            target = "a" if now_on == "b" else "b"
            t0 = time.monotonic()
            _, st = self.call("PUT", "/api/correction?commit=0", a if target == "a" else b)
            answer_seq = st["preview"]
            while True:
                seen = max(seen, self.wait_event(seen))
                seq, data = self.probe()
                seen = max(seen, seq)
                if data == look[target]:
                    self.run_.latencies.append(time.monotonic() - t0)
                    break
                if seq >= answer_seq + 2:
                    raise SoakError(f"preview {seq}, begun after the change of preview {answer_seq}, does not show it")
                if data != look[now_on]:
                    raise SoakError(f"preview {seq} shows neither of this session's corrections")
            now_on = target

    # -- the loop ------------------------------------------------------------------

    def setup(self):
        status, res, data = self.request("POST", "/api/session")
        m = re.search(r"cc_session=([0-9a-f]+)", res.getheader("Set-Cookie", ""))
        if not m:
            raise SoakError("POST /api/session set no cookie")
        self.cookie = m.group(1)
        st = json.loads(data)
        self.default_correction = st["correction"]
        if st["sets"] != 0 or st["undo"] != 0 or st["correction"]["flags"]["six_vector"]:
            raise SoakError(f"a new session starts with state: {data[:300]!r}")
        self.request("POST", "/api/split", self.split)
        self.request("POST", "/api/options", {"intensity": self.intensity})
        self.call("GET", "/api/state")
        threading.Thread(target=self.follow_events, name=f"{self.name}-events", daemon=True).start()
        with self.events:
            self.events.wait_for(lambda: self.stream_state != "none", self.run_.args.request_timeout)
            if self.stream_state != "open":
                raise SoakError("the event stream did not open")

    def upload(self, k):
        for kind in ("source", "reference"):
            name = f"s{self.i}-{kind}-{k}.png"
            data = self.pictures[(kind, self.i)]
            if kind == "source":
                self.source_name = name
            else:
                self.reference_name = name
            self.call("PUT", f"/api/{kind}?name={name}", data, "image/png")
            # The picture given back is the session's own, the same every time.
            _, _, png = self.request("GET", f"/api/picture/{kind}.png")
            if png_size(png) != (WIDTH, HEIGHT):
                raise SoakError(f"the {kind} picture is {png_size(png)}")
            digest = hashlib.sha256(png).hexdigest()
            if self.picture_hashes.setdefault(kind, digest) != digest:
                raise SoakError(f"the {kind} picture given back changed")

    def edit(self, k):
        cc = self.correction(k)
        before = self.committed
        _, st = self.call("PUT", "/api/correction?commit=1", cc)
        if st["correction"] != cc or st["redo"] != 0:
            raise SoakError("the correction read back is not the one sent")
        self.committed = cc
        self.signed = True
        _, st = self.call("GET", "/api/state")
        if st["correction"] != cc:
            raise SoakError("GET /api/state gives another correction")
        if before is not None and before != cc:
            _, st = self.call("POST", "/api/undo")
            if st["correction"] != before:
                raise SoakError("undo did not bring back the correction before")
            _, st = self.call("POST", "/api/redo")
            if st["correction"] != cc:
                raise SoakError("redo did not bring back the edit")
        return cc

    def drag(self, kind, params, points):
        st = None
        for n, (x, y) in enumerate(points):
            phase = "begin" if n == 0 else "end" if n == len(points) - 1 else "move"
            _, st = self.call("POST", "/api/gesture", dict(params, kind=kind, phase=phase, x=x, y=y))
            if st.get("applied") is not True:
                raise SoakError(f"the {kind} drag's {phase} was not applied")
        self.committed = st["correction"]
        _, now = self.call("GET", "/api/state")
        if now["correction"] != self.committed:
            raise SoakError("the state after a drag is not the drag's answer")

    def analyse(self, body):
        status, st = self.call("POST", "/api/analysis", body, expect=(200, 422))
        if status == 200:
            self.committed = st["correction"]

    def match_analysis(self, body, k):
        """The histogram and hue matches start from the default correction:
        the answer must hold nothing of this session's values, or of any
        other's. The session's correction is then put back."""
        self.signed = False
        status, st = self.call("POST", "/api/analysis", body, expect=(200, 422))
        if status == 200:
            neutral = {seg: dict.fromkeys(("white", "gamma", "black", "hue", "sat"), 0) for seg in SEGMENTS}
            if st["correction"]["vector6"] != neutral or st["correction"]["match"]["count"] != 0:
                raise SoakError(f"the {body['kind']} match kept six-vector or match values")
        self.committed = self.correction(k)
        self.call("PUT", "/api/correction?commit=1", self.committed)
        self.signed = True

    def saved_sets(self, k):
        if self.sets >= MAX_SETS_KEPT:
            self.sets = 0
            self.call("POST", "/api/sets/clear")
        saved = self.committed
        self.sets += 1
        _, st = self.call("POST", "/api/sets/define")
        slot = st["slot"]
        self.committed = self.correction(k, y_black=(self.i * 7 + k) % 50 - 25)
        self.call("PUT", "/api/correction?commit=1", self.committed)
        _, st = self.call("POST", f"/api/sets/recall?n={slot}")
        if st["correction"] != saved:
            raise SoakError(f"set {slot} recalled another correction")
        self.committed = saved
        _, listing = self.call("GET", "/api/sets")
        if len(listing["sets"]) != self.sets:
            raise SoakError(f"{len(listing['sets'])} sets listed, not {self.sets}")

    def same_as_before(self, what, data):
        key = (what, json.dumps(self.committed, sort_keys=True))
        digest = hashlib.sha256(data).hexdigest()
        if self.downloads.setdefault(key, digest) != digest:
            raise SoakError(f"{what} differs from the last one of the same correction")

    def downloads_(self, k):
        _, _, data = self.request("GET", "/api/download/correction?form=json")
        if json.loads(data) != self.committed:
            raise SoakError("the correction downloaded is not the session's")
        _, _, data = self.request("GET", "/api/download/correction?form=binary")
        self.same_as_before("the binary correction", data)
        _, _, data = self.request("GET", "/api/download/lut?size=9")
        text = data.decode()
        rows = [line for line in text.splitlines() if line[:1].isdigit()]
        if "LUT_3D_SIZE 9" not in text or len(rows) != 9 ** 3:
            raise SoakError(f"the .cube has {len(rows)} entries: {text[:200]!r}")
        self.same_as_before("the .cube", data)
        fmt = "png" if k % 4 == 0 else "jpeg"
        _, _, data = self.request("GET", f"/api/download/picture?format={fmt}")
        if fmt == "png" and png_size(data) != (WIDTH, HEIGHT):
            raise SoakError(f"the corrected picture is {png_size(data)}")
        self.same_as_before(f"the corrected {fmt}", data)
        t = SCOPE_TYPES[(k + self.i) % len(SCOPE_TYPES)]
        _, _, data = self.request("GET", f"/api/scope.png?type={t}")
        if png_size(data) != (384, 288):
            raise SoakError(f"scope {t} is {png_size(data)}")

    def iteration(self, k):
        i = self.i
        self.upload(k)
        cc = self.edit(k)
        self.measure_latency(cc, self.correction(k, y_white=200, y_black=-120), self.run_.args.toggles)
        self.call("PUT", "/api/correction?commit=1", cc)
        self.drag("coupled", {"target": 1, "values": 0x222},
                  [(192, 144), (200 + i, 140), (215, 130 - i), (230 + i, 120)])
        self.drag("huesat", {"target": 1, "values": 0x300000},
                  [(250, 100), (240 - i, 110), (230, 120 + i)])
        self.analyse({"kind": "gray1", "mode": 0, "source": [[300 + 100 * i % 1500, 400 + 37 * k % 600]]})
        self.match_analysis({"kind": "histo" if k % 2 == 0 else "hue", "source_rect": [100, 100, 900 + 10 * i, 700],
                             "reference_rect": [200, 150, 1000, 800 + 10 * i]}, k)
        self.saved_sets(k)
        self.downloads_(k)

    def run(self):
        try:
            self.setup()
            deadline = self.run_.args.deadline
            k = 0
            while not self.run_.stop.is_set() and k < self.run_.args.iterations:
                self.iteration(k)
                k += 1
                with self.run_.lock:
                    self.run_.iterations[self.i] = k
                if time.monotonic() > deadline:
                    break
            if k == 0 and not self.run_.stop.is_set():
                raise SoakError("no iteration finished")
            _, st = self.call("GET", "/api/state")
        except SoakError as e:
            self.run_.fail(self.name, str(e))
        except Exception as e:  # a fault of the script is a failure too
            self.run_.fail(self.name, f"{type(e).__name__}: {e}")
        finally:
            if self.conn is not None:
                self.conn.close()


def percentile(values, p):
    """Nearest rank: the smallest value with at least p % of them at or below it."""
    s = sorted(values)
    return s[max(0, math.ceil(p / 100 * len(s)) - 1)]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--tool", required=True, help="the colorcorrect executable")
    ap.add_argument("--sessions", type=int, default=8, help="sessions at once, also the server's --max-sessions (8)")
    ap.add_argument("--duration", type=float, default=120, help="seconds of work (120); each session ends its round")
    ap.add_argument("--iterations", type=int, default=500, help="most rounds a session makes (500)")
    ap.add_argument("--toggles", type=int, default=4, help="latency samples a session takes each round (4)")
    ap.add_argument("--max-rss-mb", type=float, default=2048, help="fail when the server's peak RSS is above (2048)")
    ap.add_argument("--request-timeout", type=float, default=300, help="seconds any one answer may take (300)")
    ap.add_argument("--start-timeout", type=float, default=120)
    ap.add_argument("--stop-timeout", type=float, default=120)
    args = ap.parse_args()
    if args.sessions < 1 or args.sessions > 64:
        ap.error("--sessions must be 1..64")

    run = Run(args)
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="soak-serve-") as folder:
        try:
            pictures = make_pictures(folder, args.sessions)
            server = Server(args)
        except (SoakError, subprocess.CalledProcessError, OSError) as e:
            print(f"soak-serve: FAILED: {e}", file=sys.stderr)
            return 1
    print(f"soak-serve: server on port {server.port}, {args.sessions} sessions, {args.duration:g} s", flush=True)
    sessions = [Session(run, server.port, i, pictures) for i in range(args.sessions)]
    args.deadline = time.monotonic() + args.duration
    for s in sessions:
        s.start()
    # The limit holds: one session more is refused for now.
    for s in sessions:
        while s.cookie is None and s.is_alive():
            time.sleep(0.05)
    if all(s.cookie for s in sessions):
        extra = Session(run, server.port, args.sessions, pictures)
        try:
            _, res, _ = extra.request("POST", "/api/session", expect=(503,))
            if not res.getheader("Retry-After"):
                run.fail("limit", "the 503 for a session too many has no Retry-After")
            with run.lock:  # the limit working, not a fault
                run.statuses[503] -= 1
                if run.statuses[503] == 0:
                    del run.statuses[503]
                run.statuses["503 (limit)"] = 1
        except SoakError as e:
            run.fail("limit", str(e))
    for s in sessions:
        s.join()
    elapsed = time.monotonic() - started

    run.stop.set()  # from here on the event streams' closed events are expected
    stopping = time.monotonic()
    status, stderr = server.stop()
    stop_time = time.monotonic() - stopping
    for s in sessions:
        with s.events:
            s.events.wait_for(lambda: s.stream_state != "open", 30)
    if status != 0:
        run.fail("server", f"exit status {status} after SIGTERM")
    if re.search(r"Sanitizer|runtime error:|ERROR: LeakSanitizer", stderr):
        run.fail("server", "a sanitizer reported (its first lines):\n" + stderr[:6000])

    peak_mb = server.peak_rss / 1024
    if peak_mb > args.max_rss_mb:
        run.fail("server", f"peak RSS {peak_mb:.0f} MB is above {args.max_rss_mb:g} MB")
    rounds = sum(run.iterations.values())
    lat = run.latencies
    fivexx = sum(n for code, n in run.statuses.items() if isinstance(code, int) and code >= 500)
    print(f"soak-serve: {args.sessions} sessions, {rounds} rounds "
          f"({min(run.iterations.values(), default=0)}..{max(run.iterations.values(), default=0)} a session), "
          f"{run.requests} requests in {elapsed:.0f} s, {len(run.errors)} errors, {fivexx} answers 5xx")
    print(f"soak-serve: answers by status: {dict(sorted((str(k), v) for k, v in run.statuses.items()))}")
    print(f"soak-serve: server peak RSS {peak_mb:.0f} MB (VmHWM; bound {args.max_rss_mb:g} MB), "
          f"last sample {server.samples[-1] / 1024 if server.samples else 0:.0f} MB")
    print(f"soak-serve: the server ended {stop_time:.1f} s after SIGTERM with status {status}")
    if stderr.strip():
        print("soak-serve: the server wrote (first lines):\n" + "\n".join(stderr.strip().splitlines()[:20]))
    if lat:
        print(f"soak-serve: edit-to-preview latency over {len(lat)} changes: median {statistics.median(lat) * 1000:.0f} ms, "
              f"p99 {percentile(lat, 99) * 1000:.0f} ms, max {max(lat) * 1000:.0f} ms")
    if run.errors:
        for e in run.errors:
            print(f"soak-serve: FAILED: {e}", file=sys.stderr)
        return 1
    print("soak-serve: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
