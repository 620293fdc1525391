"""Starts oravend-standin for a test and drives the independent clients (tsql, pytds)."""

import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

TSQL_MESSAGE = re.compile(r"Msg (\d+) \(severity (\d+), state \d+\)")


class StandIn:
    """One stand-in process on a loopback address; stopped (and reaped) by stop()."""

    def __init__(self, binary, address, *args, login=("sa", "Oravend-Test1"), seed=None):
        self.directory = tempfile.TemporaryDirectory(prefix="standin-test-")
        self.wire_log_path = os.path.join(self.directory.name, "wire.log")
        self.user, self.password = login
        command = [binary, "--listen", f"{address}:0", "--wire-log", self.wire_log_path,
                   "--login", f"{self.user}:{self.password}", *args]
        if seed is not None:
            seed_path = os.path.join(self.directory.name, "seed.sql")
            with open(seed_path, "w", encoding="utf-8") as file:
                file.write(seed)
            command += ["--seed", seed_path]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        text=True)
        line = self.process.stdout.readline()
        if not line.startswith("ready "):
            errors = self.process.stderr.read()
            self.stop()
            raise RuntimeError(f"stand-in did not start: {line!r} {errors}")
        _, self.address, port = line.split()
        self.port = int(port)

    def stop(self):
        """Ends the server with SIGTERM if it still runs; returns its exit code."""
        if self.process.poll() is None:
            self.process.terminate()
        try:
            return self.process.wait(timeout=10)
        finally:
            self.process.stdout.close()
            self.process.stderr.close()
            self.directory.cleanup()

    def batches(self):
        """The SQL batches the server received, from its wire log."""
        with open(self.wire_log_path, encoding="utf-8") as file:
            entries = [json.loads(line) for line in file if line.strip()]
        return [entry["sql"] for entry in entries if entry["kind"] == "batch"]

    def connect(self, database=None, autocommit=True, timeout=10, **kwargs):
        import pytds  # the system python's python3-tds
        return pytds.connect(dsn=self.address, port=self.port, user=kwargs.pop("user", self.user),
                             password=kwargs.pop("password", self.password), database=database,
                             autocommit=autocommit, timeout=timeout, login_timeout=10, **kwargs)

    def tsql(self, script, database, tds_version):
        """Runs a tsql session; returns (stdout, messages as (number, severity))."""
        command = ["tsql", "-H", self.address, "-p", str(self.port), "-U", self.user,
                   "-P", self.password, "-D", database, "-o", "q"]
        result = subprocess.run(command, input=script, capture_output=True, text=True,
                                env=dict(os.environ, TDSVER=tds_version), timeout=60)
        messages = [(int(number), int(severity))
                    for number, severity in TSQL_MESSAGE.findall(result.stderr)]
        return result.stdout, messages


class StandInTestCase(unittest.TestCase):
    """A class with a SEED gets one stand-in, seeded with it and started with ARGS, for all its
    tests. BINARY and ADDRESS are set by main()."""

    BINARY = ADDRESS = SEED = None
    ARGS = ()

    @classmethod
    def setUpClass(cls):
        if cls.SEED is not None:
            cls.server = StandIn(cls.BINARY, cls.ADDRESS, *cls.ARGS, seed=cls.SEED)
            cls.addClassCleanup(cls.server.stop)


def main(address):
    """Runs the calling script's tests against the stand-in named on the command line."""
    if len(sys.argv) < 2:
        sys.exit("usage: test_*.py PATH-TO-oravend-standin")
    StandInTestCase.BINARY, StandInTestCase.ADDRESS = sys.argv[1], address
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
