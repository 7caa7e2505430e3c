#!/usr/bin/env python3
"""Soak of the real program: korvex-editor in a private X server with a window
manager, driven through xdotool with a seeded random mix of keys, typing,
clicks, menu commands, tab switches, open, save, save as, close, compile and
undo / redo, answering the real dialogs it shows.

The events come in batches. Each batch starts from the same state (every
document closed unsaved, the sample files restored, a few of them opened) and
runs from its own seed, so any batch can be run again alone. After every save
the file on disk must hold exactly the text the editor holds (read back through
the clipboard, which also proves the program answers); after every batch the
process must be alive, answer, and stay within the memory bound.

A failure prints the seed of its batch and the command that replays it.
Usage: soak.py --build DIR --work DIR [--seed N] [--events N] [--batch N]
               [--replay BATCHSEED] [--from-batch I] [--display :N] [--jobs N]
"""

import argparse
import faulthandler
import os
import random
import select
import shutil
import signal
import subprocess
import sys
import time

RSS_LIMIT_MB = 400  # resident size the program must stay under
RSS_GROWTH_MB = 150  # growth from the first batch's end to any later one
SAMPLES = {
    "blink.bas": "' Blink an LED\r\nDEFINE OSC 4\r\nled VAR PORTB.0\r\nmain:\r\n"
                 "    HIGH led\r\n    PAUSE 500\r\n    LOW led\r\n    PAUSE 500\r\n"
                 "    GOTO main\r\n",
    "serial.bas": "INCLUDE \"modedefs.bas\"\r\nb0 VAR BYTE\r\nloop:\r\n"
                  "    SERIN PORTB.1, N2400, b0\r\n    SEROUT PORTB.2, N2400, [b0]\r\n"
                  "    GOTO loop\r\n",
    "asm.bas": "x VAR BYTE\r\nASM\r\n    movlw 0x55\r\n    movwf _x\r\nENDASM\r\nEND\r\n",
    "empty.bas": "",
    "notes.txt": "not a BASIC program\r\n\twith a tab\r\nand no final break",
}
SAVE_NAMES = ["saved1.bas", "saved2.bas", "copy of blink.bas", "other.inc"]
WORDS = ["HIGH", "LOW", "PORTB.0", "PAUSE 100", "GOTO main", "FOR i = 0 TO 9", "NEXT i",
         "IF b0 > 3 THEN", "ENDIF", "' comment", "\"text\"", "$FF", "%1010", "ASM", "ENDASM",
         "movlw 1", "x = x + 1", ":", "main:"]
KEYS = ["Left", "Right", "Up", "Down", "Home", "End", "Prior", "Next", "ctrl+Left",
        "ctrl+Right", "ctrl+Home", "ctrl+End", "shift+Left", "shift+Right", "shift+Up",
        "shift+Down", "shift+End", "shift+Home", "shift+ctrl+Right", "BackSpace", "Delete",
        "Return", "Tab", "ctrl+BackSpace", "ctrl+Delete", "ctrl+y", "Insert", "ctrl+Up",
        "ctrl+Down", "ctrl+x", "ctrl+c", "ctrl+v", "ctrl+k i", "ctrl+k u", "ctrl+k 3",
        "ctrl+q 3", "ctrl+k x", "F5", "shift+F5", "ctrl+F5"]
MESSAGE_CAPTIONS = {"Confirm", "Error", "Information", "Warning", "KORVEX Editor"}


TRACE = bool(os.environ.get("KX_SOAK_TRACE"))  # every step printed with its time
TRACE_START = time.time()


class SoakFailure(Exception):
    pass


def in_frame(g, sx, sy):
    """Whether a screen point lies on a window of geometry g or its frame
    (a title bar above it, a border round it)."""
    return g[0] - 10 <= sx <= g[0] + g[2] + 10 and g[1] - 40 <= sy <= g[1] + g[3] + 10


def is_menu(name):
    """Menus have no caption but the program's name; every dialog has one."""
    return name in ("", "korvex-editor")


def main_caption(name):
    """Whether a caption is the main window's: the document's path, the
    untitled document's name, or the program's name without documents."""
    return name.startswith("/") or name in ("No_name.bas", "KORVEX Compiler")


KEYSYMS = {" ": "space", ".": "period", ":": "colon", "=": "equal", "+": "plus",
           ">": "greater", "<": "less", '"': "quotedbl", "$": "dollar", "%": "percent",
           "'": "apostrophe", "_": "underscore", "-": "minus", ",": "comma", "/": "slash",
           "(": "parenleft", ")": "parenright", "\t": "Tab"}


class X:
    """The X server, the window manager and one xdotool that reads its
    commands from a pipe (a process per event would be most of the run); its
    output is line-buffered so that each answer arrives at once."""

    def __init__(self, display, log):
        self.display = display
        self.env = dict(os.environ, DISPLAY=display)
        self.log = log
        self.procs = []
        self.pipe = None
        self.answer_lines = []

    def start(self):
        number = self.display.lstrip(":")
        lock = "/tmp/.X%s-lock" % number
        if os.path.exists(lock):
            raise SoakFailure("display %s is taken (%s exists)" % (self.display, lock))
        self.procs.append(subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", "1600x1000x24", "-nolisten", "tcp"],
            stdout=self.log, stderr=self.log))
        for _ in range(100):
            if os.path.exists("/tmp/.X11-unix/X%s" % number):
                break
            time.sleep(0.05)
        self.procs.append(subprocess.Popen(["openbox"], env=self.env, stdout=self.log,
                                           stderr=self.log))
        time.sleep(0.5)

    def stop(self):
        self.close_pipe()
        self.drop_markers()
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()

    def close_pipe(self):
        if self.pipe is not None:
            try:
                self.pipe.stdin.close()
            except OSError:
                pass
            try:
                self.pipe.wait(5)
            except subprocess.TimeoutExpired:
                self.pipe.kill()
            self.pipe = None

    def send(self, line, answer=False):
        """One xdotool command; with answer, its line of output ("" when it
        gave none). Each question is followed by the mouse position, which is
        always answered, so a failed question cannot leave us waiting; when
        xdotool ends over a failure the next command starts a new one."""
        t0 = time.time()
        try:
            return self._send(line, answer)
        finally:
            if TRACE and time.time() - t0 > 0.2:
                print("   slow %.3f s: %s" % (time.time() - t0, line), flush=True)

    def _send(self, line, answer):
        for _ in range(2):
            if self.pipe is None or self.pipe.poll() is not None:
                self.pipe = subprocess.Popen(["stdbuf", "-oL", "xdotool", "-"], env=self.env,
                                             text=True, bufsize=1, stdin=subprocess.PIPE,
                                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
                self.pending = b""
            try:
                self.pipe.stdin.write(line + ("\ngetmouselocation\n" if answer else "\n"))
                self.pipe.stdin.flush()
            except (BrokenPipeError, OSError):
                self.pipe = None
                continue
            if not answer:
                return ""
            lines = []
            while True:
                got = self.read_line()
                if got is None:
                    self.close_pipe()
                    break
                if got.startswith("x:") and " y:" in got and " screen:" in got:
                    break
                lines.append(got.strip())
            self.answer_lines = lines
            return lines[-1] if lines else ""
        return ""

    def read_line(self):
        """The next line xdotool wrote, or None when it ended or said nothing
        for 10 s. Read from the descriptor itself: a buffered reader would
        take two answers at once and leave select() waiting for the second."""
        fd = self.pipe.stdout.fileno()
        while b"\n" not in self.pending:
            ready, _, _ = select.select([fd], [], [], 10)
            chunk = os.read(fd, 65536) if ready else b""
            if not chunk:
                return None
            self.pending += chunk
        got, self.pending = self.pending.split(b"\n", 1)
        return got.decode("utf-8", "replace")

    def shown(self, pid):
        """The windows of a process that are shown (menus among them)."""
        self.send("search --onlyvisible --pid %d ." % pid, answer=True)
        return {int(l) for l in self.answer_lines if l.isdigit()}

    def key(self, *keys):
        self.send("key --delay 0 " + " ".join(keys))

    def menu_keys(self, pid, main, opener, *keys, close=False):
        """Opens a menu with `opener` and, once it shows, sends the keys to it;
        then waits until the menu is gone, closing it (or with `close`) by a
        click beside it when the keys left it open. (A key that comes before
        its menu is up is lost, or typed, and a menu left open takes every key
        after it.)"""
        if self.active() != main:
            return False  # a dialog is up: the caller answers it first
        self.give_focus(main)
        before = self.shown(pid)
        self.key(opener)
        deadline = time.time() + 2
        while not (self.shown(pid) - before):
            if time.time() > deadline:
                return False  # no menu came: its keys would only be typed
            time.sleep(0.01)
        if keys:
            self.key(*keys)
        for _ in range(100):
            if not (self.shown(pid) - before):
                return
            active = self.active()
            if active and active != main:
                return  # the command asks something: the caller answers
            if close or _ % 20 == 19:
                self.click_away(pid, main)
                close = False
            time.sleep(0.01)
        return True

    def click_away(self, pid, main):
        """Closes the open menus with a click in the main window beside them.
        Escape is no way to close a menu: it leaves the menu bar in its
        keyboard mode, where letters open menus and choose their items ("x"
        in the File menu is Exit), and the Escape that would leave that mode
        is lost when it comes before the menu has gone. A click outside a menu
        closes the menus up to the bar and leaves that mode too."""
        g = self.geometry(main)
        if g is None:
            return False
        others = [self.geometry(w) for w in self.shown(pid) - {main}]
        for px, py in ((g[2] - 40, g[3] // 2), (g[2] - 40, g[3] - 60), (g[2] // 2, g[3] - 60)):
            sx, sy = g[0] + px, g[1] + py
            if not any(o and in_frame(o, sx, sy) for o in others):
                self.click(main, px, py)
                self.sync()
                return True
        return False

    def type(self, text):
        self.key(*[KEYSYMS.get(c, c) for c in text])

    def sync(self):
        """Waits until xdotool has sent everything before."""
        self.send("sleep 0", answer=True)

    def active(self):
        out = self.send("getactivewindow", answer=True)
        return int(out) if out.isdigit() else 0

    def focus(self):
        """The window that has the keyboard focus: the one keys go to, which
        need not be the one the window manager calls active."""
        out = self.send("getwindowfocus", answer=True)
        return int(out) if out.isdigit() else 0

    def give_focus(self, window, wait=1.0):
        """Makes sure that keys reach `window`; False when it would not take them."""
        deadline = time.time() + wait
        asked = False
        while True:
            if self.focus() == window:
                return True
            if time.time() > deadline:
                return False
            if not asked:
                self.send("windowactivate %d windowfocus %d" % (window, window))
                asked = True
            time.sleep(0.01)

    def name(self, window):
        """The window's caption without the " — KORVEX Editor" that the
        toolkit may add to it."""
        name = self.send("getwindowname %d" % window, answer=True)
        for suffix in (" \u2014 KORVEX Editor", " - KORVEX Editor"):
            if name.endswith(suffix) and name != suffix.strip(" \u2014-"):
                return name[: -len(suffix)]
        return name

    def geometry(self, window):
        """The window's place on the screen, (x, y, width, height), without
        the window manager's frame; None when it has gone."""
        self.send("getwindowgeometry --shell %d" % window, answer=True)
        g = dict(l.split("=", 1) for l in self.answer_lines if "=" in l)
        try:
            return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])
        except (KeyError, ValueError):
            return None

    def close_window(self, window):
        """Asks the window manager to close this one window, as its frame's
        close button does. Unlike alt+F4, which closes whichever window is
        active when the key arrives, this never reaches the main window when
        the dialog has just gone by itself (the main window closed so would
        end the program)."""
        subprocess.run(["wmctrl", "-i", "-c", "0x%x" % window], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=5)

    def describe(self, pid):
        """The program's shown windows, the active one and the one with the
        focus, for a failure report."""
        lines = ["active %d, focus %d" % (self.active(), self.focus())]
        for w in sorted(self.shown(pid)):
            lines.append("window %d %r at %s" % (w, self.name(w), self.geometry(w)))
        return lines

    def pid(self, window):
        out = self.send("getwindowpid %d" % window, answer=True)
        return int(out) if out.isdigit() else 0

    def run(self, *args):
        self.send(" ".join(args))

    def click(self, window, x, y, button=1, repeat=1, shift=False):
        line = "mousemove --window %d %d %d " % (window, x, y)
        if shift:
            line += "keydown shift "
        line += "click --repeat %d --delay 30 %d" % (repeat, button)
        if shift:
            line += " keyup shift"
        self.send(line)

    def drag(self, window, x0, y0, x1, y1):
        self.send("mousemove --window %d %d %d mousedown 1 mousemove --window %d %d %d mouseup 1"
                  % (window, x0, y0, window, x1, y1))

    def clipboard(self):
        self.sync()
        r = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env,
                           capture_output=True, timeout=5)
        return r.stdout if r.returncode == 0 else None

    def mark_clipboard(self, marker):
        """Puts a marker on the clipboard and returns once it is there: xclip
        serves it until someone copies. (Left to fork on its own, xclip could
        take the clipboard after the copy it was to be replaced by.)"""
        self.markers = [p for p in getattr(self, "markers", []) if p.poll() is None]
        holder = subprocess.Popen(["xclip", "-selection", "clipboard", "-i", "-quiet"],
                                  env=self.env, stdin=subprocess.PIPE,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        holder.stdin.write(marker)
        holder.stdin.close()
        self.markers.append(holder)
        deadline = time.time() + 5
        while time.time() < deadline:
            r = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env,
                               capture_output=True, timeout=5)
            if r.returncode == 0 and r.stdout == marker:
                return
            time.sleep(0.01)
        raise SoakFailure("the clipboard did not take the marker")

    def drop_markers(self):
        for p in getattr(self, "markers", []):
            if p.poll() is None:
                p.terminate()
                p.wait()
        self.markers = []


class Program:
    """One copy of korvex-editor in a folder of its own."""

    def __init__(self, build, work, x, log):
        self.build, self.work, self.x, self.log = build, work, x, log
        self.folder = os.path.join(work, "program")
        self.home = os.path.join(work, "home")
        self.proc = None
        self.main = 0

    def install(self):
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(os.path.join(self.folder, "KX_INC"))
        shutil.copy2(os.path.join(self.build, "korvex-editor"), self.folder)
        shutil.copy2(os.path.join(self.build, "KX_INC", "KORVEX.INI"),
                     os.path.join(self.folder, "KX_INC"))
        # The stand-in compiler, when the build has one, is the program's compiler.
        for name in ("korvex", "fake_compiler", "kx_fake_compiler"):
            tool = os.path.join(self.build, "tests", "tools", name)
            if os.path.exists(tool):
                shutil.copy2(tool, os.path.join(self.folder, "korvex"))
                break
        for sub in ("config", "data", "cache", "state", "runtime"):
            os.makedirs(os.path.join(self.home, sub), mode=0o700, exist_ok=True)

    def start(self):
        env = dict(self.x.env, HOME=self.home,
                   XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                   XDG_DATA_HOME=os.path.join(self.home, "data"),
                   XDG_CACHE_HOME=os.path.join(self.home, "cache"),
                   XDG_STATE_HOME=os.path.join(self.home, "state"),
                   XDG_RUNTIME_DIR=os.path.join(self.home, "runtime"),
                   KX_INSTANCE_NAME="soak-%d" % os.getpid(),
                   KX_TOOL_LOG=os.path.join(self.work, "tools.log"))
        for v in ("KX_PROMPTER_LOG", "KX_PROMPTER_SCRIPT", "QT_QPA_PLATFORM"):
            env.pop(v, None)
        self.proc = subprocess.Popen([os.path.join(self.folder, "korvex-editor")], env=env,
                                     stdout=self.log, stderr=self.log, cwd=self.work)
        deadline = time.time() + 20
        while time.time() < deadline:
            # The main window is the one of ours with the main window's
            # caption: another of ours (a recovery question) may come first.
            for w in sorted(self.x.shown(self.proc.pid)):
                if main_caption(self.x.name(w)):
                    self.main = w
                    return
            time.sleep(0.1)
        raise SoakFailure("the main window did not appear")

    def alive(self):
        return self.proc is not None and self.proc.poll() is None

    def rss_mb(self, field="VmRSS"):
        with open("/proc/%d/status" % self.proc.pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1]) / 1024.0
        return 0.0

    def peak_rss_mb(self):
        """The largest resident size the program has had (the kernel's own
        high-water mark, so a peak between two batches is not missed)."""
        return self.rss_mb("VmHWM")

    def stop(self):
        if self.alive():
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Batch:
    """One seeded run of events against the running program."""

    def __init__(self, soak, seed, events):
        self.soak, self.x, self.prog = soak, soak.x, soak.prog
        self.rng = random.Random(seed)
        self.seed = seed
        self.events = events
        self.saves = 0
        self.compiles = 0
        self.last_clipboard = None
        self.trace = []

    # --- state -------------------------------------------------------------

    def note(self, what):
        if TRACE:
            print("%8.3f %s" % (time.time() - TRACE_START, what), flush=True)
        self.trace.append(what)
        if len(self.trace) > 40:
            self.trace.pop(0)

    def title_path(self):
        """The current document's path from the caption ("" without one)."""
        name = self.x.name(self.prog.main)
        return name if name.startswith("/") else ""

    def wait_dialog(self, timeout=3.0):
        """The window that came up over the main window, or 0."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            w = self.x.active()
            if w and w != self.prog.main:
                return w
            time.sleep(0.02)
        return 0

    def answer_dialogs(self, limit=20, file_answer=None):
        """Answers whatever the program asks until its main window is active."""
        file_dialog = 0
        retries = 1
        dismissed = {}  # window -> Escapes sent to it
        for _ in range(limit):
            if not self.prog.alive():
                raise SoakFailure("the program ended with status %s" % self.prog.proc.returncode)
            w = self.x.active()
            if w == self.prog.main:
                return
            if not w or self.x.pid(w) != self.prog.proc.pid:
                # Nothing of ours is active: give the main window the focus
                # (without waiting for it: a modal window of ours may keep it).
                self.x.run("windowactivate", str(self.prog.main))
                time.sleep(0.05)
                continue
            caption = self.x.name(w)
            if TRACE:
                self.note("  active %d %r" % (w, caption))
            # Keys go to the window with the input focus, which may still be
            # another one while this one comes up (or after a completion list
            # closed): the dialog is given the focus before it is sent keys.
            if not self.x.give_focus(w):
                self.note("no focus for %r" % caption)
                continue
            # A dialog that has just been shown may not yet have its
            # controls ready for keys.
            time.sleep(0.05)
            if caption in MESSAGE_CAPTIONS:
                # Questions get any answer; a box with OK alone is closed.
                choice = self.rng.choice(["y", "n", "Escape", "Return"]) \
                    if caption == "Confirm" else "Return"
                self.note("answer %r with %s" % (caption, choice))
                self.x.key(choice)
            elif file_answer is not None:
                # The name is pasted: typed, its letters race the dialog's
                # completion list and some are lost.
                self.note("file dialog %r <- %s" % (caption, file_answer))
                self.x.mark_clipboard(file_answer.encode())
                self.x.key("ctrl+a", "ctrl+v")
                time.sleep(0.1)
                self.x.key("Return")
                file_answer = None
                file_dialog = w
            elif file_dialog and w == file_dialog and retries > 0:
                # The first Return may only have closed the completion list.
                retries -= 1
                self.note("file dialog again: Return")
                self.x.key("Return")
            elif file_dialog and w != file_dialog:
                # Over the file dialog: the question whether to replace the file.
                self.note("replace? yes (%r, window %d over %d)" % (caption, w, file_dialog))
                self.x.key("y")
                file_dialog = 0
            elif dismissed.get(w, 0) >= 4:
                # Still there: another of our windows may stand over it and
                # hold the keys (a dialog kept on top); all of them are closed.
                self.note("%r (window %d) stays: closing our other windows" % (caption, w))
                self.close_companions()
                dismissed[w] = 2
            elif dismissed.get(w, 0) >= 2:
                # A window of results that Escape does not close (the
                # compiler's report) is closed the window manager's way.
                self.note("close %r (window %d) through the window manager" % (caption, w))
                self.x.close_window(w)
                dismissed[w] += 1
            else:
                self.note("dismiss %r" % caption)
                dismissed[w] = dismissed.get(w, 0) + 1
                self.x.key("Escape")
            # The answer is taken when the window goes or another comes.
            deadline = time.time() + 0.5
            while time.time() < deadline and self.x.active() == w:
                time.sleep(0.01)
        raise SoakFailure("dialogs kept coming")

    # --- checks --------------------------------------------------------------

    def keep(self, what, data):
        with open(os.path.join(self.soak.work, "%s-%d.txt" % (what, self.seed)), "wb") as f:
            f.write(data)

    def editor_text(self, wait=5.0):
        """What the editor holds, through select-to-end and Copy (LF line breaks).
        An empty document copies nothing: None after `wait` seconds.
        The copy is asked for again every 1.5 s: on a loaded machine a key
        sent while the focus was still on its way back to the main window is
        lost, and one lost key is no sign that the program stopped answering
        (one that stopped answers none of the tries)."""
        marker = b"kx-soak-clipboard-marker %d" % self.rng.getrandbits(32)
        deadline = time.time() + 2 * wait
        step = min(wait, 1.5)
        while time.time() < deadline:
            # A window that came up over the main one (another tab's file
            # changed on disk by this save) would take the keys: answered first.
            if self.x.active() != self.prog.main:
                self.answer_dialogs()
            self.close_companions()
            self.x.mark_clipboard(marker)
            # A click in the text first, so that the keys reach the editor
            # wherever the focus was.
            self.x.click(self.prog.main, 420, 300)
            self.x.key("ctrl+Home", "shift+ctrl+End", "ctrl+c")
            again = min(deadline, time.time() + step)
            while time.time() < again:
                data = self.x.clipboard()
                if data is not None and data != marker:
                    return data
                self.last_clipboard = data
                if not self.prog.alive():
                    raise SoakFailure("the program ended with status %s"
                                      % self.prog.proc.returncode)
                if self.x.active() != self.prog.main:
                    break  # copy again once it is answered
                time.sleep(0.01)
            if wait <= step and time.time() >= again:
                return None  # an empty document: nothing to copy
        return None

    def close_companions(self):
        """Closes the program's windows that are neither the main window nor a
        menu (a "Find text..." dialog, a result window): shown but inactive,
        one of them may still hold the keyboard focus, and the select-all and
        copy of the read-back would go to its field."""
        for w in sorted(self.x.shown(self.prog.proc.pid) - {self.prog.main}):
            name = self.x.name(w)
            if is_menu(name) or self.x.pid(w) != self.prog.proc.pid:
                continue  # a menu, or a window of no name
            # A message box (shown, but another window of ours is active)
            # gets its default answer; the others are closed.
            if name in MESSAGE_CAPTIONS:
                self.note("Return on %r before the read-back" % name)
                if not self.x.give_focus(w):
                    continue
                self.x.key("Return")
            else:
                self.note("close %r (window %d) before the read-back" % (name, w))
                self.x.close_window(w)
            deadline = time.time() + 1
            while time.time() < deadline and w in self.x.shown(self.prog.proc.pid):
                time.sleep(0.01)
        self.x.give_focus(self.prog.main)

    def check_saved(self, path, before):
        """After a save: the file changed and holds the editor's text."""
        deadline = time.time() + 5
        while time.time() < deadline:
            if self.x.active() != self.prog.main:
                return  # the save asked something (a failure shown, a question)
            st = stat_of(path)
            if st and st != before:
                break
            time.sleep(0.05)
        else:
            return  # nothing written (cancelled)
        if self.title_path() != path:
            return
        with open(path, "rb") as f:
            disk = f.read()
        text = self.editor_text(5.0 if disk else 1.0)
        if self.title_path() != path:
            # The save belonged to a close (asked whether to save, then for a
            # name): the saved document is gone and another one is shown.
            return
        if text is None:
            if disk:
                raise SoakFailure("the program did not answer a copy in 10 s of tries")
            text = b""
        if disk.replace(b"\r\n", b"\n") != text:
            self.keep("editor", text)
            raise SoakFailure("%s on disk (%d bytes) differs from the editor's text (%d bytes, "
                              "kept beside the run as editor-%d.txt)"
                              % (path, len(disk), len(text), self.seed))
        if b"\n" in disk.replace(b"\r\n", b""):
            raise SoakFailure("%s holds a line break that is not CR LF" % path)
        self.saves += 1

    def check_alive(self):
        if not self.prog.alive():
            raise SoakFailure("the program ended with status %s" % self.prog.proc.returncode)
        self.answer_dialogs()
        # The program answers: a copy of its text reaches the clipboard (an
        # empty document is given a character to copy first).
        if not self.title_path() and "No_name" not in self.x.name(self.prog.main):
            self.ev_open()
        if self.editor_text() is None:
            self.x.key("x")
            copied = self.editor_text()
            self.x.key("BackSpace")
            if copied != b"x":
                raise SoakFailure("the program did not answer a copy in 10 s of tries")
        rss = self.prog.rss_mb()
        peak = self.prog.peak_rss_mb()
        if peak > RSS_LIMIT_MB:
            raise SoakFailure("resident size %.0f MB (now %.0f MB) over the bound of %d MB"
                              % (peak, rss, RSS_LIMIT_MB))
        return rss

    # --- events --------------------------------------------------------------

    def doc(self, name):
        return os.path.join(self.soak.docs, name)

    def ev_keys(self):
        keys = [self.rng.choice(KEYS) for _ in range(self.rng.randint(1, 6))]
        self.note("keys " + " ".join(keys))
        self.x.key(*" ".join(keys).split())

    def ev_type(self):
        text = " ".join(self.rng.choice(WORDS) for _ in range(self.rng.randint(1, 4)))
        self.note("type %r" % text)
        self.x.type(text)
        if self.rng.random() < 0.5:
            self.x.key("Return")

    def covered(self, *points):
        """Whether a point of the main window (window coordinates) lies under
        another of the program's windows or its frame. A press there would go
        to that window's title bar, where the window manager starts moving it
        and holds the keyboard grabbed, so no key reaches the program after."""
        others = self.x.shown(self.prog.proc.pid) - {self.prog.main}
        if not others:
            return False
        main = self.x.geometry(self.prog.main)
        if main is None:
            return False
        for w in others:
            g = self.x.geometry(w)
            if g is None:
                continue
            if any(in_frame(g, main[0] + px, main[1] + py) for px, py in points):
                return True
        return False

    def ev_click(self):
        x, y = self.rng.randint(5, 860), self.rng.randint(85, 600)
        kind = self.rng.choice(["click", "click", "double", "shift", "drag"])
        x1, y1 = self.rng.randint(5, 860), self.rng.randint(85, 600)
        if self.covered((x, y), (x1, y1)):
            self.note("%s at %d,%d left out: another window is there" % (kind, x, y))
            return
        self.note("%s at %d,%d" % (kind, x, y))
        if kind == "drag":
            self.x.drag(self.prog.main, x, y, x1, y1)
        else:
            self.x.click(self.prog.main, x, y, repeat=2 if kind == "double" else 1,
                         shift=kind == "shift")

    def ev_tab(self):
        x = self.rng.randint(3, 600)
        if self.covered((x, 62)):
            self.note("tab click at %d left out: another window is there" % x)
            return
        self.note("tab click at %d" % x)
        self.x.click(self.prog.main, x, 62)

    def ev_undo(self):
        keys = self.rng.choice(["ctrl+z", "ctrl+z ctrl+z", "shift+ctrl+z", "ctrl+z shift+ctrl+z"])
        self.note("undo/redo " + keys)
        self.x.key(*keys.split())

    def ev_menu(self):
        # A menu opened and left, or a harmless command chosen in it.
        menu = self.rng.choice(["alt+e", "alt+s", "alt+o", "alt+v", "alt+h", "alt+f"])
        self.note("menu " + menu)
        walk = ["Down", "Down"] if self.rng.random() < 0.3 else []
        self.x.menu_keys(self.prog.proc.pid, self.prog.main, menu, *walk, close=True)

    def ev_new(self):
        self.note("new")
        self.x.menu_keys(self.prog.proc.pid, self.prog.main, "alt+f", "n")
        self.answer_dialogs()

    def ev_open(self):
        name = self.rng.choice(list(SAMPLES) + SAVE_NAMES)
        path = self.doc(name)
        self.note("open " + name)
        self.x.key("ctrl+o")
        if self.wait_dialog(1.5):
            self.answer_dialogs(file_answer=path)
        self.answer_dialogs()

    def ev_save(self, as_new=False):
        path = self.title_path()
        target = path
        if as_new or not path:
            target = self.doc(self.rng.choice(SAVE_NAMES))
        before = stat_of(target)
        self.note(("save as " if as_new else "save ") + target)
        self.x.key("ctrl+alt+s" if as_new else "ctrl+s")
        if target != path:
            # The file dialog, or nothing (an untitled document never
            # changed is not saved).
            if self.wait_dialog(1.0):
                self.answer_dialogs(file_answer=target)
            elif stat_of(target) == before:
                return
        self.check_saved(target, before)
        self.answer_dialogs()

    def ev_close(self):
        self.note("close")
        self.x.menu_keys(self.prog.proc.pid, self.prog.main, "alt+f", "c")
        self.answer_dialogs()

    def ev_compile(self):
        """F9: the stand-in compiler must have read the text the editor holds."""
        path = self.title_path()
        runs = len(self.soak.compiler_runs())
        self.note("compile " + (path or "(untitled)"))
        self.x.key("F9")
        # An untitled document is not compiled: whatever it asks comes at once.
        deadline = time.time() + (5 if path else 1)
        while time.time() < deadline and len(self.soak.compiler_runs()) == runs:
            w = self.x.active()
            if w != self.prog.main and (self.x.name(w) in MESSAGE_CAPTIONS
                                        or self.x.name(w).startswith("Save")):
                break  # a question first (not a BASIC file, no name yet)
            time.sleep(0.01)
        self.answer_dialogs()
        done = self.soak.compiler_runs()
        if len(done) == runs or not path or self.title_path() != path:
            return
        with open(path, "rb") as f:
            disk = f.read()
        if done[-1].get("TEXT", b"") != disk:
            raise SoakFailure("the compiler read other bytes than %s holds" % path)
        text = self.editor_text(5.0 if disk else 1.0)
        if text is None:
            if disk:
                raise SoakFailure("the program did not answer a copy in 10 s of tries (the "
                                  "clipboard held %r)" % (self.last_clipboard,))
            text = b""
        if disk.replace(b"\r\n", b"\n") != text:
            self.keep("editor", text)
            raise SoakFailure("compiled %s differs from the editor's text (kept beside the "
                              "run as editor-%d.txt)" % (path, self.seed))
        self.compiles += 1

    def run(self):
        t0 = time.time()
        self.reset()
        self.soak.count("(batch start)", time.time() - t0)
        mix = [(self.ev_keys, 30), (self.ev_type, 22), (self.ev_click, 12), (self.ev_tab, 6),
               (self.ev_undo, 8), (self.ev_menu, 4), (self.ev_new, 1), (self.ev_open, 3),
               (self.ev_save, 4), (lambda: self.ev_save(as_new=True), 1), (self.ev_close, 2),
               (self.ev_compile, 2 if self.soak.can_compile else 0)]
        funcs = [f for f, _ in mix]
        weights = [w for _, w in mix]
        # Only the file commands and compile ask anything; the others are
        # checked for a window over the main one every few events.
        quiet = {self.ev_keys, self.ev_type, self.ev_click, self.ev_tab, self.ev_undo}
        names = {f: n for f, n in zip(funcs, ["keys", "type", "click", "tab", "undo", "menu",
                                               "new", "open", "save", "save as", "close",
                                               "compile"])}
        for i in range(self.events):
            event = self.rng.choices(funcs, weights)[0]
            t0 = time.time()
            if event in quiet:
                self.close_menus()
            event()
            if TRACE:
                self.note("  after: shown %s focus %d active %d" % (
                    sorted(self.x.shown(self.prog.proc.pid) - {self.prog.main}), self.x.focus(),
                    self.x.active()))
            self.soak.count(names[event], time.time() - t0)
            if event not in quiet or i % 8 == 7:
                if self.x.active() != self.prog.main:
                    self.answer_dialogs()
        t0 = time.time()
        rss = self.check_alive()
        self.soak.count("(batch check)", time.time() - t0)
        return rss

    def close_menus(self):
        """Closes a menu left open, so that typed text never reaches it: a menu
        takes letters as its items' keys, and "x" in the File menu is Exit."""
        for _ in range(50):
            # A dialog that stays open beside the main window ("Find
            # text...") is no menu.
            if not [w for w in self.x.shown(self.prog.proc.pid) - {self.prog.main}
                    if is_menu(self.x.name(w))]:
                return
            if self.x.active() != self.prog.main:
                return  # a dialog: the caller answers it
            if _ % 10 == 0:
                self.note("menu left open: a click beside it")
                self.x.click_away(self.prog.proc.pid, self.prog.main)
            time.sleep(0.01)

    def reset(self):
        """Every document closed unsaved, the samples as shipped, some opened."""
        self.note("reset")
        if TRACE:
            for line in self.x.describe(self.prog.proc.pid):
                self.note("  " + line)
        for _ in range(30):
            self.answer_dialogs()
            if not self.title_path() and "No_name" not in self.x.name(self.prog.main):
                break
            self.x.menu_keys(self.prog.proc.pid, self.prog.main, "alt+f", "l")
            for _ in range(12):
                w = self.wait_dialog(0.3)
                if not w:
                    break
                self.x.key("n" if self.x.name(w) == "Confirm" else "Escape")
        for name in os.listdir(self.soak.docs):
            os.remove(self.doc(name))
        for name, text in SAMPLES.items():
            with open(self.doc(name), "wb") as f:
                f.write(text.encode())
        for _ in range(self.rng.randint(1, 3)):
            self.ev_open()
        if TRACE:
            for line in self.x.describe(self.prog.proc.pid):
                self.note("  " + line)


def unescape(value):
    out = bytearray()
    i = 0
    while i < len(value):
        c = value[i:i + 1]
        if c == b"\\" and i + 1 < len(value):
            out += {b"n": b"\n", b"r": b"\r", b"t": b"\t"}.get(value[i + 1:i + 2],
                                                            value[i + 1:i + 2])
            i += 2
        else:
            out += c
            i += 1
    return bytes(out)


def stat_of(path):
    try:
        st = os.stat(path)
        return (st.st_ino, st.st_size, st.st_mtime_ns)
    except OSError:
        return None


class Soak:
    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.work)
        self.docs = os.path.join(self.work, "docs")
        os.makedirs(self.docs, exist_ok=True)
        self.logfile = open(os.path.join(self.work, "program.log"), "ab")
        self.x = X(args.display, self.logfile)
        self.prog = Program(os.path.abspath(args.build), self.work, self.x, self.logfile)
        self.can_compile = False
        self.kinds = {}  # event kind -> [count, seconds]
        self.tool_log = os.path.join(self.work, "tools.log")
        if os.path.exists(self.tool_log):
            os.remove(self.tool_log)

    def print_kinds(self):
        for kind, (n, secs) in sorted(self.kinds.items()):
            print("  %-14s %6d  %7.1f s  %6.1f ms each" % (kind, n, secs, 1000 * secs / max(n, 1)),
                  flush=True)

    def count(self, kind, seconds):
        entry = self.kinds.setdefault(kind, [0, 0.0])
        entry[0] += 1
        entry[1] += seconds

    def compiler_runs(self):
        """The stand-in compiler's records: one dict per run, values as bytes."""
        runs = []
        try:
            with open(self.tool_log, "rb") as f:
                lines = f.read().split(b"\n")
        except OSError:
            return runs
        cur = None
        for line in lines:
            if line.startswith(b"RUN "):
                cur = {"RUN": line[4:]}
            elif line == b"END" and cur is not None:
                runs.append(cur)
                cur = None
            elif cur is not None and b" " in line:
                key, value = line.split(b" ", 1)
                cur[key.decode()] = unescape(value)
        return runs

    def batch_seeds(self):
        if self.args.replay is not None:
            return [(0, self.args.replay)]
        master = random.Random(self.args.seed)
        count = max(1, self.args.events // self.args.batch)
        seeds = [(i, master.getrandbits(32)) for i in range(count)]
        return [(i, s) for i, s in seeds[self.args.from_batch:]
                if i % self.args.lanes == self.args.lane]

    def run(self):
        self.prog.install()
        self.can_compile = os.path.exists(os.path.join(self.prog.folder, "korvex"))
        self.x.start()
        first_rss = None
        events = saves = compiles = 0
        started = time.time()
        try:
            self.prog.start()
            start_rss = self.prog.rss_mb()
            print("SOAK seed %d: %d events in batches of %d, display %s, compile %s"
                  % (self.args.seed, self.args.events, self.args.batch, self.args.display,
                     "on" if self.can_compile else "off (no stand-in compiler)"), flush=True)
            for index, seed in self.batch_seeds():
                batch = Batch(self, seed, self.args.batch)
                try:
                    rss = batch.run()
                except (SoakFailure, subprocess.TimeoutExpired) as e:
                    shot = os.path.join(self.work, "failure-%d.png" % seed)
                    subprocess.run(["import", "-window", "root", shot], env=self.x.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    print("SOAK FAILED in batch %d (batch seed %d): %s" % (index, seed, e),
                          flush=True)
                    print("  screen at the failure: " + shot)
                    if os.environ.get("KX_SOAK_HOLD"):
                        # Left running to be looked at (display, program id).
                        print("  holding: DISPLAY=%s pid %d" % (self.x.display, self.prog.proc.pid),
                              flush=True)
                        time.sleep(float(os.environ["KX_SOAK_HOLD"]))
                    print("  last events: " + " | ".join(batch.trace[-12:]))
                    try:
                        for line in self.x.describe(self.prog.proc.pid):
                            print("  " + line)
                    except Exception as d:  # the display or xdotool may be gone with it
                        print("  windows not described: %s" % d)
                    print("  replay this batch: scripts/soak --only soak --replay %d --batch %d"
                          % (seed, self.args.batch))
                    print("  replay from it:    scripts/soak --only soak --seed %d --batch %d "
                          "--from-batch %d" % (self.args.seed, self.args.batch, index))
                    return 1
                events += batch.events
                saves += batch.saves
                compiles += batch.compiles
                if first_rss is None:
                    first_rss = rss
                elif rss - first_rss > RSS_GROWTH_MB:
                    print("SOAK FAILED in batch %d (batch seed %d): resident size grew from "
                          "%.0f to %.0f MB" % (index, seed, first_rss, rss))
                    print("  replay from it:    scripts/soak --only soak --seed %d --batch %d "
                          "--from-batch %d" % (self.args.seed, self.args.batch, index))
                    return 1
                print("batch %d seed %d: %d events, %d saves and %d compiles checked, "
                      "resident %.0f MB" % (index, seed, batch.events, batch.saves,
                                            batch.compiles, rss), flush=True)
            took = time.time() - started
            print("FIGURE soak events: %d" % events)
            self.print_kinds()
            print("FIGURE soak minutes: %.1f min" % (took / 60))
            print("FIGURE soak resident at start: %.0f MB" % start_rss)
            print("FIGURE soak resident at peak: %.0f MB (bound %d MB)" % (self.prog.peak_rss_mb(),
                                                                     RSS_LIMIT_MB))
            print("FIGURE soak resident at end: %.0f MB" % self.prog.rss_mb())
            print("FIGURE soak saves checked: %d" % saves)
            print("FIGURE soak compiles checked: %d" % compiles)
            print("SOAK PASSED")
            return 0
        finally:
            self.prog.stop()
            self.x.stop()


def main():
    # "kill -USR1 <pid>" shows where a run that seems stuck is waiting; a
    # terminated run still ends its X server and program.
    faulthandler.register(signal.SIGUSR1)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(3))
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--build", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--events", type=int, default=20000)
    p.add_argument("--batch", type=int, default=500)
    p.add_argument("--replay", type=int)
    p.add_argument("--from-batch", type=int, default=0)
    p.add_argument("--display", default=":18")
    p.add_argument("--jobs", type=int, default=4)
    p.add_argument("--lane", type=int, default=0, help=argparse.SUPPRESS)
    p.add_argument("--lanes", type=int, default=1, help=argparse.SUPPRESS)
    args = p.parse_args()
    # No more lanes than batches to run.
    args.jobs = max(1, min(args.jobs, max(1, args.events // args.batch) - args.from_batch))
    if args.jobs > 1 and args.replay is None and args.lanes == 1:
        return run_lanes(args)
    return Soak(args).run()


def run_lanes(args):
    """Runs the batches in `jobs` lanes at once, each its own X server,
    program and folder (batch i in lane i % jobs): most of an event's time is
    spent waiting for the X server and the program, not computing, so lanes
    side by side finish the same batches in a fraction of the time. Each
    lane's lines come prefixed with its number; the totals follow."""
    display = int(args.display.lstrip(":"))
    started = time.time()
    lanes = []
    for lane in range(args.jobs):
        cmd = [sys.executable, os.path.abspath(__file__), "--build", args.build,
               "--work", os.path.join(args.work, "lane-%d" % lane), "--seed", str(args.seed),
               "--events", str(args.events), "--batch", str(args.batch),
               "--from-batch", str(args.from_batch), "--display", ":%d" % (display + lane),
               "--lane", str(lane), "--lanes", str(args.jobs), "--jobs", "1"]
        lanes.append(subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT))
    totals = {"events": 0, "saves checked": 0, "compiles checked": 0}
    peak = 0.0
    passed = True
    pipes = {p.stdout.fileno(): (i, p) for i, p in enumerate(lanes)}
    pending = {fd: b"" for fd in pipes}
    while pipes:
        ready, _, _ = select.select(list(pipes), [], [])
        for fd in ready:
            lane, proc = pipes[fd]
            chunk = os.read(fd, 65536)
            if not chunk:
                del pipes[fd]
                continue
            pending[fd] += chunk
            *lines, pending[fd] = pending[fd].split(b"\n")
            for raw in lines:
                line = raw.decode("utf-8", "replace")
                print("[%d] %s" % (lane, line), flush=True)
                for key in totals:
                    if line.startswith("FIGURE soak %s: " % key):
                        totals[key] += int(line.split(": ")[1].split()[0])
                if line.startswith("FIGURE soak resident at peak: "):
                    peak = max(peak, float(line.split(": ")[1].split()[0]))
    for proc in lanes:
        passed = proc.wait() == 0 and passed
    print("FIGURE soak all lanes: %d lanes, %d events, %d saves and %d compiles checked, "
          "peak resident %.0f MB (bound %d MB), %.1f min"
          % (args.jobs, totals["events"], totals["saves checked"], totals["compiles checked"],
             peak, RSS_LIMIT_MB, (time.time() - started) / 60))
    print("SOAK PASSED" if passed else "SOAK FAILED (see the lane that failed above)")
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
