"""The command-line faults, wire log and stops the product's tests rely on, and the SQL Server
Browser answers that resolve ADDR\\INSTANCE."""

import os
import socket
import subprocess
import tempfile

import pytds

import standin_harness
from standin_harness import StandIn, StandInTestCase

ADDRESS = "127.0.0.12"
BROWSER_ADDRESS = "127.0.0.13"
SEED = "CREATE TABLE T (V int)\nINSERT INTO T VALUES (1)"
LOST, TIMEOUT = "lost", "timeout"
WRITE = "BEGIN TRANSACTION UPDATE T SET V = 2"

# (options, batches sent on one connection, what each gets: its rows, its error number, LOST or
# TIMEOUT, how many of them reached the server, and V as a new connection then reads it)
FAULTS = [
    (("--fail-batch", "2:229"), ["SELECT 1", "SELECT 2", "SELECT 3"], [[(1,)], 229, [(3,)]], 3, 1),
    (("--fail-text", "COMMIT TRANSACTION:1205"), [WRITE, "COMMIT TRANSACTION", "SELECT @@TRANCOUNT"],
     [[], 1205, [(0,)]], 3, 1),
    (("--fail-batch", "2:4014"), [WRITE, "COMMIT TRANSACTION", "SELECT 1"], [[], 4014, LOST], 2, 1),
    (("--drop-batch", "2"), [WRITE, "COMMIT TRANSACTION"], [[], LOST], 2, 1),
    (("--drop-reply", "2"), [WRITE, "COMMIT TRANSACTION SELECT @@TRANCOUNT"], [[], LOST], 2, 2),
    (("--drop-in-rows", "1"), ["SELECT V FROM T"], [LOST], 1, 1),
    (("--hold", "V = 3:5"), ["UPDATE T SET V = 3", "SELECT V FROM T"], [TIMEOUT, [(1,)]], 2, 1),
    (("--stall-batch", "1"), ["UPDATE T SET V = 3", "SELECT V FROM T"], [TIMEOUT, TIMEOUT], 1, 1),
]


def outcome(cursor, batch):
    try:
        cursor.execute(batch)
        return [tuple(row) for row in cursor.fetchall()] if cursor.description else []
    except TimeoutError:
        return TIMEOUT
    except pytds.Error as error:
        return getattr(error, "number", None) or LOST
    except OSError:
        return LOST


class OptionTest(StandInTestCase):
    def start(self, *args, **kwargs):
        server = StandIn(self.BINARY, ADDRESS, *args, **kwargs)
        self.addCleanup(server.stop)
        return server

    def test_faults_hit_the_chosen_batch_and_every_batch_is_logged(self):
        for options, batches, expected, received, value in FAULTS:
            with self.subTest(options=options):
                server = self.start(*options, seed=SEED)
                with server.connect(timeout=2) as connection, connection.cursor() as cursor:
                    self.assertEqual([outcome(cursor, batch) for batch in batches], expected)
                with server.connect() as connection, connection.cursor() as cursor:
                    cursor.execute("SELECT V FROM T")
                    self.assertEqual(cursor.fetchall(), [(value,)])
                self.assertEqual(server.batches(), batches[:received] + ["SELECT V FROM T"])

    def test_a_server_that_demands_encryption_lets_no_login_in(self):
        server = self.start("--require-encryption")
        with self.assertRaisesRegex(pytds.Error, "required by server"):
            server.connect(disable_connect_retry=True)

    def test_the_ready_file_names_the_port_until_the_stop_file_stops_the_server(self):
        with tempfile.TemporaryDirectory() as directory:
            ready, stop = os.path.join(directory, "ready"), os.path.join(directory, "stop")
            server = self.start("--ready-file", ready, "--stop-file", stop)
            with open(ready, encoding="ascii") as file:
                self.assertEqual(file.read(), f"{ADDRESS} {server.port}\n")
            open(stop, "w").close()
            self.assertEqual(server.process.wait(timeout=10), 0)
            self.assertFalse(os.path.exists(ready))

    def test_bad_options_exit_with_2_and_help_names_every_option(self):
        for args in (["--listen", "127.0.0.1"], ["--bogus"], ["--fail-batch", "x:1"],
                     ["--hold", "text"], ["--stall-batch", "0"], ["--collation", "Klingon_CI_AS"]):
            with self.subTest(args=args):
                result = subprocess.run([self.BINARY, *args], capture_output=True, text=True,
                                        timeout=30)
                self.assertEqual(result.returncode, 2)
                self.assertIn("oravend-standin: ", result.stderr)
        usage = subprocess.run([self.BINARY, "--help"], capture_output=True, text=True,
                               timeout=30).stdout
        for option in ("--fail-batch N:ERROR", "--fail-text TEXT:ERROR", "--hold TEXT:SECONDS",
                       "--drop-batch N", "--stall-batch N", "--drop-reply N", "--drop-in-rows N",
                       "--restoring DB", "--require-encryption", "--collation NAME"):
            self.assertIn(option, usage)


class BrowserTest(StandInTestCase):
    ARGS = ("--instance", "INST1")

    def ask(self, request):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as udp:
            udp.settimeout(2)
            udp.sendto(request, (BROWSER_ADDRESS, 1434))
            try:
                return udp.recvfrom(4096)[0]
            except socket.timeout:
                return None

    def test_instance_requests_get_the_tcp_port_and_others_nothing(self):
        answer = f"InstanceName;INST1;IsClustered;No;Version;16.0.4223.1;tcp;{self.server.port};;"
        for request, expected in ((b"\x04inst1\x00", answer), (b"\x03", answer),
                                  (b"\x02", answer), (b"\x04OTHER\x00", None)):
            with self.subTest(request=request):
                reply = self.ask(request)
                if expected is None:
                    self.assertIsNone(reply)
                    continue
                self.assertEqual(reply[0], 0x05)
                self.assertEqual(int.from_bytes(reply[1:3], "little"), len(reply) - 3)
                self.assertTrue(reply[3:].decode("ascii").endswith(expected))

    def test_freetds_connects_by_instance_name(self):
        with tempfile.TemporaryDirectory() as directory:
            config = os.path.join(directory, "freetds.conf")
            with open(config, "w", encoding="ascii") as file:
                file.write(f"[standin]\n\thost = {BROWSER_ADDRESS}\n\tinstance = inst1\n"
                           "\ttds version = 7.4\n")
            result = subprocess.run(
                ["tsql", "-S", "standin", "-U", self.server.user, "-P", self.server.password,
                 "-o", "q"], input="SELECT 'via browser'\ngo\n", capture_output=True, text=True,
                env=dict(os.environ, FREETDSCONF=config), timeout=60)
        self.assertIn("via browser", result.stdout, result.stderr)


if __name__ == "__main__":
    standin_harness.main(BROWSER_ADDRESS)
