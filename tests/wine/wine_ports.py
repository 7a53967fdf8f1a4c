"""Pseudo-terminals that Wine shows as COM ports, for tests that run Windows programs under Wine.

Wine maps a COM port to a Unix device through the registry value HKLM\\Software\\Wine\\Ports
"COMn"; it reads the mapping when its server starts, so mapping ports restarts the server (no
other Windows program may run in the prefix meanwhile: such tests run alone).
"""

import argparse
import os
import subprocess
import sys
import termios

PORTS_KEY = "HKLM\\Software\\Wine\\Ports"


class WinePorts:
    def __init__(self, wine_run, prefix):
        self.wine_run = wine_run
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
        self.mapped = []

    def run(self, *args, **kwargs):
        # Wine's own programs answer in the ANSI code page, GBK in a Chinese locale.
        return subprocess.run([self.wine_run, *args], env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, errors="replace", check=False,
                              **kwargs)

    def popen(self, *args, **kwargs):
        return subprocess.Popen([self.wine_run, *args], env=self.env, **kwargs)

    def restart_server(self):
        subprocess.run(["wineserver", "-k"], env=self.env, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False)

    def map(self, names):
        """Opens one pseudo-terminal per COM name and maps it; returns {name: (master, slave)}.
        The slave stays open here too, so that the line keeps its settings between programs."""
        ptys = {}
        for name in names:
            master, slave = os.openpty()
            self._set(name, os.ttyname(slave))
            ptys[name] = (master, slave)
        self.restart_server()
        return ptys

    def map_path(self, name, path):
        """Maps a COM name to a path that need not exist yet (a link that a simulator makes)."""
        self.map_paths({name: path})

    def map_paths(self, paths):
        """Maps each COM name of {name: path} as map_path does, with one restart."""
        for name, path in paths.items():
            self._set(name, path)
        self.restart_server()

    def unmap(self):
        for name in self.mapped:
            self.run("reg", "delete", PORTS_KEY, "/v", name, "/f")
        self.mapped = []
        self.restart_server()

    def _set(self, name, device):
        result = self.run("reg", "add", PORTS_KEY, "/v", name, "/d", device, "/f")
        if result.returncode != 0:
            raise RuntimeError(f"cannot map {name} to {device}: {result.stdout}{result.stderr}")
        self.mapped.append(name)


def line_settings(master):
    """The line settings that the program on the slave side set, as termios reports them."""
    return termios.tcgetattr(master)


def readersim_arguments(*required):
    """A parser for a test that runs Windows programs under Wine against readersim: --wine-run,
    --prefix and --readersim, and the `required` options the test adds."""
    parser = argparse.ArgumentParser()
    for option in ("--wine-run", "--prefix", "--readersim", *required):
        parser.add_argument(option, required=True)
    return parser


def require_readersim(path):
    """Ends the run at once when the native build's readersim is not there."""
    if not os.access(path, os.X_OK):
        sys.exit(f"no readersim at {path}: build the native debug preset first")
