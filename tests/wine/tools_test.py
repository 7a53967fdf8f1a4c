#!/usr/bin/env python3
"""The Windows command-line tools under Wine against readersim (run natively) through a COM port
that Wine maps to readersim's pseudo-terminal: the good runs, and the cases of the fault matrix
(tests/faults) that Wine can show. Wine does not enforce exclusive opening, so "busy" stays with
the Linux tests.

    tools_test.py --wine-run scripts/wine-run --readersim build/debug/bin/readersim
                  --tesmarle build/windows/bin/tesmarle-cli.exe
                  --ferrowin build/windows/bin/ferrowin-cli.exe
"""

import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "win32"))
from wine_ports import WinePorts, readersim_arguments, require_readersim  # noqa: E402
from windows_test import start_xvfb  # noqa: E402

ARGS = None
CHINESE_ENV = {}  # a program started with these has the ANSI code page 936
PORT = "COM7"
TOOL_LIMIT_S = 60  # only catches hangs

NO_REPLY = "no reply from the reader"
BAD_CHECKSUM = "the reader's reply had a wrong checksum"
READ_FAILED = "read parameters failed"
WRITE_FAILED = "write parameters failed"
START_FAILED = "start tag collection failed"
STOP_FAILED = "stop failed"
NO_PROBE_ANSWER = "The reader did not answer."
BAUD_TIMEOUT = "等待超时,请检测波特率或者串口选择是否正确"
SIZE_TIMEOUT = "The reader did not answer the image size."
SEND_FAILED = "文件发送失败，请重试!"
OPEN_FAILED = "Fail to open the serial port."
SUCCESS = "Upgrade file transferred successfully."
# A firmware path that the ANSI code page of a Western Windows (Wine's here) cannot spell.
CHINESE_FOLDER = "固件"
CHINESE_PATH = "C:\\固件\\测试 固件.bin"
# A port device with a Chinese friendly name, as Chinese Windows names its built-in port.
FRIENDLY_NAME = "通信端口 (COM1)"
PORT_DEVICE_KEY = "HKLM\\System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\0000"
PORT_DEVICE_REG = f"""Windows Registry Editor Version 5.00

[{PORT_DEVICE_KEY.replace("HKLM", "HKEY_LOCAL_MACHINE")}]
"ClassGUID"="{{4D36E978-E325-11CE-BFC1-08002BE10318}}"
"Class"="Ports"
"FriendlyName"="{FRIENDLY_NAME}"

[{PORT_DEVICE_KEY.replace("HKLM", "HKEY_LOCAL_MACHINE")}\\Device Parameters]
"PortName"="COM1"
"""

# Wine's exception: it opens a COM port whose mapped device is gone (CreateFile succeeds) and
# only GetCommState then fails, with ERROR_INVALID_FUNCTION, so the tool names the port as not a
# serial port; Windows refuses to open a port that is not there, which the tool names as no such
# device (as on Linux).
WINE_GONE_PORT = f"open {PORT} failed: the device is not a serial port"

READ = ["read"]
WRITE = ["write", "--power", "20"]
TAGS = ["tags", "--seconds", "2"]
# The rates of the reader and of the tool.
FAST = (115200, 115200)
SLOW = (9600, 9600)
MISMATCH = (9600, 115200)


def trace_frames(trace):
    """The (bytes, meaning) of a trace's frames written and read, in order."""
    written, read = [], []
    for line in trace.splitlines():
        cells = line.split("\t")
        if len(cells) == 5 and cells[1] in ("out", "in"):
            (written if cells[1] == "out" else read).append((cells[3], cells[4]))
    return written, read


class Readersim:
    """readersim on a pseudo-terminal behind `link`, the path that COM7 is mapped to."""

    def __init__(self, link, log, args):
        self.link = link
        self.log = log
        with open(log, "wb") as err:
            self.process = subprocess.Popen([ARGS.readersim, "-v", "--link", link, *args],
                                            stdout=subprocess.PIPE, stderr=err,
                                            stdin=subprocess.DEVNULL)
        ready, _, _ = select.select([self.process.stdout], [], [], 10)
        self.pty = self.process.stdout.readline().decode().strip() if ready else ""
        if not self.pty:
            raise AssertionError("readersim did not start")

    def said(self):
        with open(self.log, encoding="utf-8", errors="replace") as f:
            return f.read()

    def wait_for(self, text, limit_s=30):
        deadline = time.monotonic() + limit_s
        while text not in self.said():
            if time.monotonic() > deadline:
                raise AssertionError(f"readersim never logged {text!r}:\n{self.said()}")
            time.sleep(0.005)

    def stop(self, sig=signal.SIGTERM):
        if self.process.poll() is None:
            self.process.send_signal(sig)
        status = self.process.wait(10)
        self.process.stdout.close()
        # A killed reader leaves its link behind, to a /dev/pts number that the system hands to
        # the next pseudo-terminal: a tool opening COM7 would reach whatever program has it now
        # (another test's reader, whose line settings it would change). Gone, the link leads
        # nowhere.
        if os.path.islink(self.link) and os.readlink(self.link) == self.pty:
            os.unlink(self.link)
        return status


class ToolsUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="uhf-wine-tools-")
        cls.link = os.path.join(cls.dir, "reader")
        cls.ports = WinePorts(ARGS.wine_run, ARGS.prefix)
        # COM7 leads to whatever readersim currently puts behind the link: one mapping (and one
        # restart of Wine's server) for every case.
        cls.ports.map_path(PORT, cls.link)

    @classmethod
    def tearDownClass(cls):
        cls.ports.unmap()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def setUp(self):
        self.sims = []

    def tearDown(self):
        for sim in self.sims:
            sim.stop(signal.SIGKILL)

    def start_sim(self, *args, baud=115200):
        log = os.path.join(self.dir, f"readersim-{len(self.sims)}.log")
        sim = Readersim(self.link, log, ["--baud", str(baud), *args])
        self.sims.append(sim)
        return sim

    def start_tool(self, exe, *args):
        return self.ports.popen(exe, *args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, encoding="utf-8",
                                errors="replace", cwd=self.dir)

    def finish(self, tool):
        try:
            out, err = tool.communicate(timeout=TOOL_LIMIT_S)
        except subprocess.TimeoutExpired:
            tool.kill()
            out, err = tool.communicate()
            self.fail(f"the tool did not end within {TOOL_LIMIT_S} s:\n{out}{err}")
        return tool.returncode, out, err

    def tesmarle(self, *args):
        return self.finish(self.start_tool(ARGS.tesmarle, "-p", PORT, "-b", "115200", *args))

    def test_read_shows_the_readers_factory_settings(self):
        self.start_sim()
        status, out, err = self.tesmarle("read", "--json")
        self.assertEqual(status, 0, err)
        for field in ('"power": 30', '"connectPort": 1', '"protocol": 1', '"param137": 2'):
            self.assertIn(field, out)

    def test_written_power_survives_a_restart_of_the_reader(self):
        state = os.path.join(self.dir, "state.txt")
        sim = self.start_sim("--state", state)
        status, _, err = self.tesmarle("write", "--power", "77")
        self.assertEqual(status, 0, err)
        self.assertEqual(sim.stop(), 0)
        self.start_sim("--state", state)
        status, out, err = self.tesmarle("read", "--json")
        self.assertEqual(status, 0, err)
        self.assertIn('"power": 77', out)
        self.assertIn('"protocol": 1', out)

    def test_resume_leaves_the_reader_reporting_tags(self):
        sim = self.start_sim("--tag-rate", "20")
        status, out, err = self.tesmarle("resume")
        self.assertEqual(status, 0, err)
        self.assertIn("resumed", out)
        sim.wait_for("sent tag frame", limit_s=10)

    def test_tags_lists_the_identifiers_the_reader_reports(self):
        self.start_sim("--tags", "0102030405060708,A1B2C3D4E5F60718", "--tag-rate", "10")
        status, out, err = self.tesmarle("tags", "--seconds", "2")
        self.assertEqual(status, 0, err)
        self.assertIn("01 02 03 04 05 06 07 08", out)
        self.assertIn("A1 B2 C3 D4 E5 F6 07 18", out)

    def test_ports_lists_the_com_ports_from_the_registry(self):
        status, out, err = self.finish(self.start_tool(ARGS.tesmarle, "ports"))
        self.assertEqual(status, 0, err)
        self.assertIn(PORT, out.split())

    def test_help_is_shown_without_a_port(self):
        status, out, err = self.finish(self.start_tool(ARGS.tesmarle, "--help"))
        self.assertEqual(status, 0, err)
        self.assertIn("tesmarle-cli", out)

    def test_ports_json_stays_utf8_with_a_chinese_friendly_name(self):
        # The old tools' Chinese Windows: the ANSI code page is GBK there.
        reg = os.path.join(self.dir, "port-device.reg")
        with open(reg, "wb") as f:
            f.write(b"\xff\xfe" + PORT_DEVICE_REG.replace("\n", "\r\n").encode("utf-16-le"))
        self.assertEqual(self.ports.run("reg", "import", reg).returncode, 0)
        try:
            tool = subprocess.Popen([ARGS.wine_run, ARGS.tesmarle, "ports", "--json"],
                                    env=dict(self.ports.env, **CHINESE_ENV),
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, cwd=self.dir)
            out, err = tool.communicate(timeout=TOOL_LIMIT_S)
        finally:
            self.ports.run("reg", "delete", PORT_DEVICE_KEY, "/f")
        self.assertEqual(tool.returncode, 0, err)
        ports = json.loads(out.decode("utf-8"))  # strict: GBK bytes would fail here
        self.assertIn({"path": "COM1", "product": FRIENDLY_NAME},
                      [{"path": p["path"], "product": p["product"]} for p in ports])

    def test_ctrl_c_ends_a_stalled_from_stdin_with_nothing_sent(self):
        # Wine turns SIGINT into the console's CTRL_C_EVENT, as a Ctrl-C in a console window
        # does. Ctrl-Break and a closed console cannot be made under Wine: the unit test of the
        # console handler calls it with those.
        sim = self.start_sim()
        report = os.path.join(self.dir, "stalled-report.jsonl")
        read_end, write_end = os.pipe()
        try:
            tool = self.ports.popen(ARGS.tesmarle, "-p", PORT, "-b", "115200", "check", "--from",
                                    "-", "--report", report, stdin=read_end,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                    cwd=self.dir)
            os.close(read_end)
            # The report is opened after the console handler is in place, before the read.
            deadline = time.monotonic() + TOOL_LIMIT_S
            while not os.path.exists(report) and tool.poll() is None:
                self.assertLess(time.monotonic(), deadline, "the tool never opened its report")
                time.sleep(0.01)
            time.sleep(0.2)  # well into its read
            tool.send_signal(signal.SIGINT)
            status, _, err = self.finish(tool)
        finally:
            os.close(write_end)
        self.assertEqual(status, 1, err)
        self.assertTrue(err.startswith("tesmarle-cli: --from -: stopped before the end of the "
                                       "input\n"), err)
        self.assertNotIn("received", sim.said())

    def test_tesmarle_fault_matrix(self):
        # name, readersim arguments (None: the port is gone before the tool starts), tool
        # arguments, what the tool must say ("A|B": either), the rates, a log line after
        # which the port vanishes (and how much later, ms), the WriteBlock requests that the
        # reader got, the last of them failed.
        self.run_matrix(ARGS.tesmarle, [
            ("PortVanished_Connect", None, READ, WINE_GONE_PORT, FAST, None, 0, -1),
            ("BaudMismatch_Connect", [], READ, READ_FAILED, MISMATCH, None, 0, -1),
            ("Dropped_Read", ["--drop-every", "3"], READ, NO_REPLY, FAST, None, 0, -1),
            ("Delayed_Read", ["--delay-ms", "400"], READ, NO_REPLY, FAST, None, 0, -1),
            ("Corrupted_Read", ["--corrupt-every", "20"], READ, NO_REPLY + "|" + BAD_CHECKSUM,
             FAST, None, 0, -1),
            # The answer is looked for behind noise until the reply's time limit: 1000 bytes at
            # 9600 baud take longer.
            ("Garbage_Read", ["--garbage", "1000"], READ, NO_REPLY, SLOW, None, 0, -1),
            ("Silent_Read", ["--silent-after", "1"], READ, NO_REPLY, FAST, None, 0, -1),
            ("PortVanished_Read", [], READ, READ_FAILED, FAST, "received ReadBlock", 0, -1),
            ("Dropped_Write", ["--drop-every", "11"], WRITE, WRITE_FAILED, FAST, None, 0, 3),
            ("Corrupted_Write", ["--corrupt-every", "83"], WRITE, WRITE_FAILED, FAST, None, 0,
             3),
            ("Silent_Write", ["--silent-after", "10"], WRITE, WRITE_FAILED, FAST, None, 0, 3),
            ("PortVanished_Write", [], WRITE, WRITE_FAILED, FAST, "received WriteBlock", 0, -1),
            ("Dropped_TagsStart", ["--drop-every", "2"], TAGS, START_FAILED, FAST, None, 0, -1),
            # Far beyond the reply window, which a busy machine stretches (see tests/faults).
            ("Delayed_TagsStart", ["--delay-ms", "2000"], TAGS, START_FAILED, FAST, None, 0, -1),
            ("Corrupted_TagsStart", ["--corrupt-every", "8"], TAGS, START_FAILED, FAST, None, 0,
             -1),
            ("Garbage_TagsStart", ["--garbage", "1000"], TAGS, START_FAILED, SLOW, None, 0, -1),
            ("Silent_TagsStart", ["--silent-after", "1"], TAGS, START_FAILED, FAST, None, 0, -1),
            ("BaudMismatch_TagsStart", [], TAGS, START_FAILED, MISMATCH, None, 0, -1),
            ("Silent_TagsStop", ["--silent-after", "2", "--tag-rate", "20"], TAGS, STOP_FAILED,
             FAST, None, 0, -1),
            ("PortVanished_Tags", ["--tag-rate", "50"], TAGS,
             "tags failed: the device was lost|" + STOP_FAILED, FAST,
             "sent tag frame", 300, -1),
        ])

    def ferrowin(self, image_size, device_baud=115200, download_baud=115200, extra=()):
        image = bytes((i * 13 + 5) & 0xFF for i in range(image_size))
        with open(os.path.join(self.dir, "firmware.bin"), "wb") as f:
            f.write(image)
        # The tool runs in self.dir: Wine gives it that folder as its current one.
        args = ["-p", PORT, "--device-baud", str(device_baud), "--download-baud",
                str(download_baud), *extra, "firmware.bin"]
        return image, self.start_tool(ARGS.ferrowin, *args)

    def test_download_of_65535_bytes_at_115200_arrives_byte_for_byte(self):
        received = os.path.join(self.dir, "received.bin")
        sim = self.start_sim("--firmware-out", received, baud=9600)
        image, tool = self.ferrowin(65535, device_baud=9600, download_baud=115200,
                                    extra=("--trace", "download.trace"))
        status, out, err = self.finish(tool)
        self.assertEqual(status, 0, out + err)
        self.assertIn("Upgrade file transferred successfully.", out + err)
        sim.stop()
        with open(received, "rb") as f:
            self.assertEqual(f.read(), image)
        # The Win32 port's trace holds the frames that readersim's -v trace shows, mirrored.
        with open(os.path.join(self.dir, "download.trace"), encoding="utf-8") as f:
            tool_out, tool_in = trace_frames(f.read())
        sim_out, sim_in = trace_frames(sim.said())
        self.assertIn("upgrade data 1024/1024, 63 bytes", [m for _, m in tool_out])
        self.assertEqual(tool_out, sim_in)
        self.assertEqual(tool_in, sim_out)

    def test_download_from_a_chinese_path_arrives_byte_for_byte_with_lines_alone_on_a_pipe(self):
        folder = os.path.join(ARGS.prefix, "drive_c", CHINESE_FOLDER)
        os.makedirs(folder, exist_ok=True)
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        image = bytes((i * 7 + 3) & 0xFF for i in range(3000))
        with open(os.path.join(folder, "测试 固件.bin"), "wb") as f:
            f.write(image)
        received = os.path.join(self.dir, "received-chinese.bin")
        sim = self.start_sim("--firmware-out", received)
        tool = self.ports.popen(ARGS.ferrowin, "-p", PORT, "--device-baud", "115200",
                                "--download-baud", "115200", CHINESE_PATH,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, cwd=self.dir)
        out, err = tool.communicate(timeout=TOOL_LIMIT_S)
        said = (out + err).decode("utf-8")  # strict
        self.assertEqual(tool.returncode, 0, said)
        self.assertIn(SUCCESS, said)
        # No progress line on a pipe: no escape sequence, no carriage return but line ends.
        self.assertNotIn("\x1b", said)
        self.assertNotIn("\r", said.replace("\r\n", "\n"))
        sim.stop()
        with open(received, "rb") as f:
            self.assertEqual(f.read(), image)

    def test_a_console_shows_the_progress_and_the_chinese_messages_as_characters(self):
        # Wine makes a console only where it has a display. Its console takes virtual-terminal
        # processing but shows the escape sequences as text, so the redrawing is not judged here
        # (the unit test of the console calls covers a console that refuses them); what the
        # screen must show is the characters, Chinese ones included, which bytes in the
        # console's code page (437 here) would garble.
        xvfb, display = start_xvfb()
        self.addCleanup(xvfb.wait, 10)
        self.addCleanup(xvfb.terminate)
        with open(os.path.join(self.dir, "firmware.bin"), "wb") as f:
            f.write(bytes(range(256)) * 8)
        # A successful download, and one whose baud-rate change is never answered.
        for sim_args, status, shown in (
                ([], 0, ["[########################] 100%  2048/2048 bytes", SUCCESS]),
                (["--silent-after", "2"], 1, ["提示: " + BAUD_TIMEOUT])):
            with self.subTest(sim=sim_args):
                sim = self.start_sim(*sim_args)
                run = subprocess.run(
                    [ARGS.wine_run, ARGS.console_run, "Z:" + ARGS.ferrowin.replace("/", "\\"),
                     "-p", PORT, "--device-baud",
                     "115200", "--download-baud", "115200", "firmware.bin"],
                    env=dict(self.ports.env, DISPLAY=display), stdin=subprocess.DEVNULL,
                    capture_output=True, timeout=2 * TOOL_LIMIT_S, cwd=self.dir, check=False)
                screen = run.stdout.decode("utf-8")
                self.assertTrue(screen.endswith(f"exit {status}\n"), screen + run.stderr.decode())
                for text in shown:
                    self.assertIn(text, screen)
                # 32 data frames: their progress is redrawn on one row, not a row each.
                self.assertLess(screen.count("\n"), 10, screen)
                sim.stop(signal.SIGKILL)

    def test_ferrowin_fault_matrix(self):
        # As the tesmarle matrix; the tool's arguments are the image's size.
        self.run_matrix(None, [
            ("Dropped_Probing", ["--drop-every", "1"], 300, NO_PROBE_ANSWER, FAST, None, 0, -1),
            ("Delayed_Probing", ["--delay-ms", "3500"], 300, NO_PROBE_ANSWER, FAST, None, 0,
             -1),
            ("Corrupted_Probing", ["--corrupt-every", "1"], 300, NO_PROBE_ANSWER, FAST, None, 0,
             -1),
            ("Garbage_Probing", ["--garbage", "10"], 300, NO_PROBE_ANSWER, FAST, None, 0, -1),
            ("Silent_Probing", ["--silent-after", "0"], 300, NO_PROBE_ANSWER, FAST, None, 0,
             -1),
            ("BaudMismatch_Probing", [], 300, NO_PROBE_ANSWER, MISMATCH, None, 0, -1),
            ("PortVanished_Probing", [], 300, NO_PROBE_ANSWER + "|" + OPEN_FAILED, FAST,
             "received probe", 0, -1),
            ("Delayed_BaudChange", ["--delay-ms", "1200"], 300, BAUD_TIMEOUT, FAST, None, 0,
             -1),
            ("Silent_BaudChange", ["--silent-after", "2"], 300, BAUD_TIMEOUT, FAST, None, 0,
             -1),
            ("PortVanished_BaudChange", [], 300, BAUD_TIMEOUT + "|" + OPEN_FAILED, FAST,
             "received baud-rate frame", 0, -1),
            ("Dropped_Size", ["--drop-every", "4"], 300, SIZE_TIMEOUT, FAST, None, 0, -1),
            ("Silent_Size", ["--silent-after", "3"], 300, SIZE_TIMEOUT, FAST, None, 0, -1),
            ("Dropped_Streaming", ["--drop-every", "6"], 300, SEND_FAILED, FAST, None, 0, -1),
            ("Corrupted_Streaming", ["--corrupt-every", "28"], 300, SEND_FAILED, FAST, None, 0,
             -1),
            ("Silent_Streaming", ["--silent-after", "6"], 300, SEND_FAILED, FAST, None, 0, -1),
            ("PortVanished_Streaming", [], 20000, SEND_FAILED, FAST, "received data frame", 0,
             -1),
            ("Dropped_Ending", ["--drop-every", "10"], 300, SEND_FAILED, FAST, None, 0, -1),
            ("Silent_Ending", ["--silent-after", "9"], 300, SEND_FAILED, FAST, None, 0, -1),
        ])

    def run_matrix(self, tesmarle, cases):
        """Runs each case with a fresh readersim; `tesmarle` None runs ferrowin-cli instead."""
        for name, sim_args, tool_args, expected, rates, kill_on, kill_after, blocks in cases:
            with self.subTest(case=name):
                sim_baud, tool_baud = rates
                sim = self.start_sim(*(sim_args or []), baud=sim_baud)
                if sim_args is None:
                    sim.stop(signal.SIGKILL)
                if tesmarle:
                    tool = self.start_tool(tesmarle, "-p", PORT, "-b", str(tool_baud),
                                           *tool_args)
                else:
                    _, tool = self.ferrowin(tool_args, tool_baud, tool_baud)
                if kill_on:
                    sim.wait_for(kill_on)
                    time.sleep(kill_after / 1000)
                    sim.stop(signal.SIGKILL)
                status, out, err = self.finish(tool)
                said = out + err
                self.assertEqual(status, 1, said)
                self.assertTrue(any(e in said for e in expected.split("|")),
                                f"expected {expected!r} in:\n{said}")
                for success in ("written\n", "resumed\n", "Upgrade file transferred successfully."):
                    self.assertNotIn(success, said)
                self.assertIsNone(re.search(r"\npower +[0-9]", out), said)
                if blocks >= 0:
                    sim.stop()
                    self.assertEqual(sim.said().count("received WriteBlock "), blocks,
                                     "no block may follow the failed one")
                sim.stop(signal.SIGKILL)
                print(f"[{name} | exit {status}] {said.strip().splitlines()[-1:]}")


def main():
    global ARGS
    parser = readersim_arguments("--tesmarle", "--ferrowin", "--console-run", "--chinese-locale")
    ARGS, rest = parser.parse_known_args()
    CHINESE_ENV.update(LOCPATH=ARGS.chinese_locale, LC_ALL="zh_CN.UTF-8")
    require_readersim(ARGS.readersim)
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
