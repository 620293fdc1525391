"""SQL Server Browser answers on UDP ADDR:1434, so that ADDR\\INSTANCE resolves to the TCP port."""

import os
import socket
import subprocess
import tempfile

import pytds

import standin_harness
from standin_harness import StandInTestCase

ADDRESS = "127.0.0.13"


class BrowserTest(StandInTestCase):
    ARGS = ("--instance", "INST1")

    def ask(self, request, wait=2.0):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as udp:
            udp.settimeout(wait)
            udp.sendto(request, (ADDRESS, 1434))
            try:
                return udp.recvfrom(4096)[0]
            except socket.timeout:
                return None

    def test_instance_and_server_requests_get_the_tcp_port(self):
        expected = f"InstanceName;INST1;IsClustered;No;Version;16.0.4223.1;tcp;{self.server.port};;"
        for request in (b"\x04inst1\x00", b"\x04INST1", b"\x03", b"\x02"):
            with self.subTest(request=request):
                reply = self.ask(request)
                self.assertEqual(reply[0], 0x05)
                self.assertEqual(int.from_bytes(reply[1:3], "little"), len(reply) - 3)
                self.assertTrue(reply[3:].decode("ascii").endswith(expected))

    def test_other_instance_names_get_no_answer(self):
        self.assertIsNone(self.ask(b"\x04OTHER\x00", wait=0.5))

    def test_pytds_connects_by_instance_name(self):
        with pytds.connect(dsn=f"{ADDRESS}\\INST1", user=self.server.user,
                           password=self.server.password, autocommit=True,
                           login_timeout=10) as connection, connection.cursor() as cursor:
            cursor.execute("SELECT @@SERVERNAME")
            self.assertEqual(cursor.fetchone()[0], "STANDIN\\INST1")

    def test_freetds_connects_by_instance_name(self):
        with tempfile.TemporaryDirectory() as directory:
            config = os.path.join(directory, "freetds.conf")
            with open(config, "w", encoding="ascii") as file:
                file.write(f"[standin]\n\thost = {ADDRESS}\n\tinstance = inst1\n\ttds version = 7.4\n")
            result = subprocess.run(
                ["tsql", "-S", "standin", "-U", self.server.user, "-P", self.server.password,
                 "-o", "q"], input="SELECT 'via browser'\ngo\n", capture_output=True, text=True,
                env=dict(os.environ, FREETDSCONF=config), timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("via browser", result.stdout)


if __name__ == "__main__":
    standin_harness.main(ADDRESS)
