"""The stand-in as pytds (python3-tds) sees it: one table of statements and the answers SQL
Server gives them, rows or error number and text."""

import collections

import pytds

import standin_harness
from standin_harness import StandInTestCase

SEED = """
CREATE DATABASE shop CREATE DATABASE latin COLLATE Latin1_General_CS_AS CREATE DATABASE frozen
CREATE DATABASE closed ALTER DATABASE closed SET OFFLINE CREATE DATABASE restored
CREATE DATABASE qnt8dat01 CREATE DATABASE QNTXDAT CREATE DATABASE qnt8def CREATE DATABASE qnt8def2
GO
USE shop
CREATE TABLE dbo.Bank (Code char(4) NOT NULL PRIMARY KEY, Name nvarchar(10), Kana varchar(6),
                       Kind tinyint)
INSERT INTO Bank VALUES ('0005', N'みらい銀行', 'ﾐﾗｲ', 1), ('0009', N'ひかり銀行', 'ﾋｶﾘ', 2)
GO
USE latin
CREATE TABLE Bank (Name varchar(10), Utf varchar(10) COLLATE Latin1_General_100_CI_AS_SC_UTF8)
INSERT INTO Bank VALUES (N'Café銀', N'みらい')
GO
USE frozen
CREATE TABLE T (V int)
ALTER DATABASE frozen SET READ_ONLY
"""

Error = collections.namedtuple("Error", "number text")
COLUMN_CHECK = ("SELECT system_type_id, collation_name, COLLATIONPROPERTY(collation_name, "
                "'CodePage') AS CodePage FROM sys.columns WHERE name = N'{}' "
                "AND object_id = Object_ID(N'[dbo].[Bank]')")

# (database, batches run before, batch, answer: the rows of its last result or its error)
CASES = [
    ("master", [], "SELECT name, state_desc, user_access_desc, is_read_only FROM sys.databases "
     "WHERE name LIKE 'c_osed' OR name LIKE 'fro%' OR name = 'restored' ORDER BY name",
     [("closed", "OFFLINE", "MULTI_USER", False), ("frozen", "ONLINE", "MULTI_USER", True),
      ("restored", "RESTORING", "MULTI_USER", False)]),
    ("master", [], "SELECT CAST(SERVERPROPERTY('Collation') AS nvarchar(128)), @@TRANCOUNT, "
     "DB_NAME()", [("Japanese_CI_AS", 0, "master")]),
    # The tool's catalog checks, under three collations.
    ("shop", [], COLUMN_CHECK.format("Kana"), [(167, "Japanese_CI_AS", 932)]),
    ("shop", [], COLUMN_CHECK.format("Name"), [(231, "Japanese_CI_AS", 932)]),
    ("latin", [], COLUMN_CHECK.format("Utf"), [(167, "Latin1_General_100_CI_AS_SC_UTF8", 65001)]),
    ("shop", [], "SELECT COUNT(id) FROM dbo.sysobjects WHERE id = object_id(N'[dbo].[bank]') "
     "AND OBJECTPROPERTY(id, N'IsUserTable') = 1;", [(1,)]),
    # The product's discovery of company databases.
    ("master", [], "SELECT name FROM sys.databases WHERE name LIKE 'qnt_dat%' OR name LIKE "
     "'qnt_def' ORDER BY name", [("qnt8dat01",), ("qnt8def",), ("QNTXDAT",)]),
    # Japanese_CI_AS ignores case, width, kana type and trailing blanks, but not leading blanks
    # or the voicing marks.
    ("master", [], "SELECT name FROM sys.databases WHERE name = N'ＳＨＯＰ  '", [("shop",)]),
    ("shop", [], "SELECT Code FROM Bank WHERE Name = N'ﾐﾗｲ銀行' OR Kana = 'ﾋﾟｶﾘ' OR Kana = ' ﾋｶﾘ'",
     [("0005",)]),
    # Lengths in bytes of the code page; characters it lacks become '?'.
    ("shop", [], "SELECT DATALENGTH(Name), DATALENGTH(Kana), DATALENGTH('ｱ銀'), DATALENGTH(Code), "
     "Code FROM shop.dbo.Bank WHERE Code = 0005", [(10, 3, 3, 4, "0005")]),
    ("latin", [], "SELECT Name, DATALENGTH(Name), Utf, DATALENGTH(Utf) FROM Bank",
     [("Café?", 5, "みらい", 9)]),
    ("shop", [], "SELECT CODE FROM BANK WHERE kana LIKE 'ﾐ%'", [("0005",)]),
    ("latin", [], "SELECT Name FROM BANK", Error(208, "Invalid object name 'BANK'.")),
    ("latin", [], "SELECT NAME FROM Bank", Error(207, "Invalid column name 'NAME'.")),
    ("shop", [], "SELECT * FROM other.dbo.Bank",
     Error(40000, "The stand-in server does not support names in another database "
           "('other.dbo.Bank').")),
    # A conversion error ends the batch and rolls the transaction back.
    ("shop", ["BEGIN TRANSACTION UPDATE Bank SET Kind = 7 WHERE Code = 5 "
              "UPDATE Bank SET Kind = 'x'"],
     "SELECT Kind, @@TRANCOUNT FROM Bank WHERE Code = 5", [(1, 0)]),
    ("shop", ["BEGIN TRANSACTION UPDATE Bank SET Kind = 'x'"], "COMMIT TRANSACTION",
     Error(3902, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.")),
    ("shop", ["BEGIN TRANSACTION"], "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION\r\n"
     "SELECT @@TRANCOUNT", [(0,)]),
    ("shop", [], "UPDATE Bank SET Kind = 'x'",
     Error(245, "Conversion failed when converting the varchar value 'x' to data type tinyint.")),
    ("shop", [], "UPDATE Bank SET Kana = N'ﾐﾗｲｷﾞﾝｺｳ' WHERE Code = 5",
     Error(2628, "String or binary data would be truncated in table 'shop.dbo.Bank', column "
           "'Kana'. Truncated value: 'ﾐﾗｲｷﾞﾝ'.")),
    ("shop", [], "INSERT INTO Bank (Name) VALUES (N'x')",
     Error(515, "Cannot insert the value NULL into column 'Code', table 'shop.dbo.Bank'; column "
           "does not allow nulls. INSERT fails.")),
    ("shop", [], "INSERT INTO Bank (Code, Name) VALUES ('0001')",
     Error(109, "There are more columns in the INSERT statement than values specified in the "
           "VALUES clause. The number of values in the VALUES clause must match the number of "
           "columns specified in the INSERT statement.")),
    # Database states.
    ("master", [], "USE closed", Error(942, "Database 'closed' cannot be opened because it is "
                                       "offline.")),
    ("master", [], "USE restored",
     Error(927, "Database 'restored' cannot be opened. It is in the middle of a restore.")),
    ("master", [], "USE nowhere", Error(911, "Database 'nowhere' does not exist. Make sure that "
                                        "the name is entered correctly.")),
    ("frozen", [], "INSERT INTO T VALUES (1)",
     Error(3906, 'Failed to update database "frozen" because the database is read-only.')),
    # What the stand-in does not know fails as SQL Server fails on what does not exist.
    ("shop", [], "SELECT FROM Bank", Error(156, "Incorrect syntax near the keyword 'FROM'.")),
    ("shop", [], "SELECT LEN(Name) FROM Bank",
     Error(195, "'LEN' is not a recognized built-in function name.")),
    ("shop", [], "SELECT @@VERSION", Error(137, 'Must declare the scalar variable "@@VERSION".')),
]


def answer(cursor, batch):
    """The rows of the batch's last result, or its error."""
    try:
        cursor.execute(batch)
        rows = cursor.fetchall() if cursor.description else []
        while cursor.nextset():
            if cursor.description:
                rows = cursor.fetchall()
        return [tuple(row) for row in rows]
    except pytds.Error as error:
        return Error(error.number, error.text)


class StatementTest(StandInTestCase):
    SEED = SEED
    ARGS = ("--restoring", "restored")

    def test_statements_answer_as_on_sql_server(self):
        for database, before, batch, expected in CASES:
            with self.subTest(batch=batch), self.server.connect(database) as connection, \
                    connection.cursor() as cursor:
                for earlier in before:
                    answer(cursor, earlier)
                self.assertEqual(answer(cursor, batch), expected)

    def test_logins_fail_with_18456(self):
        cases = [({"password": "oravend-test1"}, "Login failed for user 'sa'."),
                 ({"database": "nowhere"}, 'Cannot open database "nowhere" requested by the '
                                           'login. The login failed.')]
        for arguments, text in cases:
            with self.subTest(arguments=arguments), self.assertRaises(pytds.Error) as raised:
                self.server.connect(disable_connect_retry=True, **arguments)
            self.assertEqual(raised.exception.number, 18456)
            self.assertIn(text, str(raised.exception))

    def test_a_lock_wait_ends_at_the_lock_timeout_and_leaves_the_transaction_open(self):
        with self.server.connect("shop") as holder, holder.cursor() as holding, \
                self.server.connect("shop") as waiter, waiter.cursor() as waiting:
            holding.execute("BEGIN TRANSACTION UPDATE Bank SET Kind = 3 WHERE Code = 9")
            waiting.execute("SET LOCK_TIMEOUT 100 BEGIN TRANSACTION")
            self.assertEqual(answer(waiting, "UPDATE Bank SET Kind = 4 WHERE Code = 9"),
                             Error(1222, "Lock request time out period exceeded."))
            self.assertEqual(answer(waiting, "SELECT @@TRANCOUNT"), [(1,)])
            holding.execute("ROLLBACK TRANSACTION")


if __name__ == "__main__":
    standin_harness.main("127.0.0.11")
