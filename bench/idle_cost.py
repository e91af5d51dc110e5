#!/usr/bin/env python3
"""What winding-scheme costs while it waits.

Starts the real program under a private Xvfb with openbox (i3 for the state
that names it), drives it with
xdotool into each of its waiting states, and measures over a window of
--seconds (10 by default) inside that state:

  - CPU: utime + stime of the whole process from /proc/PID/stat, as % of one core;
  - wake-ups: voluntary + nonvoluntary context switches of every thread
    (/proc/PID/task/*/status), per second;
  - the same two figures per thread. A thread is shown as comm#n:TID, n being
    its place in start order (#0 is the process's first thread).

The states, each in a fresh run of the program:

  prompt     the " Z=" prompt, nothing typed;
  step       a pause between two animation steps: 24 Enter 4 Enter, then '-'
             pressed until a step pause outlasts the window; the window starts
             just after a step and the page must not change until it ends;
  paused     Pause pressed during the animation; the page must stay still;
  box        the report box for 24 Enter -1 Enter ("Unhandled Error #6");
  final      the animation run to its end with '+' keys, the wait for a key
             after the last step;
  continue   the "Press any key to continue" prompt that the next key shows
             (the same run as final; the key after it must end the program);
  resized    the prompt after two quick resizes (xdotool windowsize twice,
             back to back), once the window has settled;
  maximised  the prompt in the window maximised by the manager (wmctrl);
  max-fs     the same, then Alt+Enter (full screen from the maximised window);
  i3-fs      the prompt under the tiling manager i3, after Alt+Enter.

Each of the last four states notes the window's client size at the end of its
window of measurement.

    bench/idle_cost.py [--seconds S] [--states a,b,...] [path-to-binary]

The binary defaults to build/winding-scheme of this source tree. One line per
state goes to standard output; a state that could not be reached or measured
says why on its line and makes the exit code 1. Xvfb, openbox and the program
are always stopped by process id, also on errors and on SIGINT/SIGTERM.

This is a figure, not a test: nothing runs it from CTest.
"""

import argparse
import ctypes
import hashlib
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

CLK_TCK = os.sysconf("SC_CLK_TCK")
PAGE_W, PAGE_H, CELL_H = 640, 480, 16
ALL_STATES = ["prompt", "step", "paused", "box", "final", "continue", "resized", "maximised",
              "max-fs", "i3-fs"]


class Failure(Exception):
    """A state could not be reached or measured."""


class Interrupted(BaseException):
    pass


def on_signal(signum, _frame):
    raise Interrupted(f"signal {signum}")


# ------------------------------------------------------------ processes

_libc = ctypes.CDLL(None, use_errno=True)
PR_SET_PDEATHSIG = 1


def die_with_parent():
    # Runs in the child before exec: even a SIGKILL of this script ends it
    # (SIGTERM, so that Xvfb still removes its lock file and socket).
    _libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def spawn(argv, env, out_path, err_path):
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        return subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                stderr=err, preexec_fn=die_with_parent,
                                start_new_session=True)


def stop(proc, grace=2.0):
    """SIGTERM, then SIGKILL after grace seconds; by process id only."""
    if proc is None or proc.poll() is not None:
        return
    try:
        os.kill(proc.pid, signal.SIGTERM)
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        os.kill(proc.pid, signal.SIGKILL)
        proc.wait(5)
    except ProcessLookupError:
        pass


def tail(path, lines=3):
    try:
        with open(path, errors="replace") as f:
            text = f.read().strip().splitlines()
    except OSError:
        return ""
    return " | ".join(text[-lines:])


# ------------------------------------------------------------ X server

# The window manager's configuration the window tests use: no key or mouse
# bindings, so that Alt+Enter reaches the program.
OPENBOX_RC = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "tests",
                          "support", "openbox-rc.xml")


class XServer:
    """A private Xvfb display with openbox (no key bindings), or i3."""

    def __init__(self, work, wm="openbox"):
        self.work = work
        self.wm_name = wm
        self.xvfb = None
        self.wm = None
        self.number = None

    def env(self, extra=None):
        env = dict(os.environ)
        env["DISPLAY"] = f":{self.number}"
        env.update(extra or {})
        return env

    def run(self, argv, timeout=10.0, check=True):
        r = subprocess.run(argv, env=self.env(), stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=timeout)
        if check and r.returncode != 0:
            raise Failure(f"{argv[0]} {argv[1] if len(argv) > 1 else ''} failed: "
                          f"{r.stderr.decode(errors='replace').strip()[:200]}")
        return r

    def start(self):
        first = 400 + os.getpid() % 400
        for attempt in range(60):
            n = 400 + (first - 400 + attempt * 11) % 500
            if os.path.lexists(f"/tmp/.X11-unix/X{n}") or os.path.lexists(f"/tmp/.X{n}-lock"):
                continue
            self.number = n
            log = os.path.join(self.work, f"xvfb{n}")
            proc = spawn(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "+extension", "GLX",
                          "-nolisten", "tcp", "-noreset"], self.env(), log + ".out", log + ".err")
            if self._wait_ready(proc, n):
                self.xvfb = proc
                break
            stop(proc)
        else:
            raise Failure("no Xvfb could be started")
        self._start_manager()

    def _wait_ready(self, proc, n):
        # Ready when the lock file holds our pid (another run may have taken
        # the number first) and xdpyinfo answers.
        end = time.monotonic() + 10
        while time.monotonic() < end:
            if proc.poll() is not None:
                return False
            try:
                with open(f"/tmp/.X{n}-lock") as f:
                    ours = int(f.read().strip() or 0) == proc.pid
            except (OSError, ValueError):
                ours = False
            if ours and self.run(["xdpyinfo"], check=False).returncode == 0:
                return True
            time.sleep(0.05)
        return False

    def _start_manager(self):
        home = {"HOME": self.work, "XDG_CONFIG_HOME": self.work, "XDG_CACHE_HOME": self.work}
        log = os.path.join(self.work, self.wm_name)
        if self.wm_name == "i3":
            # Without a configuration i3 starts a first-run wizard.
            config = os.path.join(self.work, "i3.config")
            with open(config, "w") as f:
                f.write("font pango:monospace 8\nfocus_follows_mouse no\n")
            argv = ["i3", "-c", config]
        else:
            argv = ["openbox", "--config-file", OPENBOX_RC]
        self.wm = spawn(argv, self.env(home), log + ".out", log + ".err")
        end = time.monotonic() + 10
        while time.monotonic() < end:
            if self.wm.poll() is not None:
                break
            r = self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)
            if "window id #" in r.stdout.decode(errors="replace"):
                return
            time.sleep(0.05)
        raise Failure(f"{self.wm_name} did not come up: " + tail(log + ".err"))

    def close(self):
        stop(self.wm)
        stop(self.xvfb)
        if self.xvfb is not None:
            # A killed Xvfb leaves its lock and socket behind: remove them if
            # they are still ours.
            lock = f"/tmp/.X{self.number}-lock"
            try:
                with open(lock) as f:
                    if int(f.read().strip() or 0) == self.xvfb.pid:
                        os.unlink(lock)
                        os.unlink(f"/tmp/.X11-unix/X{self.number}")
            except (OSError, ValueError):
                pass

    # ---- windows and keys

    def windows_of(self, pid):
        r = self.run(["xdotool", "search", "--pid", str(pid)], check=False)
        return sorted(int(w) for w in r.stdout.split())

    def windows_named(self, name):
        r = self.run(["xdotool", "search", "--name", name], check=False)
        return sorted(int(w) for w in r.stdout.split())

    def geometry(self, w):
        r = self.run(["xwininfo", "-id", str(w)], check=False)
        info = {}
        for line in r.stdout.decode(errors="replace").splitlines():
            key, _, value = line.strip().partition(":")
            info[key] = value.strip()
        return info

    def keys(self, w, *keys, delay_ms=40):
        self.run(["xdotool", "windowactivate", "--sync", str(w), "key", "--delay", str(delay_ms),
                  *keys])

    def grab(self, w):
        r = self.run(["xwd", "-id", str(w), "-silent", "-nobdrs"], check=False)
        return Image.decode(r.stdout) if r.returncode == 0 else None


class Image:
    """A window grab from xwd (ZPixmap, TrueColor), enough to compare and test rows."""

    def __init__(self, width, height, bpp, stride, msb, mask, data):
        self.width, self.height = width, height
        self.bpp, self.stride, self.msb, self.mask, self.data = bpp, stride, msb, mask, data

    @staticmethod
    def decode(b):
        if len(b) < 100:
            return None
        order = ">" if struct.unpack(">I", b[4:8])[0] == 7 else "<"
        h = struct.unpack(order + "25I", b[:100])
        if h[1] != 7 or h[2] != 2 or h[11] % 8 != 0 or h[11] == 0:
            return None
        offset = h[0] + h[19] * 12
        width, height, stride = h[4], h[5], h[12]
        data = b[offset:offset + stride * height]
        if len(data) < stride * height:
            return None
        return Image(width, height, h[11] // 8, stride, h[7] == 1, h[14] | h[15] | h[16], data)

    def digest(self):
        return hashlib.sha1(self.data).hexdigest()

    def region(self, box):
        """The pixel bytes of box = (x0, y0, x1, y1), row by row."""
        x0, y0, x1, y1 = box
        return b"".join(self.data[y * self.stride + x0 * self.bpp:y * self.stride + x1 * self.bpp]
                        for y in range(y0, y1))

    def blank(self, box):
        """True when every pixel in box is black (colour 0)."""
        endian = "big" if self.msb else "little"
        row = self.region(box)
        return not any(int.from_bytes(row[i:i + self.bpp], endian) & self.mask
                       for i in range(0, len(row), self.bpp))


# ------------------------------------------------------------ the program


class Program:
    def __init__(self, x, binary, label):
        self.x = x
        base = os.path.join(x.work, label)
        self.err_path = base + ".err"
        self.proc = spawn([binary], x.env(), base + ".out", self.err_path)
        self.window = None

    @property
    def pid(self):
        return self.proc.pid

    def alive(self):
        return self.proc.poll() is None

    def check_alive(self, doing):
        if not self.alive():
            err = tail(self.err_path)
            raise Failure(f"the program ended (code {self.proc.returncode}) {doing}"
                          + (f": {err}" if err else ""))

    def wait_window(self, timeout=15.0, page_size=True):
        """The program's window once it is viewable (at the page size unless
        page_size is false: a tiling manager gives it the tile's)."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            self.check_alive("before its window showed")
            for w in self.x.windows_of(self.pid):
                g = self.x.geometry(w)
                if g.get("Map State") == "IsViewable" and (
                        not page_size or (g.get("Width") == str(PAGE_W)
                                          and g.get("Height") == str(PAGE_H))):
                    self.window = w
                    return w
            time.sleep(0.1)
        raise Failure("the program's window did not show"
                      + (" at 640 x 480" if page_size else ""))

    def size(self):
        g = self.x.geometry(self.window)
        return f"{g.get('Width', '?')} x {g.get('Height', '?')}"

    def keys(self, *keys):
        self.check_alive("before keys were sent")
        self.x.keys(self.window, *keys)

    def grab(self):
        img = self.x.grab(self.window)
        if img is None or img.width != PAGE_W or img.height != PAGE_H:
            self.check_alive("while its page was grabbed")
            raise Failure("no 640 x 480 grab of the page")
        return img

    def wait_page(self, predicate, timeout, what):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            img = self.grab()
            if predicate(img):
                return img
            time.sleep(0.1)
        raise Failure(f"timed out waiting for {what}")

    def wait_exit(self, timeout):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def close(self):
        stop(self.proc, grace=1.0)


# ------------------------------------------------------------ measuring


def read(path):
    with open(path) as f:
        return f.read()


def stat_fields(text):
    # The fields after "(comm)"; comm may hold spaces and parentheses.
    return text[text.rindex(")") + 2:].split()


def sample(program):
    """Process CPU ticks and, per thread: (name, start time, switches, CPU ticks)."""
    try:
        return sample_pid(program.pid)
    except OSError:
        program.check_alive("during the measurement")
        raise


def sample_pid(pid):
    f = stat_fields(read(f"/proc/{pid}/stat"))
    cpu = int(f[11]) + int(f[12])
    threads = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        base = f"/proc/{pid}/task/{tid}"
        try:
            tf = stat_fields(read(base + "/stat"))
            status = read(base + "/status")
            comm = read(base + "/comm").strip()
        except (FileNotFoundError, ProcessLookupError):
            continue  # ended between listing and reading
        switches = 0
        for line in status.splitlines():
            if line.startswith(("voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:")):
                switches += int(line.split()[1])
        threads[int(tid)] = (comm, int(tf[19]), switches, int(tf[11]) + int(tf[12]))
    return cpu, threads


def measure(program, seconds, period=0.25):
    """CPU %, wake-ups/s and per-thread figures over `seconds` of the running program.

    Threads are sampled every `period` so that one that ends inside the window
    still counts with what it did up to its last sample.
    """
    t0 = time.monotonic()
    cpu0, first = sample(program)
    last = dict(first)
    end = t0 + seconds
    while True:
        now = time.monotonic()
        if now >= end:
            break
        time.sleep(min(period, end - now))
        program.check_alive("during the measurement")
        _, threads = sample(program)
        last.update(threads)
    cpu1, threads = sample(program)
    t1 = time.monotonic()
    last.update(threads)
    program.check_alive("during the measurement")
    elapsed = t1 - t0

    order = sorted(last, key=lambda tid: (last[tid][1], tid))
    per_thread = []
    wakeups = 0
    for n, tid in enumerate(order):
        comm, _, switches, ticks = last[tid]
        _, _, switches0, ticks0 = first.get(tid, (comm, 0, 0, 0))
        d = switches - switches0
        wakeups += d
        per_thread.append((f"{comm}#{n}:{tid}", d / elapsed,
                           100.0 * (ticks - ticks0) / CLK_TCK / elapsed))
    return {
        "cpu": 100.0 * (cpu1 - cpu0) / CLK_TCK / elapsed,
        "wakeups": wakeups / elapsed,
        "threads": per_thread,
        "seconds": elapsed,
    }


# ------------------------------------------------------------ the states

# Page areas in pixels (x0, y0, x1, y1); the text grid is 80 x 30 cells of 8 x 16.
def cells(row, first_col, last_col):
    return ((first_col - 1) * 8, (row - 1) * CELL_H, last_col * 8, row * CELL_H)


# The speed hint on row 2, blanked (columns 8 to 73) after the last step.
HINT = cells(2, 8, 73)
# Row 3, where the " Z=" prompt shows.
PROMPT = cells(3, 1, 80)
# Row 30, where "Press any key to continue" shows.
BOTTOM = cells(30, 1, 80)


def started(x, binary, label):
    p = Program(x, binary, label)
    p.wait_window()
    return p


def enter(p, slots, poles, *more):
    """Types the two numbers (lists of key names), each with Enter, then more keys."""
    p.keys(*slots, "Return", *poles, "Return", *more)


def state_prompt(x, binary, seconds, note):
    p = started(x, binary, "prompt")
    try:
        p.wait_page(lambda img: not img.blank(PROMPT), 15, 'the " Z=" prompt on row 3')
        time.sleep(0.5)
        return measure(p, seconds)
    finally:
        p.close()


def state_step(x, binary, seconds, note):
    # Each step takes one waiting key: k '-' keys make the pauses 2, 4, ... 2^k
    # seconds, and every pause after the k-th is 2^k seconds too. (If the
    # first step polls before the keys arrive, one 1 s pause comes first.)
    k = 1
    while 2 ** k < seconds + 4:
        k += 1
    if k > 15:
        raise Failure("window too long for a step pause (the key queue holds 15 keys)")
    p = started(x, binary, "step")
    try:
        enter(p, ["2", "4"], ["4"], *["minus"] * k)
        entered = time.monotonic()
        # The k-th doubling pause starts about 2^k - 2 s after Enter.
        time.sleep(max(0.0, 2 ** k - 2.5))
        for attempt in range(3):
            before = p.grab().digest()
            p.wait_page(lambda img: img.digest() != before, 2 ** k + 10, "an animation step")
            stepped = time.monotonic() - entered
            time.sleep(0.3)  # the step's drawing is presented
            settled = p.grab().digest()
            result = measure(p, seconds)
            if p.grab().digest() == settled:
                result["note"] = f"{2 ** k} s pause after the step at {stepped:.1f} s"
                return result
            note.append("a step fell inside the window; measured again")
        raise Failure("no step pause without a step in it")
    finally:
        p.close()


def state_paused(x, binary, seconds, note):
    p = started(x, binary, "paused")
    try:
        enter(p, ["2", "4"], ["4"])
        # Steps every second: make sure the animation runs before pausing.
        before = p.grab().digest()
        p.wait_page(lambda img: img.digest() != before, 10, "the animation to start")
        p.keys("Pause")
        time.sleep(0.5)
        still = p.grab().digest()
        result = measure(p, seconds)
        if p.grab().digest() != still:
            raise Failure("the page changed while paused")
        return result
    finally:
        p.close()


def state_box(x, binary, seconds, note):
    p = started(x, binary, "box")
    try:
        enter(p, ["2", "4"], ["minus", "1"])
        title = "^Unhandled Error #6$"
        end = time.monotonic() + 15
        boxes = []
        while not boxes and time.monotonic() < end:
            p.check_alive("before the report box showed")
            boxes = [w for w in x.windows_named(title)
                     if x.geometry(w).get("Map State") == "IsViewable"]
            time.sleep(0.1)
        if not boxes:
            raise Failure("no report box titled 'Unhandled Error #6'")
        time.sleep(0.5)
        result = measure(p, seconds)
        # No ends the program.
        x.keys(boxes[0], "n")
        if p.wait_exit(10) is None:
            note.append("the program did not end on N")
        return result
    finally:
        p.close()


def at_prompt_then(x, binary, seconds, label, drive, page_size=True):
    """The prompt, then drive(p), a settling time, and the measurement; the
    note gives the client size at its end."""
    p = Program(x, binary, label)
    try:
        p.wait_window(page_size=page_size)
        time.sleep(1.0)  # the first frame and its answer
        drive(p)
        time.sleep(2.0)
        result = measure(p, seconds)
        result["note"] = f"client {p.size()}"
        return result
    finally:
        p.close()


def state_resized(x, binary, seconds, note):
    def drive(p):
        for w, h in ((737, 552), (768, 575)):
            x.run(["xdotool", "windowsize", str(p.window), str(w), str(h)])
    return at_prompt_then(x, binary, seconds, "resized", drive)


def maximise(x, p):
    x.run(["wmctrl", "-i", "-r", hex(p.window), "-b", "add,maximized_vert,maximized_horz"])
    time.sleep(0.5)


def state_maximised(x, binary, seconds, note):
    return at_prompt_then(x, binary, seconds, "maximised", lambda p: maximise(x, p))


def state_max_fs(x, binary, seconds, note):
    def drive(p):
        maximise(x, p)
        p.keys("alt+Return")
    return at_prompt_then(x, binary, seconds, "max-fs", drive)


def state_i3_fs(x, binary, seconds, note):
    return at_prompt_then(x, binary, seconds, "i3-fs", lambda p: p.keys("alt+Return"),
                          page_size=False)


def run_to_end(p):
    """24 / 4 run with '+' keys to the wait after its last step."""
    # The opening has 75 steps, the drawing of the phases resets the pause to
    # 1 s and has more than 30: a dozen '+' in each part are all taken by
    # steps, so no key is left for the final wait.
    plus = ["plus"] * 12
    enter(p, ["2", "4"], ["4"], *plus)
    time.sleep(6.0)  # the opening: ~1 s of halving pauses, then 1 ms steps
    if p.grab().blank(HINT):
        raise Failure("no speed hint on row 2 during the animation")
    p.keys(*plus)
    p.wait_page(lambda img: img.blank(HINT), 120, "the end of the animation")
    time.sleep(0.5)


def state_end(x, binary, seconds, wanted, note, results):
    """The final wait and the "Press any key to continue" prompt, in one run."""
    p = started(x, binary, "end")
    try:
        run_to_end(p)
        final = p.grab().region(BOTTOM)
        result = None
        if "final" in wanted:
            result = measure(p, seconds)
            if p.grab().region(BOTTOM) != final:
                raise Failure("row 30 changed during the final wait")
        # A key there shows the prompt on row 30. Had a '+' been left over,
        # the prompt would have shown already and this key would end the
        # program; so the figure counts as the final wait's only once the
        # prompt shows now.
        p.keys("space")
        try:
            p.wait_page(lambda img: img.region(BOTTOM) != final, 10,
                        '"Press any key to continue" on row 30')
        except Failure as e:
            raise Failure(f"{e} (was a '+' left over for the final wait?)") from e
        if result is not None:
            results["final"] = result
        time.sleep(0.5)
        if "continue" in wanted:
            results["continue"] = measure(p, seconds)
        p.keys("space")
        code = p.wait_exit(10)
        if code is None:
            note.append("the program did not end on the last key")
        elif code != 0:
            note.append(f"the program ended with code {code}")
    finally:
        p.close()


# One run of the program per entry; the end run serves two states.
RUNS = [
    (("prompt",), state_prompt),
    (("step",), state_step),
    (("paused",), state_paused),
    (("box",), state_box),
    (("final", "continue"), state_end),
    (("resized",), state_resized),
    (("maximised",), state_maximised),
    (("max-fs",), state_max_fs),
    (("i3-fs",), state_i3_fs),
]
# The window manager of a state's run: openbox unless named here.
MANAGER = {"i3-fs": "i3"}


def single(fn):
    def run(x, binary, seconds, wanted, note, results):
        results[wanted[0]] = fn(x, binary, seconds, note)
    return run


def compact(names):
    """comm#n names as runs of start numbers, then the names with counts:
    "#1 #4-#20: 8 x llvmpipe-N, 8 x winding-scheme, winding:disk$N"."""
    numbers = sorted(int(n.rsplit("#", 1)[1]) for n in names)
    runs = []
    for n in numbers:
        if runs and runs[-1][1] == n - 1:
            runs[-1][1] = n
        else:
            runs.append([n, n])
    counts = {}
    for n in names:
        comm = re.sub(r"\d+$", "N", n.rsplit("#", 1)[0])
        counts[comm] = counts.get(comm, 0) + 1
    return (" ".join(f"#{a}" if a == b else f"#{a}-#{b}" for a, b in runs) + ": " +
            ", ".join(f"{c} x {comm}" if c > 1 else comm for comm, c in counts.items()))


def line(state, result, note):
    shown = [t for t in result["threads"] if t[1] >= 0.05 or t[2] >= 0.05]
    silent = [t[0].rsplit(":", 1)[0] for t in result["threads"] if t not in shown]
    threads = "  ".join(f"{name} {w:.1f}/s {c:.1f}%" for name, w, c in shown)
    if silent:
        threads += "  (silent: " + compact(silent) + ")"
    extra = "; ".join(note + ([result["note"]] if "note" in result else []))
    text = (f"{state:<9} cpu {result['cpu']:6.1f} %  wake-ups {result['wakeups']:8.1f}/s  |  "
            f"{threads}")
    return text + (f"  [{extra}]" if extra else "")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("binary", nargs="?",
                    default=os.path.join(os.path.dirname(here), "build", "winding-scheme"))
    ap.add_argument("--seconds", type=float, default=10.0, help="measuring window per state")
    ap.add_argument("--states", default=",".join(ALL_STATES),
                    help="comma-separated subset of " + ",".join(ALL_STATES))
    args = ap.parse_args()

    states = [s for s in args.states.split(",") if s]
    unknown = [s for s in states if s not in ALL_STATES]
    if unknown:
        ap.error("unknown state(s): " + ", ".join(unknown))
    if args.seconds <= 0:
        ap.error("--seconds must be positive")
    binary = os.path.abspath(args.binary)
    if not os.access(binary, os.X_OK):
        print(f"idle_cost: {binary} is not an executable file", file=sys.stderr)
        return 2
    tools = ["Xvfb", "openbox", "xdotool", "xdpyinfo", "xprop", "xwininfo", "xwd"]
    if "maximised" in states or "max-fs" in states:
        tools.append("wmctrl")
    if "i3-fs" in states:
        tools.append("i3")
    for tool in tools:
        if shutil.which(tool) is None:
            print(f"idle_cost: {tool} is missing (packages xvfb openbox xdotool x11-utils "
                  "x11-apps wmctrl i3-wm)", file=sys.stderr)
            return 2

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGHUP, on_signal)
    work = tempfile.mkdtemp(prefix="ws-idle-cost-")
    servers = {}
    failed = False
    try:
        for run_states, fn in RUNS:
            wanted = [s for s in run_states if s in states]
            if not wanted:
                continue
            wm = MANAGER.get(run_states[0], "openbox")
            if wm not in servers:
                servers[wm] = XServer(os.path.join(work, wm), wm)
                os.makedirs(servers[wm].work)
                servers[wm].start()
                print(f"# {binary}  display :{servers[wm].number} ({wm})  window "
                      f"{args.seconds:g} s  threads as comm#start-order:tid wake-ups/s cpu%",
                      flush=True)
            x = servers[wm]
            if len(run_states) == 1:
                fn = single(fn)
            note, results, error = [], {}, "not measured"
            try:
                fn(x, binary, args.seconds, wanted, note, results)
            except Failure as e:
                error = str(e)
            for state in wanted:
                if state in results:
                    print(line(state, results[state], note), flush=True)
                else:
                    failed = True
                    print(f"{state:<9} FAILED: {error}", flush=True)
    except Failure as e:
        failed = True
        print(f"idle_cost: {e}", file=sys.stderr)
    except Interrupted as e:
        failed = True
        print(f"idle_cost: stopped by {e}", file=sys.stderr)
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        for x in servers.values():
            x.close()
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
