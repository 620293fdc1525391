"""The stand-in as FreeTDS's tsql sees it: login, queries, databases, transactions, errors and
time-outs."""

import os
import tempfile

import standin_harness
from standin_harness import StandInTestCase

SEED = """
CREATE DATABASE shop
GO
CREATE DATABASE secret
GO
USE shop
CREATE TABLE Item (Id int PRIMARY KEY, Name varchar(20), Code char(4))
INSERT INTO Item VALUES (1, 'apple', '0001'), (2, 'pear', 'x')
"""


def rows(output):
    """Non-empty output lines split at tabs."""
    return [line.split("\t") for line in output.splitlines() if line.strip()]


class TsqlTest(StandInTestCase):
    SEED = SEED
    ARGS = ("--refuse-use", "secret", "--hold", "'held':5")

    def run_tsql(self, script, **kwargs):
        return self.server.tsql(script.strip() + "\ngo\n", **kwargs)

    def test_login_and_query(self):
        code, output, messages, _ = self.run_tsql("SELECT Name, Id FROM Item ORDER BY Id", database="shop")
        self.assertEqual((code, messages), (0, []))
        self.assertEqual(rows(output), [["Name", "Id"], ["apple", "1"], ["pear", "2"]])

    def test_bad_password_is_refused_with_18456(self):
        code, output, messages, errors = self.run_tsql("SELECT 1", password="wrong")
        self.assertNotEqual(code, 0)
        self.assertEqual(messages, [(18456, 14)])
        self.assertIn("Login failed for user 'sa'.", errors)
        logins = [entry for entry in self.server.wire_log() if entry["kind"] == "login"]
        self.assertIn(False, [entry["ok"] for entry in logins])

    def test_windows_authentication_is_refused_with_18452(self):
        code, _, messages, errors = self.run_tsql("SELECT 1", user="CORP\\user")
        self.assertNotEqual(code, 0)
        self.assertEqual(messages, [(18452, 14)])
        self.assertIn("cannot be used with Integrated authentication", errors)

    def test_statement_errors_end_only_their_statement(self):
        _, output, messages, _ = self.run_tsql(
            "INSERT INTO Item VALUES (3, 'a name that is far too long', 'c')\n"
            "INSERT INTO Item VALUES (1, 'duplicate', 'd')\n"
            "SELECT COUNT(*) AS n FROM Item", database="shop")
        self.assertEqual(messages, [(2628, 16), (3621, 0), (2627, 14), (3621, 0)])
        self.assertEqual(rows(output), [["n"], ["2"]])

    def test_change_database_by_login_and_by_use(self):
        code, output, messages, _ = self.run_tsql(
            "SELECT DB_NAME()\ngo\nUSE master\ngo\nSELECT DB_NAME()\ngo\nUSE [SHOP]\ngo\n"
            "SELECT COUNT(*) FROM Item", database="shop")
        self.assertEqual((code, messages), (0, []))
        self.assertEqual([row[0] for row in rows(output)], ["shop", "master", "2"])

    def test_update_commit_and_rollback(self):
        script = ("BEGIN TRANSACTION\nUPDATE Item SET Name = 'rolled' WHERE Id = 1\ngo\n"
                  "ROLLBACK\ngo\n"
                  "SELECT Name FROM Item WHERE Id = 1\ngo\n"
                  "BEGIN TRAN UPDATE Item SET Name = 'banana' WHERE Id = 2 COMMIT TRAN\ngo\n"
                  "SELECT Name FROM Item WHERE Id = 2\ngo\n"
                  "UPDATE Item SET Name = 'pear' WHERE Id = 2")
        code, output, messages, _ = self.run_tsql(script, database="shop")
        self.assertEqual((code, messages), (0, []))
        self.assertEqual(rows(output), [["Name"], ["apple"], ["Name"], ["banana"]])

    def test_error_numbers(self):
        cases = [("SELEC * FROM Item", 102), ("SELECT Nope FROM Item", 207),
                 ("SELECT * FROM Nothing", 208), ("SELECT * FROM Item WHERE Code = 1", 245),
                 ("USE nowhere", 911), ("USE secret", 916)]
        for sql, number in cases:
            with self.subTest(sql=sql):
                _, _, messages, errors = self.run_tsql(sql, database="shop")
                self.assertEqual([message[0] for message in messages], [number], errors)

    def test_error_in_second_statement_keeps_the_first_and_reports_208(self):
        script = ("UPDATE Item SET Name = 'first' WHERE Id = 1 UPDATE Missing SET Name = 1\ngo\n"
                  "SELECT Name FROM Item WHERE Id = 1\ngo\n"
                  "UPDATE Item SET Name = 'apple' WHERE Id = 1")
        _, output, messages, _ = self.run_tsql(script, database="shop")
        self.assertEqual(messages, [(208, 16)])
        self.assertEqual(rows(output), [["Name"], ["first"]])

    def test_query_timeout_on_a_held_batch(self):
        with tempfile.TemporaryDirectory() as directory:
            config = os.path.join(directory, "freetds.conf")
            with open(config, "w", encoding="ascii") as file:
                file.write("[global]\n\ttds version = 7.4\n\ttimeout = 1\n")
            _, _, _, errors = self.run_tsql("UPDATE Item SET Name = 'held' WHERE Id = 1",
                                            database="shop", config=config)
        # tsql gives up the connection after its time-out; the held batch never ran.
        self.assertIn("Error 20003", errors)
        code, output, messages, _ = self.run_tsql("SELECT Name FROM Item WHERE Id = 1", database="shop")
        self.assertEqual((code, messages, rows(output)), (0, [], [["Name"], ["apple"]]))


if __name__ == "__main__":
    standin_harness.main("127.0.0.10")
