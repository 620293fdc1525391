"""The server tests pointed at a server of their own by ORAVEND_TEST_SERVER.

A stand-in started here plays the real server: nothing in it knows of the tests, so what the tests
leave there, refuse there or wait for there is what they would on any SQL Server.

usage: test_real_server_mode.py oravend-standin server_tests startup_tests
"""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "standin"))
from standin_harness import StandIn  # noqa: E402

ADDRESS = "127.0.0.41"
LOGIN = ("tester", "Real-Server1")
SYSTEM_DATABASES = ["master", "tempdb", "model", "msdb"]


class RealServerModeTest(unittest.TestCase):
    STANDIN = SERVER_TESTS = STARTUP_TESTS = None

    def start_server(self, seed=None, args=()):
        server = StandIn(self.STANDIN, ADDRESS, *args, login=LOGIN, seed=seed)
        self.addCleanup(server.stop)
        return server

    def start_tests(self, server, program, gtest_filter="*"):
        environment = dict(os.environ, ORAVEND_TEST_SERVER=f"{server.address},{server.port}",
                           ORAVEND_TEST_LOGIN=LOGIN[0], ORAVEND_TEST_PASSWORD=LOGIN[1])
        process = subprocess.Popen([program, f"--gtest_filter={gtest_filter}"], env=environment,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.addCleanup(process.wait, 60)
        self.addCleanup(process.kill)
        return process

    def run_tests(self, server, program, gtest_filter="*"):
        """The tests' exit code and the end of their output."""
        process = self.start_tests(server, program, gtest_filter)
        output, _ = process.communicate(timeout=240)
        return process.returncode, output[-4000:]

    @staticmethod
    def databases(server):
        with server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT name FROM sys.databases ORDER BY database_id")
            return [name for (name,) in cursor.fetchall()]

    def test_the_suite_passes_and_leaves_only_its_lock_database(self):
        server = self.start_server()
        for program in (self.SERVER_TESTS, self.STARTUP_TESTS):
            code, output = self.run_tests(server, program)
            self.assertEqual(code, 0, output)
        self.assertEqual(self.databases(server), SYSTEM_DATABASES + ["oravend_test_lock"])
        # The databases were made on this server, not on stand-ins of the tests' own.
        batches = server.batches()
        self.assertIn("CREATE DATABASE qnt8dat01\n", batches)
        self.assertIn("CREATE DATABASE qnt8sys\n", batches)

    def test_a_server_the_tests_could_harm_is_refused_and_left_alone(self):
        # Another collation; a company database and one named like a database of the test's seed.
        cases = [
            ({"args": ("--collation", "Latin1_General_CS_AS")},
             "has the collation Latin1_General_CS_AS; the tests expect a server installed with "
             "Japanese_CI_AS", []),
            ({"seed": "CREATE DATABASE qnt8dat77\nGO\nUSE qnt8dat77\nCREATE TABLE TBank "
                      "(BankCode char(4))\nINSERT INTO TBank VALUES ('0005')\nGO\n"
                      "CREATE DATABASE shop\n"},
             "has databases the tests would make or change: qnt8dat77, shop. The tests run only "
             "on a server without them", ["qnt8dat77", "shop", "oravend_test_lock"]),
        ]
        for server_options, message, databases in cases:
            with self.subTest(message=message):
                server = self.start_server(**server_options)
                code, output = self.run_tests(server, self.SERVER_TESTS,
                                              "AccessLayerTest.EveryStatementOfABatchIsAResult")
                self.assertNotEqual(code, 0)
                self.assertIn(message, output)
                self.assertEqual(self.databases(server), SYSTEM_DATABASES + databases)
        with server.connect("qnt8dat77") as connection, connection.cursor() as cursor:
            cursor.execute("SELECT BankCode FROM TBank")
            self.assertEqual(cursor.fetchall(), [("0005",)])

    def test_a_test_waits_while_another_run_holds_the_server(self):
        server = self.start_server()
        # A first run makes the lock database.
        code, output = self.run_tests(server, self.SERVER_TESTS, "DiscoveryTest.*")
        self.assertEqual(code, 0, output)
        holder = server.connect("oravend_test_lock", autocommit=False)
        self.addCleanup(holder.close)
        holder.cursor().execute("INSERT INTO run_lock (id) VALUES (1)")

        def asked():
            request = "BEGIN TRANSACTION\r\nINSERT INTO run_lock (id) VALUES (1)"
            return server.batches().count(request)

        before = asked()
        waiting = self.start_tests(server, self.SERVER_TESTS, "DiscoveryTest.*")
        deadline = time.monotonic() + 20
        while asked() == before:
            self.assertLess(time.monotonic(), deadline, "the test never asked for the server")
            self.assertIsNone(waiting.poll(), "the test ended without waiting")
            time.sleep(0.05)
        self.assertIsNone(waiting.poll())
        self.assertNotIn("qnt8dat01", self.databases(server))
        holder.rollback()
        output, _ = waiting.communicate(timeout=60)
        self.assertEqual(waiting.returncode, 0, output[-4000:])
        self.assertNotIn("qnt8dat01", self.databases(server))


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    (RealServerModeTest.STANDIN, RealServerModeTest.SERVER_TESTS,
     RealServerModeTest.STARTUP_TESTS) = sys.argv[1:4]
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:], verbosity=2)
