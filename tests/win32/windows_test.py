#!/usr/bin/env python3
"""Runs a Win32 window test program under Wine on its own virtual X display, with readersim
(native) behind COM7.

The program asks for things by writing a file "request" into the folder UHF_SIM_CONTROL names,
one item a line, and waits for "ready" there: "reader" and arguments restarts readersim with
them; "render", an X window id and a name captures that window as the display shows it into
NAME-<dpi>dpi.png in the render folder. readersim writes the image of a completed download to
"received.bin" in the same folder.

The prefix's display is set to --dpi (the LogPixels of the Control Panel's desktop settings;
96 is 100 %, 144 is 150 %) for the run, and back to 96 after it; --filter picks test cases.

    windows_test.py --wine-run scripts/wine-run --prefix build/windows/wineprefix \\
        --readersim build/debug/bin/readersim --renders build/windows/renders \\
        --program build/windows/tests/win32/tesmarle_win32_tests.exe [--dpi 144]
"""

import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
from wine_ports import WinePorts, readersim_arguments, require_readersim  # noqa: E402

PORT = "COM7"
# Ports with nothing behind them, so that the registry lists COM3, COM7 and COM12 (which Wine
# enumerates as COM12, COM3, COM7).
IDLE_PORTS = ["COM3", "COM12"]
FONTS_KEY = "HKCU\\Software\\Wine\\Fonts\\Replacements"
X11_KEY = "HKCU\\Software\\Wine\\X11 Driver"
DESKTOP_KEY = "HKCU\\Control Panel\\Desktop"
# The dialogs name these faces; the machine has these in their place.
FONT_REPLACEMENTS = {"宋体": "WenQuanYi Zen Hei", "SimSun": "WenQuanYi Zen Hei",
                     "Times New Roman": "Liberation Serif"}


def free_display():
    for number in range(90, 140):
        if not os.path.exists(f"/tmp/.X{number}-lock"):
            return number
    raise RuntimeError("no free X display number")


def start_xvfb():
    number = free_display()
    xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1024x768x24", "-nolisten",
                             "tcp"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 20
    while not os.path.exists(f"/tmp/.X11-unix/X{number}"):
        if xvfb.poll() is not None or time.monotonic() > deadline:
            raise RuntimeError("Xvfb did not start")
        time.sleep(0.05)
    return xvfb, f":{number}"


def set_dpi(ports, dpi):
    ports.run("reg", "add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi),
              "/f")


def start_readersim(readersim, link, log, extra=()):
    arguments = [readersim, "-v", "--link", link, "--firmware-out",
                 os.path.join(os.path.dirname(link), "received.bin")]
    if "--baud" not in extra:
        arguments += ["--baud", "115200"]
    with open(log, "ab") as err:
        sim = subprocess.Popen(arguments + list(extra), stdout=subprocess.PIPE, stderr=err,
                               stdin=subprocess.DEVNULL)
    ready, _, _ = select.select([sim.stdout], [], [], 10)
    if not ready or not sim.stdout.readline():
        raise RuntimeError("readersim did not start")
    return sim


class HarnessServer:
    """Keeps one readersim running behind the link, and does what the program asks."""

    def __init__(self, readersim, link, log, display, renders, dpi):
        self.readersim, self.link, self.log = readersim, link, log
        self.display, self.renders, self.dpi = display, renders, dpi
        self.folder = os.path.dirname(link)
        self.sim = start_readersim(readersim, link, log)
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        request = os.path.join(self.folder, "request")
        while not self.stopping.wait(0.05):
            if not os.path.exists(request):
                continue
            with open(request, encoding="utf-8") as lines:
                verb, *items = [line.rstrip("\n") for line in lines if line.strip()]
            os.remove(request)
            outcome = self.render(*items) if verb == "render" else self.restart(items)
            ready = os.path.join(self.folder, "ready")
            with open(ready + ".tmp", "w", encoding="utf-8") as answer:
                answer.write(outcome)
            os.replace(ready + ".tmp", ready)

    def render(self, window, name):
        capture = subprocess.run(["import", "-display", self.display, "-window", window,
                                  os.path.join(self.renders, f"{name}-{self.dpi}dpi.png")],
                                 check=False,
                                 stdin=subprocess.DEVNULL, capture_output=True, text=True)
        return "ok" if capture.returncode == 0 else "import failed: " + capture.stderr
    def restart(self, extra):
        self.stop_sim()
        received = os.path.join(self.folder, "received.bin")
        if os.path.exists(received):
            os.remove(received)
        self.sim = start_readersim(self.readersim, self.link, self.log, extra)
        return "ok"

    def stop_sim(self):
        if self.sim is not None:
            self.sim.send_signal(signal.SIGTERM)
            self.sim.wait(10)
            self.sim = None

    def stop(self):
        self.stopping.set()
        self.thread.join(10)
        self.stop_sim()


def main():
    parser = readersim_arguments("--renders", "--program")
    parser.add_argument("--dpi", type=int, default=96)
    parser.add_argument("--filter", default="")
    args = parser.parse_args()
    require_readersim(args.readersim)

    os.makedirs(args.renders, exist_ok=True)
    work = tempfile.mkdtemp(prefix="uhf-win32-")
    link = os.path.join(work, "reader")
    xvfb, display = start_xvfb()
    os.environ["DISPLAY"] = display
    ports = WinePorts(args.wine_run, args.prefix)
    sim = None
    try:
        for face, font in FONT_REPLACEMENTS.items():
            ports.run("reg", "add", FONTS_KEY, "/v", face, "/d", font, "/f")
        # With no window manager on the display, Wine draws the windows' captions and frames
        # itself, so that the captures show them.
        ports.run("reg", "add", X11_KEY, "/v", "Decorated", "/d", "N", "/f")
        set_dpi(ports, args.dpi)
        # Restarts Wine's server, which then reads the port and the font mappings.
        ports.map_paths({PORT: link, **{name: os.path.join(work, name) for name in IDLE_PORTS}})
        sim = HarnessServer(args.readersim, link, os.path.join(work, "readersim.log"), display,
                            args.renders, args.dpi)
        env = dict(ports.env, DISPLAY=display, UHF_WINE_PORT=PORT,
                   UHF_SIM_CONTROL="Z:" + work.replace("/", "\\"))
        # From a folder whose name the ANSI code page of a Western Windows cannot spell.
        program_dir = os.path.join(work, "程序")
        os.makedirs(program_dir)
        command = [args.wine_run, shutil.copy(args.program, program_dir)]
        if args.filter:
            command.append("--gtest_filter=" + args.filter)
        run = subprocess.run(command, env=env, stdin=subprocess.DEVNULL,
                             capture_output=True, text=True, errors="replace", timeout=240,
                             check=False)
        sys.stdout.write(run.stdout)
        sys.stderr.write(run.stderr)
        # Wine does not always hand on the program's exit status: read the verdict too.
        status = run.returncode
        if status == 0 and ("[  PASSED  ]" not in run.stdout or "[  FAILED  ]" in run.stdout):
            status = 1
        return status
    finally:
        if sim is not None:
            sim.stop()
        if args.dpi != 96:
            set_dpi(ports, 96)  # the next program in the prefix sees it at its server's start
        ports.unmap()
        xvfb.terminate()
        xvfb.wait(10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
