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

    bench/idle_cost.py [--seconds S] [--states a,b,...] [--driver PATH] [path-to-binary]

The binary defaults to build/winding-scheme of this source tree. The X server,
its window manager, the program's start, its window, keys and grabs are the
window tests' (tests/support/xvfb.h), through their driver program ws_x_driver
(tests/support/x_driver.cpp, built with the tests; by default the one beside
the binary). One line per state goes to standard output; a state that could
not be reached or measured says why on its line and makes the exit code 1.
Xvfb, the window manager and the program are always stopped by process id,
also on errors and on SIGINT/SIGTERM.

This is a figure, not a test: nothing runs it from CTest.
"""

import argparse
import os
import re
import shutil
import signal
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


# ------------------------------------------------------------ the X server

class XServer:
    """A private Xvfb display with openbox (no key bindings), or i3, and the
    program on it: the window tests' X server support (tests/support/xvfb.h)
    through its driver program, one command a line (tests/support/x_driver.cpp)."""

    def __init__(self, driver, work, wm="openbox"):
        self.wm_name = wm
        self.number = None
        # Its own session: a ^C at the terminal reaches this script alone,
        # which then stops the driver by closing its input. The driver stops
        # what it started at the end of its input, also when this script is
        # killed.
        with open(os.path.join(work, "driver.err"), "wb") as err:
            self.proc = subprocess.Popen([driver], stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=err,
                                         start_new_session=True, text=True, bufsize=1)

    def ask(self, *words):
        """The driver's answer to one command (the words after "ok")."""
        try:
            self.proc.stdin.write(" ".join(str(w) for w in words) + "\n")
            self.proc.stdin.flush()
            reply = self.proc.stdout.readline()
        except (BrokenPipeError, OSError):
            reply = ""
        if not reply:
            raise Failure(f"the X server driver ended (on {words[0]})")
        status, _, rest = reply.rstrip("\n").partition(" ")
        if status != "ok":
            raise Failure(f"{words[0]}: {rest}")
        return rest

    def start(self):
        self.number = int(self.ask("start", self.wm_name))

    def close(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.close()
            except OSError:
                pass
            try:
                self.proc.wait(30)
            except subprocess.TimeoutExpired:
                os.kill(self.proc.pid, signal.SIGKILL)
                self.proc.wait(5)

    # ---- windows and keys

    def size(self, w):
        width, height = self.ask("size", w).split()
        return int(width), int(height)

    def window_titled(self, title, timeout):
        return int(self.ask("titled", int(timeout * 1000), title))

    def keys(self, w, *keys, delay_ms=40):
        self.ask("keys", w, delay_ms, *keys)

    def resize(self, w, width, height):
        self.ask("resize", w, width, height)

    def maximise(self, w):
        self.ask("maximise", w)

    def grab(self, w, box=None):
        """A grab of the client area (or of box in it), or None."""
        try:
            width, height, digest, blank = self.ask("grab", w, *(box or ())).split()
        except Failure:
            return None
        return Grab(int(width), int(height), digest, blank == "1")


class Grab:
    """What a grab of a window (or of a box in it) showed: its size, a digest
    of its pixels (equal pictures, equal digests) and whether they are all
    black (colour 0)."""

    def __init__(self, width, height, digest, blank):
        self.width, self.height, self.digest, self.blank = width, height, digest, blank


# ------------------------------------------------------------ the program


class Program:
    def __init__(self, x, binary):
        self.x = x
        self.pid = int(x.ask("run", binary))
        self.window = None

    def ended(self):
        """None while the program runs, else (exit code, its last error lines)."""
        answer = self.x.ask("status")
        if answer == "running":
            return None
        _, code, *err = answer.split(" ", 2)
        return int(code), err[0] if err else ""

    def alive(self):
        return self.ended() is None

    def check_alive(self, doing):
        ended = self.ended()
        if ended is not None:
            code, err = ended
            raise Failure(f"the program ended (code {code}) {doing}"
                          + (f": {err}" if err else ""))

    def wait_window(self, timeout=15.0, page_size=True):
        """The program's window once it is viewable (at the page size unless
        page_size is false: a tiling manager gives it the tile's)."""
        try:
            self.window = int(self.x.ask("page-window" if page_size else "window",
                                         int(timeout * 1000)))
            return self.window
        except Failure:
            self.check_alive("before its window showed")
        raise Failure("the program's window did not show"
                      + (" at 640 x 480" if page_size else ""))

    def size(self):
        try:
            return "%d x %d" % self.x.size(self.window)
        except Failure:
            return "? x ?"

    def keys(self, *keys):
        self.check_alive("before keys were sent")
        self.x.keys(self.window, *keys)

    def grab(self, box=None):
        g = self.x.grab(self.window, box)
        if g is None or g.width != PAGE_W or g.height != PAGE_H:
            self.check_alive("while its page was grabbed")
            raise Failure("no 640 x 480 grab of the page")
        return g

    def wait_page(self, predicate, timeout, what, box=None):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            g = self.grab(box)
            if predicate(g):
                return g
            time.sleep(0.1)
        raise Failure(f"timed out waiting for {what}")

    def wait_exit(self, timeout):
        code = self.x.ask("wait-exit", int(timeout * 1000))
        return None if code == "running" else int(code)

    def close(self):
        try:
            self.x.ask("stop")
        except Failure:
            pass  # the driver is gone, and the program with it


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


def started(x, binary):
    p = Program(x, binary)
    p.wait_window()
    return p


def enter(p, slots, poles, *more):
    """Types the two numbers (lists of key names), each with Enter, then more keys."""
    p.keys(*slots, "Return", *poles, "Return", *more)


def state_prompt(x, binary, seconds, note):
    p = started(x, binary)
    try:
        p.wait_page(lambda g: not g.blank, 15, 'the " Z=" prompt on row 3', PROMPT)
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
    p = started(x, binary)
    try:
        enter(p, ["2", "4"], ["4"], *["minus"] * k)
        entered = time.monotonic()
        # The k-th doubling pause starts about 2^k - 2 s after Enter.
        time.sleep(max(0.0, 2 ** k - 2.5))
        for attempt in range(3):
            before = p.grab().digest
            p.wait_page(lambda g: g.digest != before, 2 ** k + 10, "an animation step")
            stepped = time.monotonic() - entered
            time.sleep(0.3)  # the step's drawing is presented
            settled = p.grab().digest
            result = measure(p, seconds)
            if p.grab().digest == settled:
                result["note"] = f"{2 ** k} s pause after the step at {stepped:.1f} s"
                return result
            note.append("a step fell inside the window; measured again")
        raise Failure("no step pause without a step in it")
    finally:
        p.close()


def state_paused(x, binary, seconds, note):
    p = started(x, binary)
    try:
        enter(p, ["2", "4"], ["4"])
        # Steps every second: make sure the animation runs before pausing.
        before = p.grab().digest
        p.wait_page(lambda g: g.digest != before, 10, "the animation to start")
        p.keys("Pause")
        time.sleep(0.5)
        still = p.grab().digest
        result = measure(p, seconds)
        if p.grab().digest != still:
            raise Failure("the page changed while paused")
        return result
    finally:
        p.close()


def state_box(x, binary, seconds, note):
    p = started(x, binary)
    try:
        enter(p, ["2", "4"], ["minus", "1"])
        try:
            box = x.window_titled("Unhandled Error #6", 15)
        except Failure:
            p.check_alive("before the report box showed")
            raise Failure("no report box titled 'Unhandled Error #6'") from None
        time.sleep(0.5)
        result = measure(p, seconds)
        # No ends the program.
        x.keys(box, "n")
        if p.wait_exit(10) is None:
            note.append("the program did not end on N")
        return result
    finally:
        p.close()


def at_prompt_then(x, binary, seconds, drive, page_size=True):
    """The prompt, then drive(p), a settling time, and the measurement; the
    note gives the client size at its end."""
    p = Program(x, binary)
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
            x.resize(p.window, w, h)
    return at_prompt_then(x, binary, seconds, drive)


def maximise(x, p):
    x.maximise(p.window)
    time.sleep(0.5)


def state_maximised(x, binary, seconds, note):
    return at_prompt_then(x, binary, seconds, lambda p: maximise(x, p))


def state_max_fs(x, binary, seconds, note):
    def drive(p):
        maximise(x, p)
        p.keys("alt+Return")
    return at_prompt_then(x, binary, seconds, drive)


def state_i3_fs(x, binary, seconds, note):
    return at_prompt_then(x, binary, seconds, lambda p: p.keys("alt+Return"),
                          page_size=False)


def run_to_end(p):
    """24 / 4 run with '+' keys to the wait after its last step."""
    # The opening has 75 steps, the drawing of the phases resets the pause to
    # 1 s and has more than 30: a dozen '+' in each part are all taken by
    # steps, so no key is left for the final wait.
    plus = ["plus"] * 12
    enter(p, ["2", "4"], ["4"], *plus)
    time.sleep(6.0)  # the opening: ~1 s of halving pauses, then 1 ms steps
    if p.grab(HINT).blank:
        raise Failure("no speed hint on row 2 during the animation")
    p.keys(*plus)
    p.wait_page(lambda g: g.blank, 120, "the end of the animation", HINT)
    time.sleep(0.5)


def state_end(x, binary, seconds, wanted, note, results):
    """The final wait and the "Press any key to continue" prompt, in one run."""
    p = started(x, binary)
    try:
        run_to_end(p)
        final = p.grab(BOTTOM).digest
        result = None
        if "final" in wanted:
            result = measure(p, seconds)
            if p.grab(BOTTOM).digest != final:
                raise Failure("row 30 changed during the final wait")
        # A key there shows the prompt on row 30. Had a '+' been left over,
        # the prompt would have shown already and this key would end the
        # program; so the figure counts as the final wait's only once the
        # prompt shows now.
        p.keys("space")
        try:
            p.wait_page(lambda g: g.digest != final, 10,
                        '"Press any key to continue" on row 30', BOTTOM)
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
    ap.add_argument("--driver", help="the X server driver (default: ws_x_driver beside the "
                    "binary; it is built with the tests)")
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
    driver = os.path.abspath(args.driver or os.path.join(os.path.dirname(binary), "ws_x_driver"))
    if not os.access(driver, os.X_OK):
        print(f"idle_cost: {driver} is not an executable file (the X server driver is built "
              "with the tests; --driver names it)", file=sys.stderr)
        return 2
    tools = ["Xvfb", "openbox", "xdotool", "xdpyinfo", "xwd"]
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
                servers[wm] = XServer(driver, work, wm)
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
