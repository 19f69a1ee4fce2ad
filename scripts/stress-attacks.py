#!/usr/bin/python3
"""Hostile clients against a running `zel-host serve`, one attack at a time.

Starts zel-host serve on a free loopback port with the sample game data, then
runs each attack for a few seconds while a probe client asks for
GET /zel-maps/v1/maps on a fresh connection about once a second and a sampler
reads the server's memory from /proc every 100 ms. After each attack it
checks and prints one line of figures:

  alive     the process still runs and GET /zel-maps/v1/maps answers 200;
  memory    VmRSS (sampled) and VmHWM (the kernel's peak, when it rose during
            the attack) stay under RSS_CEILING_MIB;
  probe     every probe is answered 200 within PROBE_LIMIT_S seconds;
  expected  what the attack itself must see (a refusal, no smuggled request
            run, a small POST not starved, ...), stated per attack below.

Every attack runs by default (ZEL_STRESS_ONLY picks some). A server that failed a check (it may be dead, hung or holding the
attack's memory) is replaced by a new one for the next attack, so that each
attack's figures are its own. Only 127.0.0.1 is ever contacted; every loop
is bounded by the attack's time and by a count of connections.
Ends with a table and exit status 0 when every check of every attack passed,
1 otherwise, 2 when the server could not be started.

  scripts/stress-attacks.py --zel-host build/linux-x86/bin/zel-host \\
      --game-data data/game-data --seconds 10 --only abg

scripts/stress is the usual entry (it finds the build and sets a time bound
for the whole run).
"""

import argparse
import ctypes
import os
import re
import selectors
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

# The most memory the server may hold during any attack. Idle, zel-host with
# the sample data holds about 6 MiB; one POST of a 15 MiB variant (parsed,
# stored, written out as JSON and published) peaks at about 140 MiB with no
# event listener, 280 MiB with four listeners that read (the i686 build).
# The most legitimate work at once is four 16 MiB bodies (the 64 MiB body
# budget). 768 MiB leaves room for that and for the allocator keeping freed
# pages, and is far below what an attack that copies without bound reaches
# (the i686 process has at most 4 GiB of address space).
RSS_CEILING_MIB = 768
# A probe not answered in full within this many seconds fails.
PROBE_LIMIT_S = 5.0
PROBE_EVERY_S = 1.0
SAMPLE_EVERY_S = 0.1
# How long a server is given to write its address into its log.
START_LIMIT_S = 10.0
# How long a server is given, after an attack, to answer GET again.
ALIVE_LIMIT_S = 8.0

PROBE_PATH = "/zel-maps/v1/maps"
MIB = 1 << 20


def log(text):
    print(text, flush=True)


# ---- the server under attack


class Server:
    """One zel-host serve process, its log in a file of its own."""

    def __init__(self, binary, game_data, work):
        self.binary = binary
        self.game_data = game_data
        self.work = work
        self.process = None
        self.port = None
        self.starts = 0
        self.log_path = None

    def start(self):
        self.starts += 1
        self.log_path = os.path.join(self.work, "serve-%d.log" % self.starts)
        with open(self.log_path, "wb") as out:
            self.process = subprocess.Popen(
                [self.binary, "serve", "--port", "0", "--game-data", self.game_data],
                stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                preexec_fn=_end_with_parent)
        deadline = time.monotonic() + START_LIMIT_S
        pattern = re.compile(r"^zel-host: serving .* on http://127\.0\.0\.1:(\d+)$", re.M)
        while time.monotonic() < deadline and self.process.poll() is None:
            with open(self.log_path, "r", errors="replace") as text:
                found = pattern.search(text.read())
            if found:
                self.port = int(found.group(1))
                return True
            time.sleep(0.05)
        return False

    @property
    def pid(self):
        return self.process.pid

    def running(self):
        return self.process is not None and self.process.poll() is None

    def log_tail(self, lines=8):
        try:
            with open(self.log_path, "r", errors="replace") as text:
                return text.read().splitlines()[-lines:]
        except OSError:
            return []

    def stop(self):
        if not self.running():
            return
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(5)


def _end_with_parent():
    """In the child before exec: the kernel ends the server when this
    program ends, however it ends (the run's time bound kills it)."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def memory_kib(pid):
    """(VmRSS, VmHWM) in KiB, or None once the process is gone."""
    try:
        with open("/proc/%d/status" % pid) as status:
            fields = dict(line.split(":", 1) for line in status if ":" in line)
        return int(fields["VmRSS"].split()[0]), int(fields["VmHWM"].split()[0])
    except (OSError, KeyError, ValueError):
        return None


class MemorySampler(threading.Thread):
    """The largest VmRSS seen, every SAMPLE_EVERY_S until stopped."""

    def __init__(self, pid):
        super().__init__(daemon=True)
        self.pid = pid
        self.stopped = threading.Event()
        self.max_rss_kib = 0
        self.samples = 0

    def run(self):
        while not self.stopped.is_set():
            memory = memory_kib(self.pid)
            if memory is None:
                return
            self.max_rss_kib = max(self.max_rss_kib, memory[0])
            self.samples += 1
            self.stopped.wait(SAMPLE_EVERY_S)


# ---- HTTP on plain sockets: the attacks need to send what no client library would


def connect(port, timeout, receive_buffer=None):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if receive_buffer:
        # Before connect, so that the window the server sees is small.
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
    sock.settimeout(timeout)
    try:
        sock.connect(("127.0.0.1", port))
    except OSError:
        sock.close()
        raise
    return sock


def head(method, path, port, fields=(), close=False):
    lines = ["%s %s HTTP/1.1" % (method, path), "Host: 127.0.0.1:%d" % port]
    lines += ["%s: %s" % field for field in fields]
    if close:
        lines.append("Connection: close")
    return ("\r\n".join(lines) + "\r\n\r\n").encode()


def request_bytes(method, path, port, body=b"", content_type="application/json", close=False):
    fields = []
    if body or method == "POST":
        fields = [("Content-Type", content_type), ("Content-Length", str(len(body)))]
    return head(method, path, port, fields, close) + body


class NoAnswer(Exception):
    pass


def _remaining(deadline):
    left = deadline - time.monotonic()
    if left <= 0:
        raise NoAnswer("timed out")
    return left


def read_answer(sock, deadline, buffered=b""):
    """(status, body, what came after it) of one answer, read until its end;
    NoAnswer when the connection ends first or the deadline passes."""
    data = buffered
    while b"\r\n\r\n" not in data:
        data += _receive(sock, deadline)
    head_text, _, rest = data.partition(b"\r\n\r\n")
    lines = head_text.decode("latin-1").split("\r\n")
    found = re.match(r"HTTP/1\.[01] (\d{3})", lines[0])
    if not found:
        raise NoAnswer("not an HTTP answer: %r" % lines[0][:60])
    status = int(found.group(1))
    fields = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        fields[name.strip().lower()] = value.strip()
    if "content-length" in fields:
        length = int(fields["content-length"])
        while len(rest) < length:
            rest += _receive(sock, deadline)
        return status, rest[:length], rest[length:]
    if fields.get("transfer-encoding", "").lower() == "chunked":
        body = b""
        while True:
            while b"\r\n" not in rest:
                rest += _receive(sock, deadline)
            size_line, _, rest = rest.partition(b"\r\n")
            size = int(size_line.split(b";")[0], 16)
            while len(rest) < size + 2:
                rest += _receive(sock, deadline)
            body += rest[:size]
            rest = rest[size + 2:]
            if size == 0:
                return status, body, rest
    while True:  # until the server closes
        try:
            more = _receive(sock, deadline)
        except NoAnswer as ended:
            if str(ended) == "closed":
                return status, rest, b""
            raise
        rest += more


def _receive(sock, deadline):
    sock.settimeout(_remaining(deadline))
    try:
        data = sock.recv(65536)
    except socket.timeout:
        raise NoAnswer("timed out")
    except OSError as error:
        raise NoAnswer((error.strerror or str(error)).lower())
    if not data:
        raise NoAnswer("closed")
    return data


def exchange(port, payload, limit_s):
    """Sends a whole request on a fresh connection and reads the answer:
    (status, body, seconds). A server that answers before it has read all
    (a refusal) is heard too. NoAnswer on failure."""
    started = time.monotonic()
    deadline = started + limit_s
    try:
        sock = connect(port, limit_s)
    except OSError as error:
        raise NoAnswer("connect: %s" % (error.strerror or error))
    try:
        try:
            sock.settimeout(_remaining(deadline))
            sock.sendall(payload)
        except socket.timeout:
            raise NoAnswer("timed out sending")
        except OSError:
            pass  # refused while sending: the answer may be there to read
        status, body, _ = read_answer(sock, deadline)
        return status, body, time.monotonic() - started
    finally:
        sock.close()


# ---- what every attack shares: the probe, the figures, the verdicts


class Probe(threading.Thread):
    """GET /zel-maps/v1/maps on a fresh connection every PROBE_EVERY_S."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.port = port
        self.stopped = threading.Event()
        self.latencies = []  # seconds of the answered ones
        self.failures = []   # what went wrong, in words

    def run(self):
        while not self.stopped.is_set():
            started = time.monotonic()
            try:
                status, _, seconds = exchange(
                    self.port, request_bytes("GET", PROBE_PATH, self.port, close=True),
                    PROBE_LIMIT_S)
                if status == 200:
                    self.latencies.append(seconds)
                else:
                    self.failures.append("status %d" % status)
            except NoAnswer as failure:
                self.failures.append(str(failure))
            self.stopped.wait(max(0.0, PROBE_EVERY_S - (time.monotonic() - started)))

    @property
    def count(self):
        return len(self.latencies) + len(self.failures)


class Outcome:
    """What an attack saw itself: whether it went as a sound server makes it
    go, and the figures to show."""

    def __init__(self):
        self.ok = True
        self.figures = []
        self.problems = []

    def note(self, text):
        self.figures.append(text)

    def fail(self, text):
        self.ok = False
        self.problems.append(text)


class Attack:
    """The time an attack has and the stop signal its loops watch."""

    def __init__(self, server, seconds):
        self.server = server
        self.port = server.port
        self.seconds = seconds
        self.started = time.monotonic()
        self.deadline = self.started + seconds
        self.outcome = Outcome()

    def left(self):
        return max(0.0, self.deadline - time.monotonic())

    def over(self):
        return time.monotonic() >= self.deadline

    def hold(self):
        """Keeps the load on until the attack's time is up."""
        while not self.over():
            time.sleep(min(0.1, self.left()))


def summarize(values):
    """"400 x3, none x1": each value seen and how often."""
    counts = {}
    for value in values:
        counts[value] = counts.get(value, 0) + 1
    return ", ".join("%s x%d" % (value if value is not None else "none", count)
                     for value, count in sorted(counts.items(), key=lambda item: str(item[0])))


def close_all(sockets):
    for sock in sockets:
        try:
            sock.close()
        except OSError:
            pass


def run_threads(targets, join_limit_s):
    threads = [threading.Thread(target=target, daemon=True) for target in targets]
    for thread in threads:
        thread.start()
    end = time.monotonic() + join_limit_s
    for thread in threads:
        thread.join(max(0.0, end - time.monotonic()))
    return sum(thread.is_alive() for thread in threads)


# ---- a. YAML alias bomb


def alias_bomb(map_id):
    """A map variant whose properties copy one 1 MiB string 1,000 times
    through aliases of aliases (10 x 10 x 10), in about 1 MiB of YAML."""
    text = "x" * MIB
    ten = lambda name: "[" + ", ".join(["*" + name] * 10) + "]"
    return ("id: %d\nname: Bomb\ngameMode: RELAY\ndescription: &s %s\nproperties:\n"
            "  one: &one %s\n  two: &two %s\n  three: %s\n"
            % (map_id, text, ten("s"), ten("one"), ten("two"))).encode()


def attack_alias_bomb(attack):
    """Three bombs at once, again while time is left; each must be refused
    (4xx) within PROBE_LIMIT_S."""
    out = attack.outcome
    results = []
    lock = threading.Lock()

    def post(map_id):
        body = alias_bomb(map_id)
        payload = request_bytes("POST", "/zel-maps/v1/map", attack.port, body,
                                "application/x-yaml", close=True)
        try:
            status, answer, seconds = exchange(attack.port, payload, PROBE_LIMIT_S + 5)
            result = (status, seconds, answer[:120])
        except NoAnswer as failure:
            result = (None, None, str(failure))
        with lock:
            results.append(result)

    rounds = 0
    while not attack.over() and rounds < 4:
        rounds += 1
        run_threads([lambda i=i: post(9500 + i) for i in range(3)], PROBE_LIMIT_S + 7)
    attack.hold()
    statuses = [status for status, _, _ in results]
    times = [seconds for _, seconds, _ in results if seconds is not None]
    out.note("%d bombs of %.1f MiB: statuses %s, slowest %s" % (
        len(results), len(alias_bomb(1)) / MIB, summarize(statuses),
        "%.2f s" % max(times) if times else "-"))
    refused = [r for r in results if r[0] is not None and 400 <= r[0] < 500
               and r[1] <= PROBE_LIMIT_S]
    if len(refused) != len(results) or not results:
        wrong = [r for r in results if r not in refused]
        out.fail("not refused quickly: %s" % "; ".join(
            "%s in %s (%r)" % (s, "%.2f s" % t if t is not None else "-", b) for s, t, b in wrong[:3]))


# ---- b. big variants published to listeners that never read

LISTENERS = 32
BIG_POSTS = 3
BIG_VARIANT_MIB = 15
BIG_VARIANT_ID = 9401


def big_variant(description_bytes):
    return ('{"id": %d, "name": "Big variant", "gameMode": "RELAY", "description": "%s"}'
            % (BIG_VARIANT_ID, "x" * description_bytes)).encode()


def attack_big_variants(attack):
    """32 event streams that read nothing (4 KiB receive buffers), then up
    to three POSTs of a 15 MiB variant (one after the other while the time
    lasts), each of which publishes the catalogue to every stream; each POST
    must still be answered 200. The variant is made small again afterwards,
    so that later attacks see the sample catalogue."""
    out = attack.outcome
    listeners = []
    refused = 0
    try:
        for _ in range(LISTENERS):
            try:
                sock = connect(attack.port, 5, receive_buffer=4096)
                sock.sendall(head("GET", "/events", attack.port))
                listeners.append(sock)
            except OSError:
                refused += 1
        time.sleep(0.5)
        opened = 0
        for sock in listeners:  # a peek leaves the stream unread
            try:
                sock.settimeout(1)
                opened += sock.recv(12, socket.MSG_PEEK) == b"HTTP/1.1 200"
            except OSError:
                pass
        body = big_variant(BIG_VARIANT_MIB * MIB - 100)
        statuses, times = [], []
        for number in range(BIG_POSTS):
            if number and attack.over():
                break  # how many fit in the time is the machine's speed, not a fault
            try:
                status, answer, seconds = exchange(
                    attack.port, request_bytes("POST", "/zel-maps/v1/map", attack.port, body,
                                               close=True), min(attack.left() + 5, 20))
                statuses.append(status)
                times.append(seconds)
                if status != 200:
                    out.fail("a big variant was answered %d: %r" % (status, answer[:120]))
            except NoAnswer as failure:
                statuses.append(None)
                out.fail("a big variant was not answered: %s" % failure)
        attack.hold()
        out.note("%d event streams opened (%d connections refused), %d POSTs of %d MiB: "
                 "statuses %s, slowest %s"
                 % (opened, refused, len(statuses), BIG_VARIANT_MIB, summarize(statuses),
                    "%.2f s" % max(times) if times else "-"))
    finally:
        close_all(listeners)
    try:
        exchange(attack.port, request_bytes("POST", "/zel-maps/v1/map", attack.port,
                                            big_variant(10), close=True), 10)
    except NoAnswer:
        pass


# ---- c. chunk extensions and trailers without end

FLOOD_BYTE_CAP = 48 * MIB  # past the 16 MiB body limit, with room to spare


def flood(attack, label, first, piece, results, lock):
    """Sends `first`, then `piece` again and again, while watching for an
    answer or a close; records what ended it."""
    sent = 0
    ended = "still reading at the cap"
    status = None
    started = time.monotonic()
    try:
        sock = connect(attack.port, 5)
    except OSError as error:
        with lock:
            results.append((label, None, "connect failed: %s" % error, 0, 0.0))
        return
    sock.setblocking(False)
    chooser = selectors.DefaultSelector()
    chooser.register(sock, selectors.EVENT_READ | selectors.EVENT_WRITE)
    pending = memoryview(first)
    answer = b""
    try:
        while sent < FLOOD_BYTE_CAP:
            if attack.over():
                ended = "still reading when the time was up"
                break
            events = chooser.select(min(0.2, attack.left()))
            readable = any(mask & selectors.EVENT_READ for _, mask in events)
            writable = any(mask & selectors.EVENT_WRITE for _, mask in events)
            if readable:
                try:
                    data = sock.recv(65536)
                except OSError as error:
                    ended = (error.strerror or str(error)).lower()
                    break
                if not data:
                    ended = "closed"
                    break
                answer += data
                found = re.match(rb"HTTP/1\.[01] (\d{3})", answer)
                if found:
                    status = int(found.group(1))
                    ended = "answered"
                    break
            if writable:
                if not pending:
                    pending = memoryview(piece)
                try:
                    count = sock.send(pending)
                except BlockingIOError:
                    continue
                except OSError as error:
                    ended = (error.strerror or str(error)).lower()
                    break
                sent += count
                pending = pending[count:]
    finally:
        chooser.close()
        sock.close()
    with lock:
        results.append((label, status, ended, sent, time.monotonic() - started))


def attack_chunk_flood(attack):
    """Chunked POSTs whose chunk-size lines carry 1 MiB of extensions each,
    and chunked POSTs that end their body and then send trailer lines
    without end, side by side, a new connection when one ends. Each
    connection must be answered (an error status) or closed by the server
    before it has taken FLOOD_BYTE_CAP bytes or the attack's time."""
    out = attack.outcome
    results = []
    lock = threading.Lock()
    start = head("POST", "/zel-maps/v1/map", attack.port,
                 [("Content-Type", "application/json"), ("Transfer-Encoding", "chunked")])
    extension = b"1;zel-ext=" + b"e" * (MIB + 4096) + b"\r\n{\r\n"
    trailer = b"X-Zel-Trailer: " + b"t" * 1000 + b"\r\n"

    def keep_flooding(label, first, piece):
        for _ in range(6):
            if attack.over():
                return
            flood(attack, label, first, piece, results, lock)

    run_threads([lambda: keep_flooding("extensions", start, extension),
                 lambda: keep_flooding("trailers", start + b"0\r\n", trailer)],
                attack.left() + 10)
    attack.hold()
    for label in ("extensions", "trailers"):
        mine = [r for r in results if r[0] == label]
        out.note("%s: %d connections, %s, up to %.1f MiB taken" % (
            label, len(mine), summarize([r[2] + (" %d" % r[1] if r[1] else "") for r in mine]),
            max([r[3] for r in mine] or [0]) / MIB))
        for _, status, ended, sent, _ in mine:
            refused = (status is not None and status >= 400) or ended in (
                "closed", "connection reset by peer", "broken pipe")
            if not refused:
                out.fail("%s: %s after %.1f MiB" % (label, ended, sent / MIB))
                break


# ---- d. connections that stall in their bodies

STALLED = 128
RECONNECT_CAP = 4000


def keep_connections(attack, count, payload, reconnect=True):
    """Holds `count` connections that each sent `payload` and then nothing,
    reconnecting (when asked; at most RECONNECT_CAP times in all) when the
    server ends one. Returns (connections made, ended by the server,
    statuses heard)."""
    chooser = selectors.DefaultSelector()
    made, ended = 0, 0
    statuses = []
    live = set()

    def open_one():
        nonlocal made
        try:
            sock = connect(attack.port, 2)
            sock.sendall(payload)
        except OSError:
            return False
        sock.setblocking(False)
        chooser.register(sock, selectors.EVENT_READ)
        live.add(sock)
        made += 1
        return True

    try:
        for _ in range(count):
            if attack.over():
                break
            open_one()
        while not attack.over():
            for key, _ in chooser.select(min(0.1, attack.left())):
                sock = key.fileobj
                try:
                    data = sock.recv(65536)
                except OSError:
                    data = b""
                found = re.match(rb"HTTP/1\.[01] (\d{3})", data)
                if found:
                    statuses.append(int(found.group(1)))
                chooser.unregister(sock)
                live.discard(sock)
                sock.close()
                ended += 1
            while (reconnect and len(live) < count and made < count + RECONNECT_CAP
                   and not attack.over()):
                if not open_one():
                    time.sleep(0.02)
                    break
    finally:
        close_all(list(live))
        chooser.close()
    return made, ended, statuses


def attack_stalled_bodies(attack):
    """128 connections, each a POST head announcing 1,024 bytes and one byte
    of them, opened again when the server ends one; only the probe's answer
    counts."""
    payload = head("POST", "/zel-maps/v1/map", attack.port,
                   [("Content-Type", "application/json"), ("Content-Length", "1024")]) + b"{"
    made, ended, statuses = keep_connections(attack, STALLED, payload)
    attack.outcome.note("%d connections made, %d ended by the server%s" % (
        made, ended, (", answers " + summarize(statuses)) if statuses else ""))


# ---- e. bodies announced and never sent

HOGS = 4
SMALL_POST_ID = 9601


def attack_budget_hogs(attack, reconnect=False):
    """4 connections announcing 16 MiB bodies (the whole body budget) that
    never come; meanwhile a small POST every second. The small POSTs must
    not be starved for the whole attack: at least one is answered 200
    within PROBE_LIMIT_S. The longest stretch without such an answer is
    shown. With `reconnect`, a hog the server ends comes back at once."""
    out = attack.outcome
    payload = head("POST", "/zel-maps/v1/map", attack.port,
                   [("Content-Type", "application/json"), ("Content-Length", str(16 * MIB))])
    small = request_bytes("POST", "/zel-maps/v1/map", attack.port,
                          b'{"id": %d, "name": "Small", "gameMode": "RELAY"}' % SMALL_POST_ID,
                          close=True)
    hogs = {}

    def hold_hogs():
        hogs["result"] = keep_connections(attack, HOGS, payload, reconnect)

    hogger = threading.Thread(target=hold_hogs, daemon=True)
    hogger.start()
    time.sleep(0.3)  # the hogs take the budget first
    attempts = []  # (started, answered 200 in time, what)
    while not attack.over():
        started = time.monotonic()
        try:
            status, _, seconds = exchange(attack.port, small, PROBE_LIMIT_S)
            attempts.append((started, status == 200, "%d in %.2f s" % (status, seconds)))
        except NoAnswer as failure:
            attempts.append((started, False, str(failure)))
        time.sleep(max(0.0, min(attack.left(), PROBE_EVERY_S - (time.monotonic() - started))))
    hogger.join(10)
    made, ended, statuses = hogs.get("result", (0, 0, []))
    longest, since = 0.0, None
    for started, ok, _ in attempts:
        if ok:
            if since is not None:
                longest = max(longest, started - since)
            since = None
        elif since is None:
            since = started
    if since is not None:
        longest = max(longest, attack.deadline - since)
    good = sum(ok for _, ok, _ in attempts)
    out.note("hogs: %d made, %d ended by the server%s; small POSTs %d/%d answered 200, "
             "longest starved %.1f s" % (
                 made, ended, (" (" + summarize(statuses) + ")") if statuses else "",
                 good, len(attempts), longest))
    if not good:
        failed = [what for _, ok, what in attempts if not ok]
        out.fail("small POSTs starved for the whole attack (%s)" % summarize(failed))


# ---- f. pipelined GETs whose answers are never read

SLOW_READERS = 4
PIPELINE_CAP_BYTES = 64 * MIB  # per client; far more than the kernel's buffers hold


def attack_slow_reader(attack):
    """Clients with 4 KiB receive buffers that pipeline GET
    /zel-maps/v2/maps as fast as the server takes them and never read;
    only the probe's answer and the memory count."""
    out = attack.outcome
    batch = head("GET", "/zel-maps/v2/maps", attack.port) * 100
    pushed = []
    lock = threading.Lock()

    def pipeline():
        sent = 0
        ended = "time up"
        try:
            sock = connect(attack.port, 5, receive_buffer=4096)
        except OSError as error:
            with lock:
                pushed.append((0, "connect: %s" % error))
            return
        sock.setblocking(False)
        pending = memoryview(b"")
        try:
            while not attack.over():
                if sent >= PIPELINE_CAP_BYTES:
                    ended = "cap"
                    break
                if not pending:
                    pending = memoryview(batch)
                try:
                    count = sock.send(pending)
                except BlockingIOError:
                    time.sleep(0.05)  # the server takes no more for now
                    continue
                except OSError as error:
                    ended = (error.strerror or str(error)).lower()
                    break
                sent += count
                pending = pending[count:]
            attack.hold()
        finally:
            sock.close()
            with lock:
                pushed.append((sent, ended))

    run_threads([pipeline] * SLOW_READERS, attack.left() + 5)
    out.note("%d clients sent %s MiB of pipelined GETs (%s), reading nothing" % (
        len(pushed), "/".join("%.1f" % (sent / MIB) for sent, _ in sorted(pushed)),
        summarize(ended for _, ended in pushed)))


# ---- g. a request hidden in a body the server cannot frame

SMUGGLE_ROUNDS = 4


def smuggled(attack, map_id, outer_fields):
    inner_body = b'{"id": %d, "name": "Smuggled", "gameMode": "RELAY"}' % map_id
    inner = request_bytes("POST", "/zel-maps/v1/map", attack.port, inner_body)
    # The outer request names an event nobody listens to: had it been taken
    # as a request without a body, it would be answered 200, so a 400 can
    # only be the server's refusal to frame it.
    outer = head("POST", "/events/ZelStressOuter", attack.port,
                 [("Content-Type", "application/json")] + outer_fields) + inner
    try:
        sock = connect(attack.port, 5)
    except OSError as error:
        return [], "connect: %s" % error
    # Every answer the connection carries, read one after the other, until
    # the server closes or is silent for 2 s.
    statuses, ended, rest = [], "", b""
    try:
        sock.sendall(outer)
        while True:
            status, _, rest = read_answer(sock, time.monotonic() + 2, rest)
            statuses.append(status)
    except NoAnswer as failure:
        ended = str(failure)
    except OSError as error:
        ended = str(error)
    finally:
        sock.close()
    return statuses, ended


def attack_smuggling(attack):
    """POSTs with Transfer-Encoding: gzip (alone, and beside Content-Length:
    0) whose body is a whole POST of a variant. Each must be answered 400
    (the body's length cannot be known) and nothing else, and the hidden
    variant must never appear."""
    out = attack.outcome
    shapes = [("gzip", [("Transfer-Encoding", "gzip")]),
              ("gzip+length 0", [("Transfer-Encoding", "gzip"), ("Content-Length", "0")])]
    seen = {label: [] for label, _ in shapes}
    smuggled_in = []
    rounds = 0
    while rounds < SMUGGLE_ROUNDS and not attack.over():
        for index, (label, fields) in enumerate(shapes):
            map_id = 9700 + rounds * len(shapes) + index
            statuses, ended = smuggled(attack, map_id, fields)
            seen[label].append(statuses)
            if statuses != [400]:
                out.fail("%s: answers %s (%s), not one 400" % (label, statuses or "none", ended))
            try:
                status, _, _ = exchange(attack.port, request_bytes(
                    "GET", "/zel-maps/v2/map/%d/RELAY" % map_id, attack.port, close=True), 5)
                if status != 404:
                    smuggled_in.append((label, map_id, status))
            except NoAnswer as failure:
                out.fail("could not ask for the hidden variant: %s" % failure)
        rounds += 1
        time.sleep(min(attack.left(), 1.0))
    attack.hold()
    for label, _ in shapes:
        out.note("%s: answers %s" % (label, summarize(str(s) for s in seen[label])))
    if smuggled_in:
        out.fail("the hidden request ran: %s" % ", ".join(
            "%s made variant %d (GET %d)" % item for item in smuggled_in))
    else:
        out.note("hidden variant never made")


ATTACKS = [
    ("a", "yaml alias bomb", attack_alias_bomb),
    ("b", "big variants, 32 listeners", attack_big_variants),
    ("c", "chunk extension/trailer flood", attack_chunk_flood),
    ("d", "128 stalled bodies", attack_stalled_bodies),
    ("e", "budget hogs", attack_budget_hogs),
    ("f", "slow pipelined reader", attack_slow_reader),
    ("g", "TE gzip smuggling", attack_smuggling),
    # Hogs that come back at once: a server that gave a stalled body's share
    # back only after a while would starve small POSTs for as long as they do.
    ("h", "budget hogs coming back", lambda attack: attack_budget_hogs(attack, reconnect=True)),
]
DEFAULT_ATTACKS = "abcdefgh"


# ---- running them


def alive_check(server):
    """Whether the server runs and answers the probe's GET with 200 (tried
    for up to ALIVE_LIMIT_S, so that an attack's own closing is over)."""
    why = "not running"
    end = time.monotonic() + ALIVE_LIMIT_S
    while True:
        if not server.running():
            return False, "exited with %s" % server.process.returncode
        try:
            status, _, _ = exchange(server.port, request_bytes(
                "GET", PROBE_PATH, server.port, close=True),
                max(0.5, min(PROBE_LIMIT_S, end - time.monotonic())))
            if status == 200:
                return True, ""
            why = "GET answered %d" % status
        except NoAnswer as failure:
            why = "GET: %s" % failure
        if time.monotonic() + 0.5 >= end:
            return False, why
        time.sleep(0.5)


def run_attack(server, letter, name, function, seconds):
    before = memory_kib(server.pid) or (0, 0)
    sampler = MemorySampler(server.pid)
    probe = Probe(server.port)
    attack = Attack(server, seconds)
    sampler.start()
    probe.start()
    crashed = None
    try:
        function(attack)
    except Exception as error:  # an attack's own fault must not hide the others'
        crashed = "%s: %s" % (type(error).__name__, error)
    probe.stopped.set()
    probe.join(PROBE_LIMIT_S + 1)
    alive, why = alive_check(server)
    sampler.stopped.set()
    sampler.join(1)
    after = memory_kib(server.pid)
    peak_kib = sampler.max_rss_kib
    hwm_text = "VmHWM did not rise"
    if after and after[1] > before[1]:
        # The kernel's peak rose during this attack: the attack reached it,
        # perhaps between two samples.
        peak_kib = max(peak_kib, after[1])
        hwm_text = "VmHWM %.1f" % (after[1] / 1024)

    out = attack.outcome
    if crashed:
        out.fail("the attack itself failed: " + crashed)
    worst = max(probe.latencies) if probe.latencies else None
    checks = {
        "alive": alive,
        "memory": peak_kib <= RSS_CEILING_MIB * 1024,
        "probe": probe.count > 0 and not probe.failures and worst <= PROBE_LIMIT_S,
        "expected": out.ok,
    }
    passed = all(checks.values())
    worst_text = "%.3f s" % worst if worst is not None else "-"
    if probe.failures:
        worst_text += ", %d failed" % len(probe.failures)
    row = {
        "attack": "%s. %s" % (letter, name),
        "worst": worst_text,
        "peak": "%.0f MiB" % (peak_kib / 1024),
        "alive": "yes" if alive else "NO",
        "expected": "yes" if out.ok else "NO",
        "result": "pass" if passed else "FAIL",
    }
    log("%s: %s; probes %d, worst GET %s%s; peak RSS %.1f MiB (sampled %.1f every %.1f s, "
        "%s; before %.1f, after %s; ceiling %d); alive %s%s; %s" % (
            row["attack"], "; ".join(out.figures) or "-", probe.count, worst_text,
            (" (" + summarize(probe.failures) + ")") if probe.failures else "",
            peak_kib / 1024, sampler.max_rss_kib / 1024, SAMPLE_EVERY_S, hwm_text,
            before[0] / 1024, "%.1f" % (after[0] / 1024) if after else "-", RSS_CEILING_MIB,
            row["alive"], "" if alive else " (" + why + ")", row["result"].upper()))
    for problem in out.problems:
        log("    expected: " + problem)
    failed = [name for name, ok in checks.items() if not ok]
    if failed:
        log("    failed checks: " + ", ".join(failed))
    if not server.running():
        for line in server.log_tail():
            log("    server: " + line)
    return row, passed


def table(rows):
    columns = [("attack", "attack"), ("worst", "worst GET"), ("peak", "peak RSS"),
               ("alive", "alive"), ("expected", "expected"), ("result", "result")]
    widths = [max(len(title), *(len(row[key]) for row in rows)) for key, title in columns]
    lines = [" | ".join(title.ljust(width) for (_, title), width in zip(columns, widths)),
             "-|-".join("-" * width for width in widths)]
    for row in rows:
        lines.append(" | ".join(row[key].ljust(width) for (key, _), width in zip(columns, widths)))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--zel-host", required=True, help="the zel-host program")
    parser.add_argument("--game-data", required=True, help="the sample game data folder")
    parser.add_argument("--seconds", type=float, default=10.0, help="each attack's time")
    parser.add_argument("--only", default="",
                        help="letters of the attacks to run (default %s)"
                        % DEFAULT_ATTACKS)
    options = parser.parse_args()
    # The run's time bound ends it with SIGTERM: stop the server on the way out.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    chosen = [attack for attack in ATTACKS if attack[0] in (options.only or DEFAULT_ATTACKS)]
    if not chosen:
        log("stress: no attack named %r" % options.only)
        return 2

    with tempfile.TemporaryDirectory(prefix="zel-stress-") as work:
        server = Server(options.zel_host, options.game_data, work)
        rows, passed = [], 0
        try:
            ok = True
            for letter, name, function in chosen:
                if not ok:
                    # A server that failed an attack may be dead, hung or
                    # holding the attack's memory: the next attack gets a
                    # new one, so that its figures are its own.
                    server.stop()
                    log("stress: starting zel-host again for the next attack")
                if not server.running():
                    if not server.start():
                        log("stress: zel-host did not start")
                        for line in server.log_tail():
                            log("    server: " + line)
                        return 2
                    log("stress: zel-host pid %d on 127.0.0.1:%d, RSS %.1f MiB" % (
                        server.pid, server.port, (memory_kib(server.pid) or (0, 0))[0] / 1024))
                row, ok = run_attack(server, letter, name, function, options.seconds)
                rows.append(row)
                passed += ok
        finally:
            server.stop()
        log("")
        log(table(rows))
        log("stress: %d passed, %d failed" % (passed, len(rows) - passed))
        return 0 if passed == len(rows) else 1


if __name__ == "__main__":
    sys.exit(main())
