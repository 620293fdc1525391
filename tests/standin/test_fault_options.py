"""The fault options the product's tests rely on: each hits the batch it names, and the wire log
holds every batch that reached the server."""

import pytds

import standin_harness
from standin_harness import StandIn, StandInTestCase

SEED = "CREATE TABLE T (V int)\nINSERT INTO T VALUES (1)"
LOST, TIMEOUT = "lost", "timeout"
WRITE = "BEGIN TRANSACTION UPDATE T SET V = 2"

# (options, batches sent on one connection, what each gets: its rows, its error number, LOST or
# TIMEOUT, how many of them reached the server, and V as a new connection then reads it)
FAULTS = [
    (("--fail-batch", "2:229"), ["SELECT 1", "SELECT 2", "SELECT 3"], [[(1,)], 229, [(3,)]], 3, 1),
    (("--fail-text", "COMMIT TRANSACTION:1205"),
     [WRITE, "COMMIT TRANSACTION", "SELECT @@TRANCOUNT"], [[], 1205, [(0,)]], 3, 1),
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


class FaultTest(StandInTestCase):
    def test_faults_hit_the_chosen_batch_and_every_batch_is_logged(self):
        for options, batches, expected, received, value in FAULTS:
            with self.subTest(options=options):
                server = StandIn(self.BINARY, self.ADDRESS, *options, seed=SEED)
                self.addCleanup(server.stop)
                with server.connect(timeout=2) as connection, connection.cursor() as cursor:
                    self.assertEqual([outcome(cursor, batch) for batch in batches], expected)
                with server.connect() as connection, connection.cursor() as cursor:
                    cursor.execute("SELECT V FROM T")
                    self.assertEqual(cursor.fetchall(), [(value,)])
                self.assertEqual(server.batches(), batches[:received] + ["SELECT V FROM T"])


if __name__ == "__main__":
    standin_harness.main("127.0.0.12")
