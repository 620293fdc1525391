"""The stand-in as FreeTDS's tsql sees it, over each TDS version it speaks: one table of scripts
and the rows and messages SQL Server answers them with."""

import standin_harness
from standin_harness import StandInTestCase

SEED = """
CREATE DATABASE shop
GO
USE shop
CREATE TABLE Bank (Code char(4) NOT NULL PRIMARY KEY, Name nvarchar(10), Kana varchar(6))
INSERT INTO Bank VALUES ('0005', N'みらい銀行', 'ﾐﾗｲ'), ('0009', N'ひかり銀行', 'ﾋｶﾘ')
"""

SELECT = "SELECT Name, Kana FROM Bank ORDER BY Code"
SELECTED = [["Name", "Kana"], ["みらい銀行", "ﾐﾗｲ"], ["ひかり銀行", "ﾋｶﾘ"]]

# (TDS version, script, rows printed, messages as (number, severity))
CASES = [(version, SELECT, SELECTED, []) for version in ("7.1", "7.2", "7.3", "7.4")] + [
    ("7.4", "INSERT INTO Bank VALUES ('0001', N'x', 'ﾐﾗｲｷﾞﾝｺｳ')\n"
     "INSERT INTO Bank VALUES ('0005', N'dup', 'x')\nSELECT COUNT(*) AS n FROM Bank",
     [["n"], ["2"]], [(2628, 16), (3621, 0), (2627, 14), (3621, 0)]),
    ("7.4", "BEGIN TRANSACTION\nUPDATE Bank SET Kana = 'x'\ngo\nROLLBACK\ngo\n"
     "SELECT COUNT(*) AS n FROM Bank WHERE Kana = 'x'", [["n"], ["0"]], []),
    ("7.4", "SELEC Name FROM Bank", [], [(102, 15)]),
    ("7.4", "UPDATE Bank SET Kana = 'y' WHERE Code = 1 UPDATE Missing SET A = 1", [], [(208, 16)]),
]


def rows(output):
    """Non-empty output lines split at tabs."""
    return [line.split("\t") for line in output.splitlines() if line.strip()]


class TsqlTest(StandInTestCase):
    SEED = SEED

    def test_scripts_answer_as_on_sql_server(self):
        for version, script, expected_rows, expected_messages in CASES:
            with self.subTest(version=version, script=script):
                output, messages = self.server.tsql(script + "\ngo\n", database="shop",
                                                    tds_version=version)
                self.assertEqual((rows(output), messages), (expected_rows, expected_messages))


if __name__ == "__main__":
    standin_harness.main("127.0.0.10")
