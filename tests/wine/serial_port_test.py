#!/usr/bin/env python3
"""The Win32 serial port (serial/NativeSerialPortWin32.cpp) under Wine, against a peer on a
pseudo-terminal that Wine maps to a COM port. serial-probe.exe makes one port call per line it
is sent; the peer here feeds and watches the other end of the line.

    serial_port_test.py --wine-run scripts/wine-run --probe build/.../serial-probe.exe
"""

import argparse
import os
import select
import subprocess
import sys
import termios
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_ports import WinePorts  # noqa: E402

ARGS = None
# Only catches hangs: the machine may be busy.
HANG_LIMIT_S = 5


class Probe:
    def __init__(self, ports):
        self.process = ports.popen(ARGS.probe, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   text=True)

    def ask(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        ready, _, _ = select.select([self.process.stdout], [], [], 30)
        if not ready:
            raise AssertionError(f"serial-probe did not answer {line!r}")
        return self.process.stdout.readline().strip().split(" ")

    def read(self, count):
        _, got, ms, hexbytes = self.ask(f"read {count}")
        return int(got), int(ms), (b"" if hexbytes == "-" else bytes.fromhex(hexbytes))

    def close(self):
        if self.process.poll() is None:
            self.process.stdin.write("quit\n")
            self.process.stdin.close()
            self.process.wait(30)


def drain(master):
    while select.select([master], [], [], 0)[0]:
        os.read(master, 4096)


class Win32SerialPortUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.ports = WinePorts(ARGS.wine_run, ARGS.prefix)
        # COM12 opens as \\.\COM12; COM9 is pulled away by one test.
        cls.ptys = cls.ports.map(["COM7", "COM12", "COM9"])

    @classmethod
    def tearDownClass(cls):
        cls.ports.unmap()
        for master, slave in cls.ptys.values():
            for fd in (master, slave):
                try:
                    os.close(fd)
                except OSError:
                    pass

    def setUp(self):
        self.probe = Probe(self.ports)
        self.addCleanup(self.probe.close)

    def open(self, name, baud=115200):
        master = self.ptys[name][0]
        drain(master)
        self.assertEqual(self.probe.ask(f"open {name} {baud}"), ["open", "no", "error"])
        return master

    def test_line_settings_reach_the_line_at_every_rate(self):
        for baud, speed in [(9600, termios.B9600), (19200, termios.B19200),
                            (38400, termios.B38400), (57600, termios.B57600),
                            (115200, termios.B115200)]:
            for name in ("COM7", "COM12"):
                with self.subTest(baud=baud, port=name):
                    master = self.open(name, baud)
                    iflag, _, cflag, lflag, ispeed, ospeed, _ = termios.tcgetattr(master)
                    self.assertEqual((ispeed, ospeed), (speed, speed))
                    self.assertEqual(cflag & termios.CSIZE, termios.CS8)
                    self.assertEqual(cflag & (termios.PARENB | termios.CSTOPB | termios.CRTSCTS), 0)
                    self.assertEqual(iflag & (termios.IXON | termios.IXOFF | termios.ICRNL), 0)
                    self.assertEqual(lflag & (termios.ICANON | termios.ECHO | termios.ISIG), 0)
                    self.assertEqual(self.probe.ask("close"), ["close"])

    def test_bytes_cross_unchanged_both_ways(self):
        master = self.open("COM7")
        every_byte = bytes(range(256))
        os.write(master, every_byte)
        got, _, data = self.probe.read(256)
        self.assertEqual((got, data), (256, every_byte))

        _, done, _ = self.probe.ask("write " + every_byte.hex().upper())
        self.assertEqual(int(done), 256)
        received = b""
        deadline = time.monotonic() + HANG_LIMIT_S
        while len(received) < 256 and time.monotonic() < deadline:
            if select.select([master], [], [], 0.5)[0]:
                received += os.read(master, 4096)
        self.assertEqual(received, every_byte)

    def test_read_returns_once_all_k_bytes_came_without_waiting_for_the_gap(self):
        master = self.open("COM7")
        os.write(master, bytes([0xA0, 0x03, 0x65, 0x00, 0xF8]))
        got, ms, data = self.probe.read(5)
        self.assertEqual((got, data), (5, bytes([0xA0, 0x03, 0x65, 0x00, 0xF8])))
        self.assertLess(ms, HANG_LIMIT_S * 1000)

    def test_a_gap_of_more_than_50_ms_ends_a_read_with_what_came(self):
        master = self.open("COM7")
        # The read of 2000 bytes may last 2100 ms in all; the second part comes 500 ms after the
        # first, so only the gap rule ends the read with the first part alone.
        later = threading.Timer(0.5, lambda: os.write(master, b"\x04\x05"))
        os.write(master, b"\x01\x02\x03")
        later.start()
        self.addCleanup(later.cancel)
        got, _, data = self.probe.read(2000)
        self.assertEqual((got, data), (3, b"\x01\x02\x03"))
        later.join()
        got, _, data = self.probe.read(10)
        self.assertEqual((got, data), (2, b"\x04\x05"))

    def test_a_silent_line_ends_a_read_of_k_bytes_after_k_plus_100_ms(self):
        self.open("COM7")
        for count in (1, 100, 400):
            with self.subTest(count=count):
                got, ms, _ = self.probe.read(count)
                self.assertEqual(got, 0)
                # Not before the total time-out; well before a hang.
                self.assertGreaterEqual(ms, count + 100 - 5)
                self.assertLess(ms, count + 100 + HANG_LIMIT_S * 1000)

    def test_purge_drops_what_came_before_it(self):
        master = self.open("COM7")
        os.write(master, b"\x11\x22\x33")
        time.sleep(0.2)  # lets the bytes reach the port's queue
        self.assertEqual(self.probe.ask("purge"), ["purge"])
        os.write(master, b"\x44")
        got, _, data = self.probe.read(4)
        self.assertEqual((got, data), (1, b"\x44"))

    def test_wakes_end_reads_at_once(self):
        # A silent read of 1900 bytes lasts 2000 ms; a wake ends it far sooner.
        self.open("COM7")
        cases = [("from another thread during the read", ["wakeafter 300"], 300),
                 ("made before the read", ["wake"], 0)]
        for name, commands, delay_ms in cases:
            with self.subTest(name):
                for command in commands:
                    self.assertEqual(self.probe.ask(command), [command.split(" ")[0]])
                got, ms, _ = self.probe.read(1900)
                self.assertEqual(got, 0)
                self.assertLess(ms, delay_ms + 500)
        # A wake that a read took is gone, and one that was cleared is forgotten.
        for commands in ([], ["wake", "clearwake"]):
            with self.subTest(commands=commands):
                for command in commands:
                    self.assertEqual(self.probe.ask(command), [command])
                got, ms, _ = self.probe.read(100)
                self.assertEqual(got, 0)
                self.assertGreaterEqual(ms, 200 - 5)

    def test_a_woken_read_keeps_what_came_before_the_wake(self):
        master = self.open("COM7")
        os.write(master, b"\x01\x02")
        time.sleep(0.2)
        self.assertEqual(self.probe.ask("wake"), ["wake"])
        got, _, data = self.probe.read(1900)
        # Whether the bytes come with the woken read or the next one, none is lost.
        if got == 0:
            got, _, data = self.probe.read(2)
        self.assertEqual((got, data), (2, b"\x01\x02"))

    def test_a_write_that_cannot_go_out_gives_up_after_10_k_plus_100_ms(self):
        master = self.open("COM7")
        slave = self.ptys["COM7"][1]
        # Output stopped on the line: nothing the port writes can leave.
        termios.tcflow(slave, termios.TCOOFF)
        self.addCleanup(termios.tcflow, slave, termios.TCOON)
        for count in (1, 50):
            with self.subTest(count=count):
                _, done, ms = self.probe.ask("write " + "A5" * count)
                # Timed out, not failed: nothing left, and the port is still good.
                self.assertEqual(int(done), 0)
                self.assertGreaterEqual(int(ms), 10 * count + 100 - 5)
                self.assertLess(int(ms), 10 * count + 100 + HANG_LIMIT_S * 1000)
        termios.tcflow(slave, termios.TCOON)
        drain(master)

    def test_a_vanished_port_fails_writes_and_does_not_block_reads(self):
        master = self.open("COM9")
        os.close(master)
        os.close(self.ptys["COM9"][1])
        _, done, _ = self.probe.ask("write A003FE0000")
        self.assertEqual(int(done), -1)
        got, ms, _ = self.probe.read(10)
        self.assertLessEqual(got, 0)
        self.assertLess(ms, HANG_LIMIT_S * 1000)

    def test_unknown_and_malformed_names_are_refused_by_name(self):
        invalid = "open the port name is not a valid port name"
        for line, answer in [("open COM33 115200", "open no such device"),
                             ("open COM1234 115200", invalid), ("open COM 115200", invalid)]:
            with self.subTest(line=line):
                self.assertEqual(" ".join(self.probe.ask(line)), answer)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--prefix")
    ARGS, rest = parser.parse_known_args()
    if ARGS.prefix is None:
        ARGS.prefix = os.path.join(os.path.dirname(os.path.abspath(ARGS.probe)), "wineprefix")
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
