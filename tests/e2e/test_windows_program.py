"""The Windows program end to end, as a user drives it: Oravend.exe under Wine on an Xvfb
display, against the stand-in with the demo databases, driven from outside with xdotool from
the connection dialog to "完了しました。", with the changed rows checked through pytds.

    test_windows_program.py ORAVEND_EXE STANDIN WINEPREFIX DEMO_FOLDER

WINEPREFIX is a prefix made by scripts/wine-prefix for the X11 driver without a window manager.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "standin"))
from standin_harness import StandIn  # noqa: E402

EXE, STANDIN, PREFIX, DEMO = sys.argv[1:5] if len(sys.argv) >= 5 else (None,) * 4
NEW_NAME, NEW_KANA = "新みらい銀行", "ｼﾝﾐﾗｲｷﾞﾝｺｳ"


def wait_for(condition, seconds, what):
    """Polls condition until it holds; fails the test after `seconds`."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    raise AssertionError(f"timed out after {seconds} s waiting for {what}")


class Display:
    """An Xvfb server on a free display number."""

    def __init__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as number:
            self.name = ":" + number.readline().strip()
        if self.name == ":":
            raise RuntimeError("Xvfb did not start")

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


class WindowsProgramTest(unittest.TestCase):
    def setUp(self):
        with open(os.path.join(DEMO, "seed.sql"), encoding="utf-8") as seed:
            self.server = StandIn(STANDIN, "127.0.0.1", seed=seed.read())
        self.addCleanup(self.server.stop)
        self.display = Display()
        self.addCleanup(self.display.stop)
        self.folder = tempfile.mkdtemp(prefix="oravend-e2e-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        for name in os.listdir(DEMO):
            if name.startswith("ORV_"):
                shutil.copy(os.path.join(DEMO, name), self.folder)
        shutil.copy(EXE, self.folder)
        self.environment = dict(os.environ, WINEPREFIX=PREFIX, DISPLAY=self.display.name,
                                WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d")

    def xdotool(self, *args):
        result = subprocess.run(["xdotool", *args], env=self.environment, capture_output=True,
                                text=True, timeout=30)
        return result.stdout.split()

    def windows_named(self, caption):
        return self.xdotool("search", "--onlyvisible", "--name", f"^{caption}$")

    def keys(self, *keys):
        self.xdotool("key", "--delay", "50", *keys)

    def type(self, text):
        self.xdotool("type", "--delay", "30", text)

    def banks(self, database):
        with self.server.connect(database) as connection, connection.cursor() as cursor:
            cursor.execute("SELECT BANK_CD, BANK_NAME, BANK_KANA FROM TM_BANK ORDER BY BANK_CD")
            return [tuple(row) for row in cursor.fetchall()]

    def start_program(self):
        """Oravend.exe under Wine, once its connection dialog shows. Wine has been seen to exit
        with an error before a program ran, printing nothing: such a start is made once more,
        and said. The output goes to a file, which Wine's own processes may keep open."""
        for attempt in (1, 2):
            output = open(os.path.join(self.folder, f"wine-{attempt}.log"), "w+")
            self.addCleanup(output.close)
            program = subprocess.Popen(["wine", os.path.join(self.folder, "Oravend.exe")],
                                       cwd=self.folder, env=self.environment,
                                       stdin=subprocess.DEVNULL, stdout=output,
                                       stderr=subprocess.STDOUT)
            self.addCleanup(lambda process=program: process.poll() is None and process.kill())
            wait_for(lambda: program.poll() is not None or self.windows_named("サーバー接続設定"),
                     60, "the connection dialog (Wine still running)")
            if program.poll() is None:
                return program
            output.seek(0)
            printed = output.read()
            if attempt == 2 or program.returncode == 0 or printed:
                self.fail(f"Wine exited with {program.returncode} before the connection dialog "
                          f"showed: {printed[-2000:]!r}")
            print(f"Wine exited with {program.returncode} before the program printed anything; "
                  "starting it once more", file=sys.stderr)

    def test_a_user_renames_the_bank_from_the_dialog_to_completion(self):
        started = time.monotonic()
        # The dialog opens with the focus in the server box, its text selected.
        program = self.start_program()
        print(f"the connection dialog opened {time.monotonic() - started:.1f} s after the start",
              file=sys.stderr)
        self.type(f"127.0.0.1,{self.server.port}")
        self.keys("Tab", "Right", "Tab")  # to the options, SQL Server authentication, user
        self.type(self.server.user)
        self.keys("Tab")
        self.type(self.server.password)
        self.keys("alt+o")

        wait_for(lambda: self.windows_named("オラベンド"), 30, "the main window")
        before = self.banks("qnt8dat001")
        self.assertIn(("0005", "みらい銀行", "ﾐﾗｲｷﾞﾝｺｳ"), before)
        self.keys("shift+r")
        # The completion message has the main window's caption too.
        wait_for(lambda: len(self.windows_named("オラベンド")) == 2, 60, "the completion message")

        for database in ("qnt8dat001", "qnt8dat002", "qnt4dat001", "qnt8def"):
            banks = self.banks(database)
            self.assertIn(("0005", NEW_NAME, NEW_KANA), banks, database)
            self.assertIn(("0001", "あおば銀行", "ｱｵﾊﾞｷﾞﾝｺｳ"), banks, database)
        # A database that neither product's names match is left as it was.
        self.assertIn(("0005", "みらい銀行", "ﾐﾗｲｷﾞﾝｺｳ"), self.banks("qntdat_archive"))
        with self.server.connect("zarvekkdat001") as connection, connection.cursor() as cursor:
            cursor.execute("SELECT GINKO_MEI, GINKO_KANA FROM M_GINKO WHERE GINKO_CD = '0005'")
            self.assertEqual(tuple(cursor.fetchone()), (NEW_NAME, NEW_KANA))

        # OK on the message ends the program.
        self.keys("Return")
        self.assertEqual(program.wait(timeout=30), 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
