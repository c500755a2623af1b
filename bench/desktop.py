#!/usr/bin/env python3
"""bench/desktop.py -- the real game in a real X server, measured as a player would feel it.

Run through bench/desktop.sh (its --setup step installs Xvfb, xdotool and python3).

What it does, in one run:
  1. Paints one picture (mksamples --picture coral-reef 2400x1600) and makes three boxes of it
     with mkbox in a game folder of its own under /tmp:
       "Bench1k"    about 1,000 irregular pieces, made for the benchmark's window (fits the desk);
       "Bench10k"   about 10,000 pieces of the same picture;
       "BenchFit"   about 1,000 pieces made for a 2560 x 1440 screen, so the game fits it to the
                    smaller desk (a fitted cut).
  2. Starts Xvfb at 1920 x 1080 x 24 on a display of its own (and, with --wm, openbox).
  3. Opens each box once to warm up (the first open cuts; its time is reported as "first open").
  4. Then, round after round (--runs, at least 3), alternating the boxes, launches
     `tesselo --window 1600x900 -debug 1 puzzles/BOX.pzl` and measures:
       launch to playable  from the launch until the process is idle (at most 5 clock ticks of
                           CPU time in 250 ms, sampled every 2 ms from /proc/PID/stat) after the
                           game logged that the box is open: the last tick before that quiet;
       carrying one piece  CPU of the game (all threads) while xdotool presses on the top piece
                           and carries it in circles of radius 80 px at 60 pointer moves a second
                           for 10 s, in percent of one core;
       idle                CPU clock ticks a second of the game left alone in the play room for
                           10 s after the piece is put down;
       peak memory         VmHWM of the game just before it is closed (SIGTERM: the normal close,
                           which saves the game).
     The fitted box is only launched (its reopen is the measure).
  5. Prints one table of medians.

Each launch runs with HOME, XDG_RUNTIME_DIR, XDG_CONFIG_HOME and XDG_DATA_HOME of its own.
"""
import argparse
import math
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HZ = os.sysconf("SC_CLK_TCK")
PICTURE = ("coral-reef", "2400x1600")
BOXES = {
    # name: (piece size, screen the box is made for)
    "Bench1k": (31, "1600x900"),
    "Bench10k": (10, "1600x900"),
    "BenchFit": (52, "2560x1440"),
}
IDLE_QUIET_S = 0.25  # launch: this long with at most IDLE_QUIET_TICKS clock ticks counts as idle
IDLE_QUIET_TICKS = 5
CARRY_SECONDS = 10
CARRY_RATE = 60  # pointer moves a second
CARRY_RADIUS = 80
IDLE_SECONDS = 10


def cpu_ticks(pid):
    """utime + stime of the whole process in clock ticks, or None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except (OSError, IndexError, ValueError):
        return None


def peak_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kw)


class Bench:
    def __init__(self, args):
        self.args = args
        self.build = os.path.abspath(args.build)
        self.game = os.path.join(self.build, "game", "tesselo")
        self.pack = os.path.join(self.build, "game", "data.pck")
        for path in (self.game, self.pack, self.tool("mkbox"), self.tool("mksamples")):
            if not os.path.exists(path):
                sys.exit(f"desktop benchmark: {path} is missing; build the game first (ninja -C build game)")
        self.work = tempfile.mkdtemp(prefix="lumavex_desktop_")
        self.folder = os.path.join(self.work, "game")
        self.xvfb = None
        self.wm = None
        self.env = None
        self.launch_no = 0

    def tool(self, name):
        return os.path.join(self.build, "tools", name)

    # --- The game folder and the boxes ---

    def prepare(self):
        os.makedirs(os.path.join(self.folder, "puzzles"))
        os.makedirs(os.path.join(self.folder, "sfiles"))
        os.symlink(self.pack, os.path.join(self.folder, "data.pck"))
        run([self.tool("mksamples"), self.work, "--picture", PICTURE[0], PICTURE[1]])
        picture = os.path.join(self.work, PICTURE[0] + ".bmp")
        for name, (size, screen) in BOXES.items():
            out = run([self.tool("mkbox"), picture, name, "--folder", "puzzles", "--piece-size", str(size),
                       "--irregularity", "30", "--screen", screen], cwd=self.folder).stdout
            print("  " + out.strip().replace("mkbox: ", ""), flush=True)

    # --- The X server ---

    def start_x(self):
        display = self.args.display
        lock = f"/tmp/.X{display.lstrip(':')}-lock"
        if os.path.exists(lock):
            sys.exit(f"desktop benchmark: display {display} is taken; choose another with --display")
        self.xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        env = dict(os.environ, DISPLAY=display)
        for _ in range(100):
            if subprocess.run(["xdotool", "getdisplaygeometry"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                break
            time.sleep(0.05)
        else:
            sys.exit("desktop benchmark: Xvfb did not start")
        if self.args.wm and shutil.which("openbox"):
            self.wm = subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(0.5)
        self.env = env

    def stop_x(self):
        for p in (self.wm, self.xvfb):
            if p:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()

    # --- One launch of the game ---

    def launch_env(self):
        self.launch_no += 1
        base = os.path.join(self.work, f"env{self.launch_no}")
        env = dict(self.env)
        for key, sub in (("HOME", "home"), ("XDG_RUNTIME_DIR", "run"), ("XDG_CONFIG_HOME", "config"),
                         ("XDG_DATA_HOME", "data")):
            os.makedirs(os.path.join(base, sub), mode=0o700)
            env[key] = os.path.join(base, sub)
        env.pop("SDL_VIDEODRIVER", None)
        return env

    def log(self):
        """The game's log of this launch (each launch starts it afresh)."""
        try:
            with open(os.path.join(self.folder, "application.log"), errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def launch(self, box):
        """Starts the game with the box; returns (process, seconds to playable, top piece, log)."""
        try:
            os.remove(os.path.join(self.folder, "application.log"))
        except OSError:
            pass
        cmd = [self.game, "--window", self.args.window, "-debug", "1"]
        if self.args.videodriver is not None:
            cmd += ["-videodriver", str(self.args.videodriver)]
        cmd.append(f"puzzles/{box}.pzl")
        t0 = time.monotonic()
        proc = subprocess.Popen(cmd, cwd=self.folder, env=self.launch_env(), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        opened = None
        changes = [(t0, 0)]  # when the CPU time went up, and to what
        last_ticks = 0
        top = None
        deadline = t0 + 120
        while time.monotonic() < deadline:
            ticks = cpu_ticks(proc.pid)
            now = time.monotonic()
            if ticks is None or proc.poll() is not None:
                sys.exit(f"desktop benchmark: the game ended while opening {box}:\n{self.log()}")
            if ticks != last_ticks:
                last_ticks = ticks
                changes.append((now, ticks))
            if opened is None:
                m = re.search(r"game: (.*) open: .* top piece lies at (-?\d+) (-?\d+)", self.log())
                if m:
                    opened, top = now, (int(m.group(2)), int(m.group(3)))
            elif now - opened >= IDLE_QUIET_S:
                # Idle: at most IDLE_QUIET_TICKS clock ticks in the last IDLE_QUIET_S (a game that
                # keeps drawing when idle still gets there); playable when the busy stretch ended.
                before = [c for c in changes if c[0] <= now - IDLE_QUIET_S]
                if ticks - before[-1][1] <= IDLE_QUIET_TICKS:
                    return proc, before[-1][0] - t0, top, self.log()
            time.sleep(0.002)
        proc.kill()
        proc.wait()
        sys.exit(f"desktop benchmark: {box} did not become playable (opened: {opened is not None}, "
                 f"CPU ticks {last_ticks}):\n{self.log()}")

    def window_origin(self, pid):
        """The game window's top-left on the screen."""
        for _ in range(100):
            r = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(pid)], env=self.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, timeout=10)
            ids = r.stdout.split()
            if ids:
                g = run(["xdotool", "getwindowgeometry", "--shell", ids[-1]], env=self.env).stdout
                v = dict(line.split("=", 1) for line in g.split())
                return int(v["X"]), int(v["Y"])
            time.sleep(0.05)
        sys.exit("desktop benchmark: the game's window was not found")

    def carry(self, proc, top):
        """CPU percent of one core while the top piece is carried in circles."""
        ox, oy = self.window_origin(proc.pid)
        x0, y0 = ox + top[0], oy + top[1]
        cx = x0 - CARRY_RADIUS  # the circle goes through the piece's centre
        steps = CARRY_SECONDS * CARRY_RATE
        chain = ["mousemove", str(x0), str(y0), "sleep", "0.3", "mousedown", "1", "sleep", "0.3"]
        pause = f"{1.0 / CARRY_RATE:.4f}"
        for i in range(1, steps + 1):
            a = 2 * math.pi * i / CARRY_RATE  # one circle a second
            chain += ["mousemove", str(round(cx + CARRY_RADIUS * math.cos(a))),
                      str(round(y0 + CARRY_RADIUS * math.sin(a))), "sleep", pause]
        # The moves alone are timed: the press and the pause before them are not.
        prefix, moves = chain[:9], chain[9:]
        run(["xdotool"] + prefix, env=self.env)
        before, t0 = cpu_ticks(proc.pid), time.monotonic()
        run(["xdotool"] + moves, env=self.env)
        after, t1 = cpu_ticks(proc.pid), time.monotonic()
        run(["xdotool", "mouseup", "1"], env=self.env)
        return 100.0 * (after - before) / HZ / (t1 - t0)

    def idle(self, proc):
        time.sleep(1.0)  # the drop settles
        before, t0 = cpu_ticks(proc.pid), time.monotonic()
        time.sleep(IDLE_SECONDS)
        after, t1 = cpu_ticks(proc.pid), time.monotonic()
        return (after - before) / (t1 - t0)

    def close(self, proc):
        peak = peak_kib(proc.pid)
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(60)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        return peak / 1024.0 if peak else float("nan")

    # --- The run ---

    def main(self):
        print(f"desktop benchmark: game folder {self.folder}", flush=True)
        self.prepare()
        self.start_x()
        results = {}

        def note(key, value):
            results.setdefault(key, []).append(value)

        try:
            print("warming up (first opens cut the pictures)", flush=True)
            for box in BOXES:
                proc, secs, _, log = self.launch(box)
                self.close(proc)
                note(("first", box), secs)
                m = re.search(r"video: .*", log)
                if m and box == "Bench1k":
                    print("  " + m.group(0), flush=True)
            for r in range(self.args.runs):
                print(f"round {r + 1} of {self.args.runs}", flush=True)
                for box in ("Bench1k", "Bench10k", "BenchFit"):
                    proc, secs, top, log = self.launch(box)
                    note(("launch", box), secs)
                    if box != "BenchFit":
                        note(("carry", box), self.carry(proc, top))
                        note(("idle", box), self.idle(proc))
                    note(("peak", box), self.close(proc))
                    print(f"  {box}: " + ", ".join(
                        f"{k} {v[-1]:.3f}" for (k, b), v in results.items() if b == box and k != "first"),
                        flush=True)
        finally:
            self.stop_x()
            if not self.args.keep:
                shutil.rmtree(self.work, ignore_errors=True)

        def med(key, box, fmt):
            v = results.get((key, box))
            return fmt.format(statistics.median(v)) if v else "-"

        rows = [
            ("launch to playable (s)", "launch", "{:.3f}"),
            ("first open, cut afresh (s)", "first", "{:.3f}"),
            ("CPU carrying one piece (% of a core)", "carry", "{:.2f}"),
            ("idle CPU in the play room (ticks/s)", "idle", "{:.2f}"),
            ("peak resident memory (MiB)", "peak", "{:.1f}"),
        ]
        print()
        print(f"Medians of {self.args.runs} runs, window {self.args.window} on Xvfb 1920x1080")
        print(f"| Measure | ~1,000 pieces | ~10,000 pieces | fitted ~1,000 (made for 2560x1440) |")
        print("|---|---|---|---|")
        for title, key, fmt in rows:
            print(f"| {title} | {med(key, 'Bench1k', fmt)} | {med(key, 'Bench10k', fmt)} | "
                  f"{med(key, 'BenchFit', fmt)} |")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="The game on a real X server (see the file's head).")
    parser.add_argument("--build", default=os.path.join(here, "..", "build"), help="build folder (build/)")
    parser.add_argument("--runs", type=int, default=3, help="rounds to take medians of (at least 3)")
    parser.add_argument("--display", default=":47", help="X display to start Xvfb on (:47)")
    parser.add_argument("--window", default="1600x900", help="the game's window size (1600x900)")
    parser.add_argument("--videodriver", type=int, default=None, help="force -videodriver N")
    parser.add_argument("--wm", action="store_true", help="run openbox as the window manager")
    parser.add_argument("--keep", action="store_true", help="keep the game folder under /tmp")
    args = parser.parse_args()
    if args.runs < 3:
        parser.error("--runs wants at least 3")
    Bench(args).main()


if __name__ == "__main__":
    main()
