"""Starts oravend-standin for a test and drives the independent clients (tsql, pytds)."""

import json
import os
import re
import resource
import subprocess
import tempfile
import unittest

TSQL_MESSAGE = re.compile(r"Msg (\d+) \(severity (\d+), state (\d+)\)")


class StandIn:
    """One stand-in process on a loopback address; stopped (and reaped) by stop()."""

    DEFAULT_LOGIN = ("sa", "Oravend-Demo1")

    def __init__(self, binary, address, *args, login=("sa", "Oravend-Test1"), seed=None, env=None,
                 open_files=None):
        """login=None starts the server without --login (its default login applies);
        open_files limits the descriptors the server may hold."""
        self.directory = tempfile.TemporaryDirectory(prefix="standin-test-")
        self.wire_log_path = os.path.join(self.directory.name, "wire.log")
        self.user, self.password = login or self.DEFAULT_LOGIN
        command = [binary, "--listen", f"{address}:0", "--wire-log", self.wire_log_path]
        if login is not None:
            command += ["--login", f"{self.user}:{self.password}"]
        if seed is not None:
            seed_path = os.path.join(self.directory.name, "seed.sql")
            with open(seed_path, "w", encoding="utf-8") as file:
                file.write(seed)
            command += ["--seed", seed_path]
        command += list(args)
        def limit():
            resource.setrlimit(resource.RLIMIT_NOFILE, (open_files, open_files))
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        text=True, env=env,
                                        preexec_fn=limit if open_files else None)
        line = self.process.stdout.readline()
        if not line.startswith("ready "):
            self.process.wait(timeout=10)
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

    def wire_log(self):
        with open(self.wire_log_path, encoding="utf-8") as file:
            return [json.loads(line) for line in file if line.strip()]

    def batches(self):
        return [entry["sql"] for entry in self.wire_log() if entry["kind"] == "batch"]

    def connect(self, database=None, autocommit=True, timeout=10, **kwargs):
        import pytds  # the system python's python3-tds
        return pytds.connect(dsn=self.address, port=self.port, user=kwargs.pop("user", self.user),
                             password=kwargs.pop("password", self.password), database=database,
                             autocommit=autocommit, timeout=timeout, login_timeout=10, **kwargs)

    def tsql(self, script, database=None, user=None, password=None, tds_version="7.4", config=None):
        """Runs a tsql session; returns (exit code, stdout, messages as (number, severity))."""
        environment = dict(os.environ, TDSVER=tds_version)
        if config is not None:
            environment["FREETDSCONF"] = config
        command = ["tsql", "-H", self.address, "-p", str(self.port), "-U", user or self.user,
                   "-P", self.password if password is None else password, "-o", "q"]
        if database is not None:
            command += ["-D", database]
        result = subprocess.run(command, input=script, capture_output=True, text=True,
                                env=environment, timeout=60)
        messages = [(int(number), int(severity))
                    for number, severity, _ in TSQL_MESSAGE.findall(result.stderr)]
        return result.returncode, result.stdout, messages, result.stderr


def error_of(action):
    """Runs action and returns the pytds error it raised."""
    import pytds
    try:
        action()
    except pytds.Error as error:
        return error
    raise AssertionError("no error was raised")


class StandInTestCase(unittest.TestCase):
    """Gives each test class its own stand-in; BINARY and ADDRESS are set by the script."""

    BINARY = None
    ADDRESS = None
    ARGS = ()
    SEED = None

    @classmethod
    def setUpClass(cls):
        cls.server = StandIn(cls.BINARY, cls.ADDRESS, *cls.ARGS, seed=cls.SEED)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()


def main(address):
    """Runs the calling script's tests against the stand-in named on the command line."""
    import sys
    if len(sys.argv) < 2:
        sys.exit("usage: test_*.py PATH-TO-oravend-standin")
    StandInTestCase.BINARY = sys.argv[1]
    StandInTestCase.ADDRESS = address
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
