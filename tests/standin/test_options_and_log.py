"""Command line, seed, wire log, scripted faults and the ways the stand-in stops."""

import ctypes
import itertools
import json
import os
import select
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest


import standin_harness
from standin_harness import StandIn, StandInTestCase, error_of

ADDRESS = "127.0.0.12"


class DirectoryEvents:
    """Closes and removals of files in some directories, in the order they happened (inotify)."""

    CLOSE = 0x08 | 0x10  # IN_CLOSE_WRITE | IN_CLOSE_NOWRITE
    DELETE = 0x200       # IN_DELETE

    def __init__(self, *directories):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        self.directories = {}
        for directory in directories:
            watch = self.libc.inotify_add_watch(self.fd, os.fsencode(directory),
                                                self.CLOSE | self.DELETE)
            if watch < 0:
                raise OSError(ctypes.get_errno(), "inotify_add_watch")
            self.directories[watch] = directory

    def read(self):
        """Everything queued so far as (directory, name, CLOSE or DELETE)."""
        events = []
        while True:
            try:
                data = os.read(self.fd, 65536)
            except BlockingIOError:
                return events
            offset = 0
            while offset < len(data):
                watch, mask, _, size = struct.unpack_from("iIII", data, offset)
                name = data[offset + 16:offset + 16 + size].rstrip(b"\0").decode()
                offset += 16 + size
                if watch in self.directories:
                    kind = self.DELETE if mask & self.DELETE else self.CLOSE
                    events.append((self.directories[watch], name, kind))

    def close(self):
        os.close(self.fd)


class ServerCase(unittest.TestCase):
    """Starts a fresh stand-in per test, since faults count batches server-wide."""

    def start(self, *args, **kwargs):
        server = StandIn(StandInTestCase.BINARY, ADDRESS, *args, **kwargs)
        self.addCleanup(server.stop)
        return server

    def run_binary(self, *args, env=None):
        return subprocess.run([StandInTestCase.BINARY, *args], capture_output=True, text=True,
                              timeout=30, env=env)


class FaultTest(ServerCase):
    def test_fail_batch_fails_the_nth_batch_without_running_it(self):
        server = self.start("--fail-batch", "2:1205", seed="CREATE TABLE T (V int)\nINSERT INTO T VALUES (0)")
        with server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("UPDATE T SET V = 1")
            error = error_of(lambda: cursor.execute("UPDATE T SET V = 2"))
            self.assertEqual((error.number, error.severity), (1205, 13))
            cursor.execute("SELECT V FROM T")
            self.assertEqual(cursor.fetchall(), [(1,)])

    def test_fail_text_fails_the_first_matching_batch_once(self):
        server = self.start("--fail-text", "needle:50001", "--fail-text", "other:208")
        with server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT 'hay'")
            error = error_of(lambda: cursor.execute("SELECT 'a needle'"))
            self.assertEqual(error.number, 50001)
            cursor.execute("SELECT 'a needle'")
            self.assertEqual(cursor.fetchall(), [("a needle",)])
            self.assertEqual(error_of(lambda: cursor.execute("SELECT 'other'")).number, 208)

    def test_drop_batch_closes_the_connection_without_reply(self):
        server = self.start("--drop-batch", "2")
        with server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT 1")
            with self.assertRaises(Exception):
                cursor.execute("SELECT 2")
        with server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT 3")
            self.assertEqual(cursor.fetchall(), [(3,)])
        self.assertEqual(server.batches(), ["SELECT 1", "SELECT 2", "SELECT 3"])

    def test_drop_reply_runs_the_batch_cuts_its_reply_and_rolls_its_transaction_back(self):
        server = self.start("--drop-reply", "3", seed="CREATE TABLE T (V int)\nINSERT INTO T VALUES (1)")
        with server.connect() as bystander, bystander.cursor() as watching:
            watching.execute("SELECT V FROM T")
            with server.connect(autocommit=False) as connection, connection.cursor() as cursor:
                cursor.execute("UPDATE T SET V = 2")
                error_of(lambda: cursor.execute("UPDATE T SET V = V + 10"))
            watching.execute("SELECT V FROM T")
            self.assertEqual(watching.fetchall(), [(1,)])
            # A write lock left behind would make this wait and fail with 1222.
            watching.execute("UPDATE T SET V = 3")
            self.assertEqual(watching.rowcount, 1)
        self.assertEqual(server.batches(), ["SELECT V FROM T", "UPDATE T SET V = 2",
                                            "UPDATE T SET V = V + 10", "SELECT V FROM T",
                                            "UPDATE T SET V = 3"])

    def test_drop_after_done_delivers_the_first_statement_and_rolls_the_rest_back(self):
        server = self.start("--drop-after-done", "1",
                            seed="CREATE TABLE T (V int)\nINSERT INTO T VALUES (1)")
        with server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT V FROM T BEGIN TRANSACTION UPDATE T SET V = 2")
            self.assertEqual(cursor.fetchall(), [(1,)], "the first result arrives whole")
            with self.assertRaises(Exception):
                cursor.nextset()
        with server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT V FROM T")
            self.assertEqual(cursor.fetchall(), [(1,)])

    def test_drop_in_rows_cuts_the_row_stream_after_its_first_row(self):
        server = self.start("--drop-in-rows", "1",
                            seed="CREATE TABLE T (V int)\nINSERT INTO T VALUES (1), (2), (3)")
        with server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT V FROM T ORDER BY V")
            self.assertEqual(cursor.fetchone(), (1,))
            with self.assertRaises(Exception):
                cursor.fetchall()
        self.assertEqual(server.batches(), ["SELECT V FROM T ORDER BY V"])

    def test_an_error_of_severity_20_ends_the_session_and_its_transaction(self):
        server = self.start("--fail-batch", "2:4014",
                            seed="CREATE TABLE T (V int)\nINSERT INTO T VALUES (1)")
        with server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("BEGIN TRANSACTION UPDATE T SET V = 2")
            error = error_of(lambda: cursor.execute("COMMIT"))
            self.assertEqual((error.number, error.severity), (4014, 20))
            self.assertIn("The session will be terminated", str(error))
            with self.assertRaises(Exception):
                cursor.execute("SELECT 1")
        with server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT V FROM T")
            self.assertEqual(cursor.fetchall(), [(1,)])

    def test_require_encryption_answers_encrypt_req_and_lets_no_login_in(self):
        server = self.start("--require-encryption")
        error = error_of(lambda: server.connect(disable_connect_retry=True))
        self.assertIn("required by server", str(error), "pytds read ENCRYPT_REQ")
        code, _, _, stderr = server.tsql("SELECT 1\ngo\n")
        self.assertNotEqual(code, 0)
        self.assertIn("Adaptive Server connection failed", stderr)
        self.assertEqual({(entry["kind"], entry["encryption"]) for entry in server.wire_log()},
                         {("prelogin", "required")}, "no login reached the server")

    def test_stop_file_stops_the_server(self):
        with tempfile.TemporaryDirectory() as directory:
            stop = os.path.join(directory, "stop")
            server = self.start("--stop-file", stop)
            open(stop, "w").close()
            self.assertEqual(server.process.wait(timeout=10), 0)

    def test_reply_delay_holds_back_every_reply(self):
        server = self.start("--reply-delay", "2.5")
        requests = 40
        started = time.monotonic()
        with server.connect(autocommit=False) as connection, connection.cursor() as cursor:
            for _ in range(requests):
                cursor.execute("SET NOCOUNT ON")
            connection.commit()
        elapsed = time.monotonic() - started
        # Prelogin, login, begin, the batches and the commit: each reply waits 2.5 ms at least.
        self.assertGreaterEqual(elapsed, (requests + 4) * 0.0025)


class WireLogTest(ServerCase):
    def test_every_request_is_logged_in_order_before_its_reply(self):
        server = self.start("--hold", "slow:5", seed="CREATE DATABASE db2")
        error_of(lambda: server.connect(password="wrong"))
        sql = "UPDATE x SET a = N'銀行'  \r\nSELECT 1 -- tail\r\n"
        with server.connect(autocommit=False) as connection, connection.cursor() as cursor:
            error_of(lambda: cursor.execute(sql))
            cursor.execute("USE db2")
            connection.commit()
            cursor.execute("SELECT 2")
            connection.rollback()
        with server.connect(database="db2", timeout=1) as connection, connection.cursor() as cursor:
            with self.assertRaises(TimeoutError):
                cursor.execute("SELECT 'slow'")
            cursor.execute("SELECT 3")
        log = server.wire_log()
        self.assertEqual([entry["seq"] for entry in log], list(range(1, len(log) + 1)))
        view = [{key: value for key, value in entry.items() if key != "seq"} for entry in log]
        self.assertEqual(view, [
            {"conn": 1, "login": "sa", "database": "master", "kind": "login", "ok": False},
            {"conn": 2, "login": "sa", "database": "master", "kind": "login", "ok": True},
            {"conn": 2, "login": "sa", "database": "master", "kind": "tm", "request": "begin",
             "new_transaction": False},
            {"conn": 2, "login": "sa", "database": "master", "kind": "batch", "sql": sql},
            {"conn": 2, "login": "sa", "database": "master", "kind": "batch", "sql": "USE db2"},
            {"conn": 2, "login": "sa", "database": "db2", "kind": "tm", "request": "commit",
             "new_transaction": True},
            {"conn": 2, "login": "sa", "database": "db2", "kind": "batch", "sql": "SELECT 2"},
            # pytds cancels the unread result of SELECT 2 before rolling back: an attention
            # after a complete reply, which must be acknowledged for the rollback to go on.
            {"conn": 2, "login": "sa", "database": "db2", "kind": "attention"},
            {"conn": 2, "login": "sa", "database": "db2", "kind": "tm", "request": "rollback",
             "new_transaction": True},
            {"conn": 3, "login": "sa", "database": "db2", "kind": "login", "ok": True},
            {"conn": 3, "login": "sa", "database": "db2", "kind": "batch", "sql": "SELECT 'slow'"},
            {"conn": 3, "login": "sa", "database": "db2", "kind": "attention"},
            {"conn": 3, "login": "sa", "database": "db2", "kind": "batch", "sql": "SELECT 3"},
        ])


class SeedAndDataTest(ServerCase):
    def test_seed_batches_split_at_go_lines(self):
        seed = ("CREATE DATABASE one\r\n  go  \r\nUSE one\nCREATE TABLE T (S varchar(10))\nGo\n"
                "INSERT INTO T VALUES ('go')\n-- GO inside a comment line is not a separator\nGO")
        server = self.start(seed=seed)
        with server.connect(database="one") as connection, connection.cursor() as cursor:
            cursor.execute("SELECT S FROM T")
            self.assertEqual(cursor.fetchall(), [("go",)])
        self.assertEqual(server.batches(), ["SELECT S FROM T"], "the seed is not a request")

    def test_failing_seed_aborts_start_up(self):
        with tempfile.TemporaryDirectory() as directory:
            seed = os.path.join(directory, "seed.sql")
            with open(seed, "w", encoding="utf-8") as file:
                file.write("CREATE TABLE T (V int)\nGO\nSELECT 1\nINSERT INTO Nowhere VALUES (1)\nGO\n")
            result = self.run_binary("--listen", f"{ADDRESS}:0", "--seed", seed)
        self.assertNotEqual(result.returncode, 0)
        self.assertNotIn("ready", result.stdout)
        self.assertIn("batch 2 (script line 4) failed: Msg 208", result.stderr)
        self.assertIn("Invalid object name 'Nowhere'.", result.stderr)

    def test_restoring_a_database_the_seed_did_not_make_aborts_start_up(self):
        result = self.run_binary("--listen", f"{ADDRESS}:0", "--restoring", "nodb")
        self.assertEqual(result.returncode, 1)
        self.assertNotIn("ready", result.stdout)
        self.assertIn("--restoring: no database 'nodb'", result.stderr)

    def test_data_dir_keeps_databases_across_restarts(self):
        with tempfile.TemporaryDirectory() as data:
            first = self.start("--data-dir", data)
            with first.connect() as connection, connection.cursor() as cursor:
                cursor.execute("CREATE DATABASE kept USE kept CREATE TABLE T (V nvarchar(5)) "
                               "INSERT INTO T VALUES (N'値')")
            self.assertEqual(first.stop(), 0)
            second = self.start("--data-dir", data)
            with second.connect(database="kept") as connection, connection.cursor() as cursor:
                cursor.execute("SELECT V FROM T")
                self.assertEqual(cursor.fetchall(), [("値",)])


    def test_a_session_visiting_many_databases_keeps_few_files_open(self):
        names = [f"qnt8dat{n:04}" for n in range(300)]
        seed = "".join(f"CREATE DATABASE {name}\nGO\nUSE {name}\n"
                       "CREATE TABLE Bank (Code varchar(4), Name nvarchar(20), Kind int)\n"
                       "INSERT INTO Bank VALUES ('0005', N'青葉銀行', 1), ('0009', N'光陽銀行', 2)\nGO\n"
                       for name in names)
        # Three files per database would not fit if every database stayed open.
        server = self.start(seed=seed, open_files=256)
        with server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT NAME FROM SYS.DATABASES WHERE NAME LIKE 'qnt_dat%'")
            self.assertEqual([row[0] for row in cursor.fetchall()], names)
            for name in names:
                cursor.execute(f"USE [{name}]")
                cursor.execute("SELECT COUNT(*), DB_NAME() FROM Bank")
                self.assertEqual(cursor.fetchone(), (2, name))


class CommandLineTest(ServerCase):
    def test_bad_options_exit_with_2(self):
        for args in (["--listen", "localhost:1"], ["--listen", "127.0.0.1"], ["--bogus"],
                     ["--fail-batch", "x:1"], ["--hold", "text"], ["--login", "nopassword"],
                     ["--reply-delay", "-1"], ["--reply-delay", "1ms"], ["--drop-reply", "0"],
                     ["--drop-in-rows", "x"], ["--drop-after-done", "0"],
                     ["--collation", "Klingon_CI_AS"]):
            with self.subTest(args=args):
                result = self.run_binary(*args)
                self.assertEqual(result.returncode, 2)
                self.assertIn("oravend-standin: ", result.stderr)

    def test_help(self):
        result = self.run_binary("--help")
        self.assertEqual(result.returncode, 0)
        self.assertIn("--fail-batch N:ERROR", result.stdout)
        self.assertIn("--reply-delay MS", result.stdout)
        self.assertIn("--drop-reply N", result.stdout)
        self.assertIn("--drop-after-done N", result.stdout)
        self.assertIn("--drop-in-rows N", result.stdout)
        self.assertIn("--require-encryption", result.stdout)
        self.assertIn("--stop-file FILE", result.stdout)
        self.assertIn("--collation NAME", result.stdout)

    def test_logins_with_special_passwords_and_the_default_login(self):
        server = self.start("--login", "sa:Oravend-Test1", "--login", "Other:p:a;s{s}= x")
        with server.connect(user="other", password="p:a;s{s}= x") as connection, \
                connection.cursor() as cursor:
            cursor.execute("SELECT SUSER_SNAME()")
            self.assertEqual(cursor.fetchone()[0], "Other")
        default = self.start(login=None)
        with default.connect(user="sa", password="Oravend-Demo1") as connection:
            self.assertIsNotNone(connection)

    def test_ready_file(self):
        with tempfile.TemporaryDirectory() as directory:
            ready = os.path.join(directory, "ready")
            server = self.start("--ready-file", ready)
            with open(ready, encoding="ascii") as file:
                self.assertEqual(file.read(), f"{ADDRESS} {server.port}\n")


class StopTest(ServerCase):
    def start_in(self, tmp, *args, **kwargs):
        return self.start(*args, env=dict(os.environ, TMPDIR=tmp), **kwargs)

    def test_shutdown_statement_stops_the_server_and_removes_its_data(self):
        with tempfile.TemporaryDirectory() as tmp:
            server = self.start_in(tmp)
            self.assertEqual(len(os.listdir(tmp)), 1)
            with server.connect() as connection, connection.cursor() as cursor:
                cursor.execute("SHUTDOWN WITH NOWAIT")
            self.assertEqual(server.process.wait(timeout=10), 0)
            self.assertEqual(os.listdir(tmp), [])

    def test_ready_file_goes_only_after_every_data_file_is_closed_and_removed(self):
        for how, keep_data in itertools.product(("shutdown", "sigterm"), (False, True)):
            with self.subTest(how=how, keep_data=keep_data), tempfile.TemporaryDirectory() as tmp, \
                    tempfile.TemporaryDirectory() as signals:
                ready = os.path.join(signals, "ready")
                args = ["--ready-file", ready] + (["--data-dir", tmp] if keep_data else [])
                server = self.start_in(tmp, *args)
                events = DirectoryEvents(tmp, signals)
                self.addCleanup(events.close)
                with server.connect() as connection, connection.cursor() as cursor:
                    cursor.execute("CREATE DATABASE one USE one CREATE TABLE T (V int) "
                                   "INSERT INTO T VALUES (1)")
                    if how == "shutdown":
                        cursor.execute("SHUTDOWN")
                    else:
                        server.process.send_signal(signal.SIGTERM)
                self.assertEqual(server.process.wait(timeout=10), 0)
                seen = events.read()
                # Once the process is gone every close and removal it caused is in the queue.
                self.assertEqual(seen[-1], (signals, "ready", DirectoryEvents.DELETE))
                self.assertTrue(any(directory == tmp for directory, _, _ in seen))
                left = os.listdir(tmp)
                if keep_data:
                    self.assertEqual([name for name in left if name.endswith(("-wal", "-shm"))], [])
                    self.assertIn("databases.sqlite", left)
                else:
                    self.assertEqual(left, [])

    def test_sigterm_and_sigint_stop_cleanly(self):
        for stop_signal in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=stop_signal), tempfile.TemporaryDirectory() as tmp:
                server = self.start_in(tmp)
                connection = server.connect()
                server.process.send_signal(stop_signal)
                self.assertEqual(server.process.wait(timeout=10), 0)
                connection.close()
                self.assertEqual(os.listdir(tmp), [])

    def test_exit_with_parent(self):
        # A parent that starts the server with --exit-with-parent and then waits on its stdin.
        parent_code = (
            "import subprocess, sys\n"
            "subprocess.Popen(sys.argv[1:])\n"
            "sys.stdin.read()\n")
        parent = subprocess.Popen(
            [sys.executable, "-c", parent_code, StandInTestCase.BINARY, "--listen", f"{ADDRESS}:0",
             "--exit-with-parent"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.assertTrue(parent.stdout.readline().startswith("ready "))
        parent.kill()
        parent.wait(timeout=10)
        parent.stdin.close()
        # The server holds the other end of stdout: end of file means it has exited.
        readable, _, _ = select.select([parent.stdout], [], [], 10)
        self.assertTrue(readable, "the server did not exit after its parent")
        self.assertEqual(parent.stdout.read(), "")
        parent.stdout.close()

    def test_exit_when_idle(self):
        server = StandIn(StandInTestCase.BINARY, ADDRESS, "--exit-when-idle", "1")
        try:
            # While a client is connected the server stays, however long it is quiet.
            connection = server.connect()
            with self.assertRaises(subprocess.TimeoutExpired):
                server.process.wait(timeout=2.5)
            connection.close()
            self.assertEqual(server.process.wait(timeout=10), 0)
        finally:
            server.stop()
        for bad in ("0", "-1", "x"):
            result = subprocess.run([StandInTestCase.BINARY, "--exit-when-idle", bad],
                                    capture_output=True, text=True, timeout=10)
            self.assertEqual(result.returncode, 2, bad)


if __name__ == "__main__":
    standin_harness.main(ADDRESS)
