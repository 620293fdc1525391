"""Wire-level behaviour: TDS 7.1 to 7.4 with tsql and pytds, multi-packet requests and replies,
and the DONE and attention framing checked on the raw socket."""

import socket
import struct

import pytds
import pytds.tds_base

import standin_harness
from standin_harness import StandInTestCase

ADDRESS = "127.0.0.14"
VERSIONS = {"7.1": pytds.tds_base.TDS71, "7.2": pytds.tds_base.TDS72,
            "7.3": pytds.tds_base.TDS73B, "7.4": pytds.tds_base.TDS74}


class RawClient:
    """Just enough of a TDS client to look at reply messages byte by byte."""

    def __init__(self, server, version=0x74000004):
        self.version = version
        self.socket = socket.create_connection((server.address, server.port), timeout=10)
        self.send(0x12, bytes([0, 0, 6, 0, 1, 0xFF, 0x02]))
        self.read_message()
        self.send(0x10, self.login7(server.user, server.password))
        self.read_message()

    def login7(self, user, password):
        def obfuscate(text):
            return bytes((((b << 4) | (b >> 4)) & 0xFF) ^ 0xA5 for b in text.encode("utf-16-le"))
        fields = [b"", user.encode("utf-16-le"), obfuscate(password)] + [b""] * 9
        fixed = 94
        offsets, data = b"", b""
        for index, value in enumerate(fields):
            if index == 9:  # ClientID (6 bytes) sits between Database and SSPI
                offsets += b"\0" * 6
            offsets += struct.pack("<HH", fixed + len(data), len(value) // 2)
            data += value
        offsets += struct.pack("<I", 0)
        head = struct.pack("<IIIIII", 0, self.version, 4096, 0, 0, 0) + bytes([0xE0, 0x03, 0, 0]) \
            + struct.pack("<ii", 0, 0x0409)
        record = head + offsets + data
        return struct.pack("<I", len(record)) + record[4:]

    def send(self, packet_type, payload, status=0x01):
        self.socket.sendall(struct.pack(">BBHHBB", packet_type, status, len(payload) + 8, 0, 1, 0)
                            + payload)

    def batch(self, sql):
        headers = struct.pack("<IIHQI", 22, 18, 2, 0, 1) if self.version >= 0x72000000 else b""
        self.send(0x01, headers + sql.encode("utf-16-le"))

    def read_exact(self, size):
        data = b""
        while len(data) < size:
            chunk = self.socket.recv(size - len(data))
            if not chunk:
                raise ConnectionError("closed")
            data += chunk
        return data

    def read_message(self):
        """Returns (payload, packet count) of one reply message."""
        payload, packets = b"", 0
        while True:
            packet_type, status, length, _, _, _ = struct.unpack(">BBHHBB", self.read_exact(8))
            assert packet_type == 0x04
            payload += self.read_exact(length - 8)
            packets += 1
            if status & 0x01:
                return payload, packets

    def close(self):
        self.socket.close()


def done_statuses(payload, done_size=13):
    """Statuses of the DONE tokens of a reply made of DONE, ENVCHANGE and INFO tokens only."""
    statuses, offset = [], 0
    while offset < len(payload):
        token = payload[offset]
        if token == 0xFD:
            statuses.append(struct.unpack_from("<H", payload, offset + 1)[0])
            offset += done_size
        elif token in (0xE3, 0xAB, 0xAA):
            offset += 3 + struct.unpack_from("<H", payload, offset + 1)[0]
        else:
            raise AssertionError(f"unexpected token {token:#x} at {offset}")
    return statuses


def tokens(payload, done_size=13):
    """(token, number) of every ERROR, ENVCHANGE (number = its type) and DONE (number = its
    status) of a reply without result sets."""
    found, offset = [], 0
    while offset < len(payload):
        token = payload[offset]
        if token == 0xFD:
            found.append((token, struct.unpack_from("<H", payload, offset + 1)[0]))
            offset += done_size
        elif token in (0xE3, 0xAB, 0xAA):
            number = payload[offset + 3] if token == 0xE3 else \
                struct.unpack_from("<i", payload, offset + 3)[0]
            found.append((token, number))
            offset += 3 + struct.unpack_from("<H", payload, offset + 1)[0]
        else:
            raise AssertionError(f"unexpected token {token:#x} at {offset}")
    return found


class ProtocolTest(StandInTestCase):
    ARGS = ("--hold", "held:5")

    def test_tsql_with_every_tds_version(self):
        for version in VERSIONS:
            with self.subTest(version=version):
                code, output, messages, errors = self.server.tsql(
                    "SELECT N'版' + 'x' AS v, CAST(7 AS bigint) AS b\ngo\nSELECT * FROM Missing\ngo\n"
                    "BEGIN TRAN SELECT @@TRANCOUNT AS t ROLLBACK\ngo\n", tds_version=version)
                self.assertEqual(messages, [(208, 16)], errors)
                lines = [line for line in output.splitlines() if line]
                self.assertEqual(lines, ["v\tb", "版x\t7", "t", "1"])

    def test_pytds_with_every_tds_version(self):
        for name, version in VERSIONS.items():
            with self.subTest(version=name), \
                    self.server.connect(tds_version=version, autocommit=False) as connection, \
                    connection.cursor() as cursor:
                cursor.execute("SELECT CAST(1 AS tinyint), CAST(-2 AS smallint), 3, 4000000000, "
                               "CAST(1 AS bit), NULL, N'あ'")
                self.assertEqual(cursor.fetchall(), [(1, -2, 3, 4000000000, True, None, "あ")])
                error = None
                try:
                    cursor.execute("SELECT 1 SELECT * FROM Missing")
                    cursor.nextset()
                except pytds.ProgrammingError as raised:
                    error = raised
                self.assertEqual(error.number if error else None, 208)
                connection.rollback()

    def test_multi_packet_request_and_reply(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            values = ", ".join(f"({n}, N'値{n:05}')" for n in range(3000))
            sql = "CREATE TABLE Big (N int, V nvarchar(20)) INSERT INTO Big VALUES " + values
            self.assertGreater(len(sql.encode("utf-16-le")), 3 * 4096)
            cursor.execute(sql)
            cursor.nextset()
            self.assertEqual(cursor.rowcount, 3000)
            cursor.execute("SELECT N, V FROM Big ORDER BY N")
            rows = cursor.fetchall()
            self.assertEqual(len(rows), 3000)
            self.assertEqual(rows[2999], (2999, "値02999"))
            cursor.execute("DROP TABLE Big")
        self.assertIn(sql, self.server.batches())

    def test_done_more_on_all_but_the_last_done(self):
        client = RawClient(self.server)
        try:
            client.batch("SET NOCOUNT ON SET ANSI_NULLS ON\r\nUSE master")
            payload, _ = client.read_message()
            self.assertEqual(done_statuses(payload), [0x01, 0x01, 0x00])
            client.batch("  ")
            self.assertEqual(done_statuses(client.read_message()[0]), [0x00])
        finally:
            client.close()

    def test_tds71_uses_short_done_tokens(self):
        client = RawClient(self.server, version=0x71000001)
        try:
            client.batch("SET NOCOUNT ON SET ANSI_NULLS ON")
            payload, _ = client.read_message()
            self.assertEqual(len(payload), 18)
            self.assertEqual(done_statuses(payload, done_size=9), [0x01, 0x00])
        finally:
            client.close()

    def test_attention_during_and_after_a_request(self):
        client = RawClient(self.server)
        try:
            client.batch("SELECT 'held'")
            client.send(0x06, b"")
            first, _ = client.read_message()
            second, _ = client.read_message()
            self.assertEqual(done_statuses(first), [0x00])
            self.assertEqual(done_statuses(second), [0x20])
            client.batch("SET NOCOUNT ON")
            client.read_message()
            client.send(0x06, b"")
            self.assertEqual(done_statuses(client.read_message()[0]), [0x20])
        finally:
            client.close()

    def test_reply_packets_are_split_at_4096_bytes(self):
        client = RawClient(self.server)
        try:
            client.batch("SELECT N'" + "x" * 3000 + "', N'" + "y" * 3000 + "'")
            payload, packets = client.read_message()
            self.assertGreater(len(payload), 12000)
            self.assertEqual(packets, (len(payload) + 4087) // 4088)
        finally:
            client.close()


class TransactionManagerTest(StandInTestCase):
    """Transaction-manager requests as FreeTDS sends them, after the server rolled the
    transaction back."""
    SEED = "CREATE TABLE Account (Id int PRIMARY KEY, Owner varchar(10))\n" \
           "INSERT INTO Account VALUES (1, 'before')"

    def request(self, client, body):
        client.send(0x0E, struct.pack("<IIHQI", 22, 18, 2, 0, 1) + body)
        return tokens(client.read_message()[0])

    def test_ending_a_transaction_the_server_rolled_back_fails_and_begins_none(self):
        for end, number in ((bytes([8, 0, 0, 1, 0, 0]), 3903), (bytes([7, 0, 0, 1, 0, 0]), 3902)):
            with self.subTest(number=number):
                client = RawClient(self.server)
                try:
                    self.assertEqual(self.request(client, bytes([5, 0, 0, 0])), [(0xE3, 8), (0xFD, 0)])
                    client.batch("UPDATE Account SET Owner = 'x' WHERE Id = 1")
                    client.read_message()
                    client.batch("UPDATE Account SET Owner = 'y' WHERE Id = CAST('z' AS int)")
                    # The error, then the rollback it caused.
                    self.assertEqual(tokens(client.read_message()[0]),
                                     [(0xAA, 245), (0xE3, 10), (0xFD, 2)])
                    self.assertEqual(self.request(client, end), [(0xAA, number), (0xFD, 2)])
                    client.batch("SELECT Owner FROM Account")
                    self.assertIn("before".encode("utf-16-le"), client.read_message()[0])
                    client.batch("SELECT @@TRANCOUNT")
                    self.assertIn(b"\xd1\x04\x00\x00\x00\x00", client.read_message()[0],
                                  "a ROW holding the int 0")
                finally:
                    client.close()


class CutReplyTest(StandInTestCase):
    ARGS = ("--drop-reply", "1", "--drop-reply", "2")

    def cut_reply(self, sql):
        """Sends sql on a new connection; returns (length in the packet header, bytes received)."""
        client = RawClient(self.server)
        try:
            client.batch(sql)
            received = b""
            for _ in range(100):
                chunk = client.socket.recv(65536)
                if not chunk:
                    break
                received += chunk
            else:
                self.fail("the server kept the connection open")
            return struct.unpack_from(">H", received, 2)[0], received
        finally:
            client.close()

    def test_the_reply_is_cut_inside_its_first_packet_and_the_connection_closed(self):
        length, received = self.cut_reply("SELECT N'" + "x" * 100 + "'")
        self.assertEqual(received[0:2], b"\x04\x01", "a one-packet reply: EOM set")
        self.assertLess(len(received), length)
        self.assertEqual(len(received) - 8, (length - 8) // 2, "about half of the reply")
        length, received = self.cut_reply("SELECT N'" + "y" * 6000 + "'")
        self.assertEqual((received[0:2], length), (b"\x04\x00", 4096), "the first of several packets")
        self.assertGreater(len(received), 8)
        self.assertLess(len(received), length)
        self.assertEqual(self.server.batches()[0], "SELECT N'" + "x" * 100 + "'")


if __name__ == "__main__":
    standin_harness.main(ADDRESS)
