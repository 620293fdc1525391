"""The stand-in as pytds (python3-tds) sees it: login, queries, databases, transactions, errors,
time-outs and multi-statement batches."""

import threading
import time


import standin_harness
from standin_harness import StandInTestCase, error_of

SEED = """
CREATE DATABASE qnt8sys
GO
CREATE DATABASE qnt_dat01
GO
CREATE DATABASE [qnt_def]
GO
CREATE DATABASE other
GO
USE qnt_dat01
CREATE TABLE dbo.Bank (Code varchar(4) NOT NULL PRIMARY KEY, Name nvarchar(20) NULL,
                       Kana char(6) NULL, Kind tinyint NULL, Amount bigint NULL, Active bit NULL)
INSERT INTO Bank (Code, Name, Kana, Kind, Amount, Active)
VALUES ('0005', N'青葉銀行', 'ｱｵﾊﾞｷ', 1, 5000000000, 1), ('0009', N'光陽銀行', 'ｺｳﾖｳ', 2, NULL, 0)
CREATE TABLE Branch (Code char(4) NOT NULL, Branch smallint NOT NULL, Name varchar(10) NULL,
                     PRIMARY KEY (Code, Branch))
INSERT INTO Branch VALUES ('0005', 1, 'Head'), ('0005', 2, 'East'), ('0009', 1, 'Head')
"""


class LoginTest(StandInTestCase):
    SEED = SEED

    def test_good_login_reaches_master(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT DB_NAME(), SUSER_SNAME(), @@TRANCOUNT")
            self.assertEqual(cursor.fetchall(), [("master", "sa", 0)])

    def test_login_name_is_case_insensitive_but_password_is_not(self):
        with self.server.connect(user="SA") as connection:
            self.assertIsNotNone(connection)
        error = error_of(lambda: self.server.connect(password="oravend-test1"))
        self.assertEqual(error.number, 18456)
        self.assertIn("Login failed for user 'sa'.", str(error))

    def test_login_database_is_current_after_login(self):
        with self.server.connect(database="QNT_DAT01") as connection, connection.cursor() as cursor:
            cursor.execute("SELECT DB_NAME()")
            self.assertEqual(cursor.fetchone()[0], "qnt_dat01")
        # pytds sends a USE of its own only when the announced name differs from the requested.
        with self.server.connect(database="qnt_def") as connection, connection.cursor() as cursor:
            cursor.execute("SELECT 'probe', DB_NAME()")
            self.assertEqual(cursor.fetchone(), ("probe", "qnt_def"))
        batches = self.server.batches()
        self.assertIn("use [QNT_DAT01]", batches)
        self.assertNotIn("use [qnt_def]", batches)

    def test_unknown_login_database_fails_with_4060_and_18456(self):
        error = error_of(lambda: self.server.connect(database="nodb", disable_connect_retry=True))
        self.assertEqual(error.number, 18456)
        self.assertIn('Cannot open database "nodb" requested by the login.', str(error))


class QueryTest(StandInTestCase):
    SEED = SEED

    def setUp(self):
        self.connection = self.server.connect(database="qnt_dat01")
        self.cursor = self.connection.cursor()

    def tearDown(self):
        self.connection.close()

    def test_values_come_back_typed_and_char_columns_padded(self):
        self.cursor.execute("SELECT Code, Name, Kana, Kind, Amount, Active FROM Bank ORDER BY Code")
        self.assertEqual(self.cursor.fetchall(), [
            ("0005", "青葉銀行", "ｱｵﾊﾞｷ ", 1, 5000000000, True),
            ("0009", "光陽銀行", "ｺｳﾖｳ  ", 2, None, False),
        ])
        self.assertEqual([column[0] for column in self.cursor.description],
                         ["Code", "Name", "Kana", "Kind", "Amount", "Active"])

    def test_star_top_order_and_aliases(self):
        self.cursor.execute("SELECT TOP 2 * FROM dbo.Branch ORDER BY Branch DESC, Code")
        self.assertEqual(self.cursor.fetchall(), [("0005", 2, "East"), ("0005", 1, "Head")])
        self.cursor.execute("SELECT COUNT(*) AS n, MAX(Branch) AS [top] FROM [dbo].[Branch] "
                            "WHERE Name LIKE 'h%' AND Code = 5")
        self.assertEqual(self.cursor.fetchall(), [(1, 1)])
        self.assertEqual([column[0] for column in self.cursor.description], ["n", "top"])

    def test_text_compares_ignore_case_and_trailing_blanks(self):
        self.cursor.execute("SELECT COUNT(*) FROM Branch WHERE Name = 'HEAD   '")
        self.assertEqual(self.cursor.fetchone()[0], 2)
        self.cursor.execute("SELECT COUNT(*) FROM Bank WHERE Kana = N'ｱｵﾊﾞｷ'")
        self.assertEqual(self.cursor.fetchone()[0], 1)

    def test_catalog_queries_the_tool_sends(self):
        queries = {
            "SELECT COUNT(name) from sys.databases WHERE name = 'qnt8sys'": 1,
            "SELECT COUNT(name) from sys.databases WHERE name = 'QNT8SYS'": 1,
            "SELECT COUNT(name) from sys.databases WHERE name = 'qnt9sys'": 0,
            "SELECT COUNT(name) from sys.databases WHERE name = 'O''Brien'": 0,
            "SELECT COUNT(name) from sys.databases WHERE name LIKE 'qnt%'": 3,
            "SELECT COUNT(id) FROM dbo.sysobjects WHERE id = object_id(N'[dbo].[Bank]') "
            "AND OBJECTPROPERTY(id, N'IsUserTable') = 1;": 1,
            "SELECT COUNT(id) FROM dbo.sysobjects WHERE id = object_id(N'[dbo].[Nothing]') "
            "AND OBJECTPROPERTY(id, N'IsUserTable') = 1;": 0,
            "SELECT COUNT(object_id) FROM sys.columns WHERE Name = N'kana' "
            "AND Object_ID = OBJECT_ID(N'[dbo].[Bank]')": 1,
            "SELECT COUNT(object_id) FROM sys.columns WHERE Name = N'Kana' "
            "AND Object_ID = OBJECT_ID(N'[dbo].[Branch]')": 0,
            "SELECT COUNT(name) As 'Count' FROM sys.columns WHERE name = 'Name' "
            "AND object_id = Object_ID('[dbo].[Branch]')": 1,
        }
        for sql, expected in queries.items():
            with self.subTest(sql=sql):
                self.cursor.execute(sql)
                self.assertEqual(self.cursor.fetchall(), [(expected,)])
        self.assertEqual(self.cursor.description[0][0], "Count")

    def test_database_listing_is_in_database_id_order_with_catalog_column_name(self):
        self.cursor.execute("SELECT NAME FROM SYS.DATABASES WHERE NAME LIKE 'qnt_dat%' "
                            "OR NAME LIKE 'qnt_def'")
        self.assertEqual(self.cursor.fetchall(), [("qnt_dat01",), ("qnt_def",)])
        self.assertEqual(self.cursor.description[0][0], "name")
        self.cursor.execute("SELECT name, database_id FROM sys.databases")
        names = [row[0] for row in self.cursor.fetchall()]
        self.assertEqual(names[:4], ["master", "tempdb", "model", "msdb"])
        self.assertEqual(names[4:], ["qnt8sys", "qnt_dat01", "qnt_def", "other"])

    def test_object_id_and_objectproperty(self):
        self.cursor.execute("SELECT OBJECT_ID('Bank'), OBJECT_ID('dbo.Bank'), OBJECT_ID('[dbo].[Bank]'),"
                            " OBJECT_ID('guest.Bank'), OBJECT_ID('[dbo'), OBJECT_ID('qnt_dat01.dbo.Bank'),"
                            " OBJECTPROPERTY(-5, 'IsUserTable')")
        row = self.cursor.fetchone()
        self.assertIsInstance(row[0], int)
        self.assertEqual(row[0], row[1])
        self.assertEqual(row[0], row[2])
        self.assertEqual(row[0], row[5])
        self.assertEqual(row[3:5] + row[6:], (None, None, None))


class DatabaseChangeTest(StandInTestCase):
    SEED = SEED
    ARGS = ("--refuse-use", "other")

    def test_use_changes_current_database_in_all_spellings(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            for statement, expected in [("USE qnt_dat01", "qnt_dat01"), ("USE [qnt_def]", "qnt_def"),
                                        ('USE "QNT8SYS"', "qnt8sys"), ("use master", "master")]:
                cursor.execute(statement)
                cursor.execute("SELECT DB_NAME()")
                self.assertEqual(cursor.fetchone()[0], expected)

    def test_missing_database_is_911_and_current_database_stays(self):
        with self.server.connect(database="qnt_def") as connection, connection.cursor() as cursor:
            error = error_of(lambda: cursor.execute("USE [no]]such]"))
            self.assertEqual(error.number, 911)
            self.assertIn("Database 'no]such' does not exist.", str(error))
            cursor.execute("SELECT DB_NAME()")
            self.assertEqual(cursor.fetchone()[0], "qnt_def")

    def test_refused_database_is_916_by_use_and_by_login(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            error = error_of(lambda: cursor.execute("USE [OTHER]"))
            self.assertEqual((error.number, error.severity), (916, 14))
            self.assertIn('The server principal "sa" is not able to access the database "other"',
                          str(error))
        error = error_of(lambda: self.server.connect(database="other", disable_connect_retry=True))
        self.assertIn("is not able to access the database", str(error))


class TransactionTest(StandInTestCase):
    SEED = "CREATE TABLE Account (Id int PRIMARY KEY, Owner varchar(10))\n" \
           "INSERT INTO Account VALUES (1, 'before')"

    def owner(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT Owner FROM Account WHERE Id = 1")
            return cursor.fetchone()[0]

    def test_rollback_leaves_no_trace_and_commit_persists(self):
        with self.server.connect(autocommit=False) as connection, connection.cursor() as cursor:
            cursor.execute("UPDATE Account SET Owner = 'rolled' WHERE Id = 1")
            cursor.execute("CREATE TABLE Scratch (x int)")
            cursor.execute("SELECT @@TRANCOUNT")
            self.assertEqual(cursor.fetchone()[0], 1)
            connection.rollback()
            self.assertEqual(self.owner(), "before")
            cursor.execute("SELECT OBJECT_ID('Scratch')")
            self.assertIsNone(cursor.fetchone()[0])
            cursor.execute("UPDATE Account SET Owner = 'during' WHERE Id = 1")
            self.assertEqual(self.owner(), "before", "others see only committed data")
            connection.commit()
            self.assertEqual(self.owner(), "during")
            cursor.execute("UPDATE Account SET Owner = 'before' WHERE Id = 1")
            connection.commit()
        kinds = [(entry["request"], entry["new_transaction"])
                 for entry in self.server.wire_log() if entry["kind"] == "tm"]
        self.assertEqual(kinds[0], ("begin", False))
        self.assertIn(("rollback", True), kinds)
        self.assertIn(("commit", True), kinds)

    def test_sql_text_transactions_and_their_errors(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("BEGIN TRAN UPDATE Account SET Owner = 'x' WHERE Id = 1 ROLLBACK")
            self.assertEqual(self.owner(), "before")
            cursor.execute("BEGIN TRANSACTION; BEGIN TRAN; SELECT @@TRANCOUNT")
            self.assertEqual(cursor.fetchone()[0], 2)
            cursor.execute("COMMIT TRAN; COMMIT TRANSACTION; SELECT @@TRANCOUNT")
            self.assertEqual(cursor.fetchone()[0], 0)
            self.assertEqual(error_of(lambda: cursor.execute("COMMIT")).number, 3902)
            self.assertEqual(error_of(lambda: cursor.execute("ROLLBACK TRANSACTION")).number, 3903)
            cursor.execute("IF @@TRANCOUNT > 0 ROLLBACK")
            cursor.execute("BEGIN TRANSACTION")
            cursor.execute("UPDATE Account SET Owner = 'kept' WHERE Id = 1")
            cursor.execute("IF @@TRANCOUNT > 0 COMMIT BEGIN TRANSACTION")
            cursor.execute("UPDATE Account SET Owner = 'dropped' WHERE Id = 1")
            cursor.execute("IF @@TRANCOUNT > 0 ROLLBACK BEGIN TRANSACTION")
            cursor.execute("SELECT @@TRANCOUNT")
            self.assertEqual(cursor.fetchone()[0], 1)
            cursor.execute("IF @@TRANCOUNT > 0 ROLLBACK")
        self.assertEqual(self.owner(), "kept")
        with self.server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("UPDATE Account SET Owner = 'before' WHERE Id = 1")

    def test_errors_do_not_end_an_open_transaction(self):
        with self.server.connect(autocommit=False) as connection, connection.cursor() as cursor:
            cursor.execute("UPDATE Account SET Owner = 'pending' WHERE Id = 1")
            self.assertEqual(error_of(lambda: cursor.execute("SELECT * FROM Missing")).number, 208)
            self.assertEqual(error_of(lambda: cursor.execute("INSERT INTO Account VALUES (1, 'dup')"))
                             .number, 2627)
            cursor.execute("SELECT @@TRANCOUNT, Owner FROM Account WHERE Id = 1")
            self.assertEqual(cursor.fetchone(), (1, "pending"))
            connection.rollback()
        self.assertEqual(self.owner(), "before")

    def test_a_lock_held_by_another_transaction_waits_until_lock_timeout(self):
        with self.server.connect(autocommit=False) as holder, holder.cursor() as held:
            held.execute("UPDATE Account SET Owner = 'locked' WHERE Id = 1")
            with self.server.connect() as other, other.cursor() as cursor:
                cursor.execute("SET LOCK_TIMEOUT 300")
                started = time.monotonic()
                error = error_of(lambda: cursor.execute("UPDATE Account SET Owner = 'x' WHERE Id = 1"))
                self.assertEqual((error.number, error.severity, error.state), (1222, 16, 56))
                self.assertGreaterEqual(time.monotonic() - started, 0.3)
                cursor.execute("SELECT Owner FROM Account WHERE Id = 1")
                self.assertEqual(cursor.fetchone()[0], "before")
            holder.rollback()

    def test_without_lock_timeout_only_the_clients_time_out_ends_the_wait(self):
        with self.server.connect(autocommit=False) as holder, holder.cursor() as held:
            held.execute("UPDATE Account SET Owner = 'locked' WHERE Id = 1")
            with self.server.connect(timeout=2) as other, other.cursor() as cursor:
                cursor.execute("BEGIN TRANSACTION")
                started = time.monotonic()
                with self.assertRaises(TimeoutError):
                    cursor.execute("UPDATE Account SET Owner = 'waiting' WHERE Id = 1")
                self.assertGreaterEqual(time.monotonic() - started, 2)
                # The cancel ends the statement; the transaction stays open, as on SQL Server.
                cursor.execute("SELECT @@TRANCOUNT")
                self.assertEqual(cursor.fetchone()[0], 1)
                cursor.execute("ROLLBACK")
            holder.rollback()
        self.assertEqual(self.owner(), "before")


class TransactionAbortTest(StandInTestCase):
    """IMPLICIT_TRANSACTIONS as Microsoft's drivers use it, and the errors that roll back the
    transaction they occur in."""
    SEED = TransactionTest.SEED
    ARGS = ("--fail-text", "DEADLOCK:1205")

    def owner(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT Owner FROM Account WHERE Id = 1")
            return cursor.fetchone()[0]

    def trancount(self, cursor):
        cursor.execute("SELECT @@TRANCOUNT")
        return cursor.fetchone()[0]

    def test_implicit_transactions_open_with_the_first_data_statement(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SET IMPLICIT_TRANSACTIONS ON")
            self.assertEqual(self.trancount(cursor), 0, "a SELECT without a table opens none")
            cursor.execute("UPDATE Account SET Owner = 'implicit' WHERE Id = 1")
            self.assertEqual(self.trancount(cursor), 1)
            self.assertEqual(self.owner(), "before")
            cursor.execute("COMMIT")
            self.assertEqual((self.trancount(cursor), self.owner()), (0, "implicit"))
            cursor.execute("SELECT Owner FROM Account")
            cursor.fetchall()
            self.assertEqual(self.trancount(cursor), 1, "a SELECT from a table opens one")
            cursor.execute("UPDATE Account SET Owner = 'discarded' WHERE Id = 1")
            cursor.execute("ROLLBACK")
            self.assertEqual(self.owner(), "implicit")
            cursor.execute("BEGIN TRANSACTION")
            self.assertEqual(self.trancount(cursor), 2, "BEGIN opens the implicit one first")
            cursor.execute("ROLLBACK")
            cursor.execute("SET IMPLICIT_TRANSACTIONS OFF")
            cursor.execute("UPDATE Account SET Owner = 'before' WHERE Id = 1")
            self.assertEqual((self.trancount(cursor), self.owner()), (0, "before"))

    def test_batch_aborting_errors_roll_the_transaction_back(self):
        cases = [("UPDATE Account SET Owner = 'z' WHERE Id = CAST('x' AS int)", 245, 16),
                 ("UPDATE Account SET Owner = 'y' WHERE Owner = 5", 245, 16),
                 ("SELECT 'DEADLOCK'", 1205, 13)]
        for sql, number, severity in cases:
            with self.subTest(sql=sql), self.server.connect() as connection, \
                    connection.cursor() as cursor:
                cursor.execute("BEGIN TRANSACTION UPDATE Account SET Owner = 'x' WHERE Id = 1")
                error = error_of(lambda: cursor.execute(sql))
                self.assertEqual((error.number, error.severity), (number, severity))
                self.assertEqual(self.trancount(cursor), 0)
                self.assertEqual(self.owner(), "before")
                self.assertEqual(error_of(lambda: cursor.execute("ROLLBACK")).number, 3903)
                self.assertEqual(error_of(lambda: cursor.execute("COMMIT")).number, 3902)


class BatchTest(StandInTestCase):
    SEED = ("CREATE TABLE A (K varchar(4), X nvarchar(10))\n"
            "CREATE TABLE B (K char(4), Y nvarchar(10))\n"
            "INSERT INTO A VALUES ('0005', 'a0'), ('0006', 'a1')\n"
            "INSERT INTO B VALUES ('0005', 'b0'), ('abc', 'b1')\n")

    def setUp(self):
        self.connection = self.server.connect()
        self.cursor = self.connection.cursor()
        self.cursor.execute("UPDATE A SET X = 'a0' WHERE K = '0005' UPDATE A SET X = 'a1' WHERE K = '0006' "
                            "UPDATE B SET Y = 'b0' WHERE K = '0005' UPDATE B SET Y = 'b1' WHERE K = 'abc'")

    def tearDown(self):
        self.connection.close()

    def values(self, table):
        self.cursor.execute(f"SELECT {'X' if table == 'A' else 'Y'} FROM {table} ORDER BY K")
        return [row[0] for row in self.cursor.fetchall()]

    def test_statements_without_separators_and_numbers_compared_to_text(self):
        self.cursor.execute("UPDATE A SET X = 'new' WHERE K = 0005\r\nUPDATE A SET X = N'次' WHERE K = 6\r\n")
        self.assertEqual(self.cursor.rowcount, 1)
        self.cursor.nextset()
        self.assertEqual(self.cursor.rowcount, 1)
        self.assertEqual(self.values("A"), ["new", "次"])

    def test_conversion_error_aborts_the_rest_of_the_batch(self):
        self.cursor.execute("UPDATE A SET X = 'done' WHERE K = 5 "
                            "UPDATE B SET Y = 'never' WHERE K = 5 UPDATE A SET X = 'never'")
        error = error_of(self.cursor.nextset)
        self.assertEqual((error.number, error.severity), (245, 16))
        self.assertIn("Conversion failed when converting the varchar value 'abc ' to data type int.",
                      str(error))
        self.assertEqual(self.values("A"), ["done", "a1"])
        self.assertEqual(self.values("B"), ["b0", "b1"])

    def test_missing_table_in_second_statement_keeps_the_first(self):
        self.cursor.execute("UPDATE A SET X = 'kept' WHERE K = '0005'; UPDATE Nowhere SET X = 1")
        self.assertEqual(self.cursor.rowcount, 1)
        self.assertEqual(error_of(self.cursor.nextset).number, 208)
        self.assertEqual(self.values("A"), ["kept", "a1"])

    def test_unknown_column_and_syntax_errors_stop_the_whole_batch(self):
        for sql, number in [("UPDATE A SET X = 'no' UPDATE B SET Nope = 1", 207),
                            ("UPDATE A SET X = 'no' UPDATE B SET", 102),
                            ("UPDATE A SET X = 'no' SELECT * FROM B WHERE", 102),
                            ("UPDATE A SET X = 'no' SELECT FROM B", 156)]:
            with self.subTest(sql=sql):
                self.assertEqual(error_of(lambda: self.cursor.execute(sql)).number, number)
                self.assertEqual(self.values("A"), ["a0", "a1"])

    def test_statement_error_ends_only_that_statement(self):
        error = error_of(lambda: self.cursor.execute(
            "INSERT INTO A VALUES ('0007', 'toolongvalue'), ('0008', 'ok') UPDATE A SET X = 'ok' WHERE K = 6"))
        self.assertEqual(error.number, 2628)
        self.assertIn("String or binary data would be truncated in table 'master.dbo.A', column 'X'."
                      " Truncated value: 'toolongval'.", str(error))
        self.assertEqual(self.values("A"), ["a0", "ok"])


class DefinitionTest(StandInTestCase):
    SEED = "CREATE DATABASE busy\nGO\nCREATE TABLE Existing (Id int)"

    def test_definition_statements_and_their_errors(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            cases = [("CREATE DATABASE BUSY", 1801), ("DROP DATABASE nowhere", 3701),
                     ("CREATE TABLE dbo.existing (X int)", 2714), ("DROP TABLE Missing", 3701),
                     ("CREATE TABLE Odd (X money)", 2715), ("INSERT INTO Existing VALUES (1, 2)", 110),
                     ("INSERT INTO Existing (Id, Id2) VALUES (1)", 207),
                     ("SELECT NOSUCHFUNCTION(1)", 195), ("EXEC sp_missing", 2812)]
            for sql, number in cases:
                with self.subTest(sql=sql):
                    self.assertEqual(error_of(lambda: cursor.execute(sql)).number, number)
            with self.server.connect(database="busy") as user, user.cursor() as other:
                self.assertEqual(error_of(lambda: cursor.execute("DROP DATABASE busy")).number, 3702)
                # Leaving the database is answered at once; a closed socket is noticed later.
                other.execute("USE master")
            cursor.execute("BEGIN TRAN")
            self.assertEqual(error_of(lambda: cursor.execute("CREATE DATABASE later")).number, 226)
            cursor.execute("ROLLBACK")
            cursor.execute("DROP DATABASE busy CREATE DATABASE busy DROP TABLE IF EXISTS Nothing")

    def test_tables_change_shape_and_show_in_the_catalog_views(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("CREATE TABLE Shape (Id int NOT NULL, CONSTRAINT PK_Shape PRIMARY KEY (Id), "
                           "Code char(3) DEFAULT 'x')")
            cursor.execute("ALTER TABLE Shape ADD Extra nvarchar(5) NULL")
            cursor.execute("INSERT INTO Shape (Id) VALUES (1) INSERT INTO Shape SELECT 2, 'yy', N'e'")
            cursor.execute("SELECT Id, Code, Extra FROM Shape ORDER BY Id")
            self.assertEqual(cursor.fetchall(), [(1, "x  ", None), (2, "yy ", "e")])
            cursor.execute("SELECT c.name, c.column_id, c.max_length, c.is_nullable FROM sys.columns c "
                           "JOIN sys.tables t ON t.object_id = c.object_id WHERE t.name = 'shape' "
                           "ORDER BY c.column_id")
            self.assertEqual(cursor.fetchall(), [("Id", 1, 4, False), ("Code", 2, 3, True),
                                                 ("Extra", 3, 10, True)])
            cursor.execute("SELECT TABLE_NAME, DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS "
                           "WHERE COLUMN_NAME = 'extra'")
            self.assertEqual(cursor.fetchall(), [("Shape", "nvarchar")])
            cursor.execute("DELETE Shape WHERE Code = 'X' DELETE FROM dbo.Shape WHERE Id > 5")
            self.assertEqual(cursor.rowcount, 1)
            cursor.nextset()
            self.assertEqual(cursor.rowcount, 0)
            # pytds passes over the count-less DONE of TRUNCATE to the next result.
            cursor.execute("TRUNCATE TABLE Shape SELECT COUNT(*) FROM Shape")
            self.assertEqual(cursor.fetchall(), [(0,)])
            cursor.execute("DROP TABLE Shape")


class DatabaseStateTest(StandInTestCase):
    """Databases that cannot be used or changed, set with ALTER DATABASE and --restoring."""
    SEED = """
CREATE DATABASE off_db
GO
CREATE DATABASE ro_db
GO
USE ro_db
CREATE TABLE T (X int)
INSERT INTO T VALUES (1)
GO
CREATE DATABASE su_db
GO
CREATE DATABASE rs_db
GO
ALTER DATABASE off_db SET OFFLINE
ALTER DATABASE [RO_DB] SET READ_ONLY WITH NO_WAIT
ALTER DATABASE su_db SET SINGLE_USER WITH ROLLBACK IMMEDIATE
"""
    ARGS = ("--restoring", "rs_db")

    def error(self, cursor, sql):
        error = error_of(lambda: cursor.execute(sql))
        return error.number, error.severity, str(error)

    def test_sys_databases_tells_state_access_and_updatability(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT name, state, state_desc, user_access, user_access_desc, is_read_only"
                           " FROM sys.databases WHERE database_id > 4 ORDER BY database_id")
            self.assertEqual(cursor.fetchall(), [
                ("off_db", 6, "OFFLINE", 0, "MULTI_USER", False),
                ("ro_db", 0, "ONLINE", 0, "MULTI_USER", True),
                ("su_db", 0, "ONLINE", 1, "SINGLE_USER", False),
                ("rs_db", 1, "RESTORING", 0, "MULTI_USER", False)])

    def test_offline_and_restoring_databases_cannot_be_used(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            self.assertEqual(self.error(cursor, "USE off_db"), (
                942, 14, "Database 'off_db' cannot be opened because it is offline."))
            self.assertEqual(self.error(cursor, "USE rs_db"), (
                927, 14, "Database 'rs_db' cannot be opened. It is in the middle of a restore."))
            cursor.execute("SELECT DB_NAME()")
            self.assertEqual(cursor.fetchone()[0], "master")
            cursor.execute("ALTER DATABASE off_db SET ONLINE")
            cursor.execute("USE off_db")
            cursor.execute("USE master ALTER DATABASE off_db SET OFFLINE")
            self.assertEqual(self.error(cursor, "USE off_db")[0], 942)

    def test_a_single_user_database_takes_one_connection_at_a_time(self):
        with self.server.connect(database="su_db") as first, \
                self.server.connect() as second, second.cursor() as cursor:
            self.assertEqual(self.error(cursor, "USE su_db"), (
                924, 14, "Database 'su_db' is already open and can only have one user at a time."))
            with first.cursor() as other:
                other.execute("USE su_db")  # the user it has may use it again
                other.execute("USE master")
            cursor.execute("USE su_db")
            cursor.execute("SELECT DB_NAME()")
            self.assertEqual(cursor.fetchone()[0], "su_db")

    def test_a_read_only_database_refuses_every_change(self):
        with self.server.connect(database="ro_db") as connection, connection.cursor() as cursor:
            message = 'Failed to update database "ro_db" because the database is read-only.'
            for sql in ("UPDATE T SET X = 2", "INSERT INTO T VALUES (3)", "DELETE FROM T",
                        "CREATE TABLE U (Y int)"):
                with self.subTest(sql=sql):
                    self.assertEqual(self.error(cursor, sql), (3906, 16, message))
            cursor.execute("SELECT X FROM T")
            self.assertEqual(cursor.fetchall(), [(1,)])
            self.assertEqual(self.error(cursor, "ALTER DATABASE nodb SET READ_WRITE")[0:2], (5011, 14))
            cursor.execute("ALTER DATABASE ro_db SET READ_WRITE")
            cursor.execute("UPDATE T SET X = 2")
            cursor.execute("UPDATE T SET X = 1 ALTER DATABASE ro_db SET READ_ONLY")
            self.assertEqual(self.error(cursor, "UPDATE T SET X = 2")[0], 3906)


class TimeoutTest(StandInTestCase):
    SEED = "CREATE TABLE T (V int)\nINSERT INTO T VALUES (1)"
    ARGS = ("--hold", "V = 2:5")

    def test_client_timeout_cancels_the_held_batch_and_the_connection_stays_usable(self):
        with self.server.connect(timeout=1) as connection, connection.cursor() as cursor:
            started = time.monotonic()
            with self.assertRaises(TimeoutError):
                cursor.execute("UPDATE T SET V = 2")
            self.assertLess(time.monotonic() - started, 4)
            cursor.execute("SELECT V FROM T")
            self.assertEqual(cursor.fetchall(), [(1,)])
        kinds = [entry["kind"] for entry in self.server.wire_log()]
        self.assertIn("attention", kinds)

    def test_waitfor_is_cancelled_by_the_client_timeout(self):
        with self.server.connect(timeout=1) as connection, connection.cursor() as cursor:
            with self.assertRaises(TimeoutError):
                cursor.execute("UPDATE T SET V = 3 WAITFOR DELAY '00:00:05' UPDATE T SET V = 4")
            cursor.execute("SELECT V FROM T")
            self.assertEqual(cursor.fetchall(), [(3,)])
            cursor.execute("UPDATE T SET V = 1")


class CollationTest(StandInTestCase):
    SEED = """
CREATE DATABASE latin COLLATE Latin1_General_CI_AS
GO
CREATE DATABASE utf COLLATE Latin1_General_100_CI_AS_SC_UTF8
GO
USE latin
CREATE TABLE Bank (Id int, L varchar(10), N nvarchar(10), J varchar(10) COLLATE Japanese_CI_AS,
                   U varchar(10) COLLATE Japanese_XJIS_140_CI_AS_UTF8 NOT NULL,
                   D char(4) COLLATE database_default)
ALTER TABLE Bank ADD G nvarchar(5) COLLATE Greek_CI_AS NULL, K varchar(5) COLLATE Korean_Wansung_CI_AS
GO
USE utf
CREATE TABLE Bank (Id int, L varchar(10), N nvarchar(10))
"""

    def setUp(self):
        self.connection = self.server.connect(database="latin")
        self.cursor = self.connection.cursor()
        self.cursor.execute("DELETE FROM Bank")

    def tearDown(self):
        self.connection.close()

    def query(self, sql):
        self.cursor.execute(sql)
        return self.cursor.fetchall()

    def test_databases_and_columns_report_their_collation(self):
        self.assertEqual(self.query("SELECT name, collation_name FROM sys.databases WHERE database_id IN (1, 5, 6) "
                                    "ORDER BY database_id"),
                         [("master", "Japanese_CI_AS"), ("latin", "Latin1_General_CI_AS"),
                          ("utf", "Latin1_General_100_CI_AS_SC_UTF8")])
        self.assertEqual(self.query("SELECT name, system_type_id, collation_name FROM sys.columns "
                                    "WHERE object_id = OBJECT_ID('Bank') ORDER BY column_id"),
                         [("Id", 56, None), ("L", 167, "Latin1_General_CI_AS"),
                          ("N", 231, "Latin1_General_CI_AS"), ("J", 167, "Japanese_CI_AS"),
                          ("U", 167, "Japanese_XJIS_140_CI_AS_UTF8"), ("D", 175, "Latin1_General_CI_AS"),
                          ("G", 231, "Greek_CI_AS"), ("K", 167, "Korean_Wansung_CI_AS")])
        self.assertEqual(self.query("SELECT OBJECT_NAME(OBJECT_ID('Bank')), OBJECT_NAME(OBJECT_ID('Bank'), DB_ID()),"
                                    " OBJECT_NAME(OBJECT_ID('Bank'), 1), OBJECT_NAME(12345)"),
                         [("Bank", "Bank", None, None)])

    def test_code_pages_of_collations(self):
        expected = {"Japanese_CI_AS": 932, "Japanese_XJIS_140_CI_AS_UTF8": 65001,
                    "Latin1_General_100_CI_AS_SC_UTF8": 65001, "Latin1_General_CI_AS": 1252,
                    "SQL_Latin1_General_CP1_CI_AS": 1252, "Chinese_PRC_CI_AS": 936,
                    "Chinese_Taiwan_Stroke_CI_AS": 950, "Korean_Wansung_CI_AS": 949,
                    "Cyrillic_General_CI_AS": 1251, "Greek_CI_AS": 1253, "Thai_CI_AS": 874,
                    "Klingon_CI_AS": None}
        for collation, code_page in expected.items():
            with self.subTest(collation=collation):
                self.assertEqual(self.query(f"SELECT COLLATIONPROPERTY('{collation}', 'CodePage')"),
                                 [(code_page,)])
        self.assertEqual(self.query("SELECT COLLATIONPROPERTY('Greek_CI_AS', 'LCID'), "
                                    "COLLATIONPROPERTY(collation_name, 'codepage') FROM sys.databases "
                                    "WHERE name = 'utf'"), [(None, 65001)])

    def test_text_takes_the_code_page_of_the_database_and_of_the_column(self):
        self.cursor.execute("INSERT INTO Bank (Id, L, N, J, U, D, G, K) VALUES "
                            "(1, '日本é', '日本é', '日本', '日本', 'é', 'Ωé', '한'), "
                            "(2, N'日本é', N'日本é', N'日本', N'日本ｱ', N'ｱ', N'Ωé', N'한é')")
        self.assertEqual(self.query("SELECT L, N, J, U, D, G, K FROM Bank ORDER BY Id"), [
            # Without N the literal is Latin1 text before it reaches any column.
            ("??é", "??é", "??", "??", "é   ", "?é", "?"),
            # N'...' keeps everything; char and varchar columns keep what their code page has.
            ("??é", "日本é", "日本", "日本ｱ", "?   ", "Ωé", "한?"),
        ])
        self.cursor.execute("UPDATE Bank SET J = N'銀行' WHERE Id = 1")
        self.assertEqual(self.query("SELECT J FROM Bank WHERE Id = 1"), [("銀行",)])
        with self.server.connect(database="utf") as connection, connection.cursor() as cursor:
            cursor.execute("INSERT INTO Bank VALUES (1, '日本ｱ', '日本ｱ')")
            cursor.execute("SELECT L, N FROM Bank")
            self.assertEqual(cursor.fetchall(), [("日本ｱ", "日本ｱ")])
            cursor.execute("DELETE FROM Bank")
        with self.server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT '日本', DB_NAME()")
            self.assertEqual(cursor.fetchall(), [("日本", "master")])

    def test_collate_clause_errors(self):
        cases = [("CREATE DATABASE bad COLLATE Klingon_CI_AS", 448, "Invalid collation 'Klingon_CI_AS'."),
                 ("CREATE TABLE Odd (X int COLLATE Latin1_General_CI_AS)", 447,
                  "Expression type int is invalid for COLLATE clause."),
                 ("ALTER TABLE Bank ADD Z varchar(3) COLLATE Bogus", 448, "Invalid collation 'Bogus'.")]
        for sql, number, text in cases:
            with self.subTest(sql=sql):
                error = error_of(lambda: self.cursor.execute(sql))
                self.assertEqual((error.number, error.severity), (number, 16))
                self.assertIn(text, str(error))
        self.assertEqual(self.query("SELECT COUNT(*) FROM sys.databases WHERE name = 'bad'"), [(0,)])
        self.assertEqual(self.query("SELECT OBJECT_ID('Odd')"), [(None,)])


class CaseSensitiveServerTest(StandInTestCase):
    """A server whose own collation is case-sensitive, with databases of other collations: names
    compare under the collation of the database they belong to, lengths count code-page bytes."""
    ARGS = ("--collation", "Latin1_General_CS_AS")
    SEED = """
CREATE DATABASE cs_db
GO
CREATE DATABASE xjis COLLATE Japanese_XJIS_140_CI_AS
GO
CREATE DATABASE sqlci COLLATE SQL_Latin1_General_CP1_CI_AS
GO
CREATE DATABASE u8 COLLATE Latin1_General_100_CI_AS_SC_UTF8
GO
USE cs_db
CREATE TABLE Bank (Name varchar(10))
GO
USE u8
CREATE TABLE K (V varchar(4), N nvarchar(4))
GO
USE xjis
CREATE TABLE J (V varchar(4))
"""

    def error(self, cursor, sql):
        error = error_of(lambda: cursor.execute(sql))
        return error.number, str(error)

    def test_the_server_collation_is_masters_and_new_databases_default(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT name, collation_name, COLLATIONPROPERTY(collation_name, 'CodePage')"
                           " FROM sys.databases WHERE database_id = 1 OR database_id > 4"
                           " ORDER BY database_id")
            self.assertEqual(cursor.fetchall(), [
                ("master", "Latin1_General_CS_AS", 1252), ("cs_db", "Latin1_General_CS_AS", 1252),
                ("xjis", "Japanese_XJIS_140_CI_AS", 932),
                ("sqlci", "SQL_Latin1_General_CP1_CI_AS", 1252),
                ("u8", "Latin1_General_100_CI_AS_SC_UTF8", 65001)])
            cursor.execute("SELECT CAST(SERVERPROPERTY('Collation') AS nvarchar(128))")
            self.assertEqual(cursor.fetchall(), [("Latin1_General_CS_AS",)])

    def test_names_compare_under_the_collation_of_their_database(self):
        with self.server.connect() as connection, connection.cursor() as cursor:
            self.assertEqual(self.error(cursor, "SELECT name FROM SYS.DATABASES"),
                             (208, "Invalid object name 'SYS.DATABASES'."))
            self.assertEqual(self.error(cursor, "SELECT NAME FROM sys.databases")[0], 207)
            self.assertEqual(self.error(cursor, "USE CS_DB")[0], 911, "database names: master's")
            cursor.execute("USE cs_db")
            self.assertEqual(self.error(cursor, "SELECT Name FROM bank"),
                             (208, "Invalid object name 'bank'."))
            self.assertEqual(self.error(cursor, "SELECT name FROM Bank")[0], 207)
            cursor.execute("SELECT COUNT(Name) FROM Bank")
            self.assertEqual(cursor.fetchone()[0], 0)
        with self.server.connect(database="xjis") as connection, connection.cursor() as cursor:
            cursor.execute("SELECT NAME FROM SYS.DATABASES WHERE NAME LIKE 'u%'")
            self.assertEqual(cursor.fetchall(), [("u8",)])
            cursor.execute("SELECT v FROM j WHERE 1 = 0")
            self.assertEqual(cursor.fetchall(), [])

    def test_char_lengths_count_the_bytes_of_the_columns_code_page(self):
        cases = [("u8", "INSERT INTO K (V) VALUES (N'ｱ')", None),
                 ("u8", "INSERT INTO K (V) VALUES (N'ｱｲ')", 2628),  # three bytes a kana
                 ("u8", "INSERT INTO K (N) VALUES (N'ｱｲｳｴ')", None),
                 ("xjis", "INSERT INTO J VALUES (N'銀行')", None),
                 ("xjis", "INSERT INTO J VALUES (N'ｱｲｳｴ')", None),
                 ("xjis", "INSERT INTO J VALUES (N'銀行A')", 2628)]
        for database, sql, number in cases:
            with self.subTest(sql=sql, database=database), \
                    self.server.connect(database=database) as connection, \
                    connection.cursor() as cursor:
                if number is None:
                    cursor.execute(sql)
                else:
                    self.assertEqual(self.error(cursor, sql)[0], number)


class ConcurrencyTest(StandInTestCase):
    SEED = "CREATE TABLE Counter (Id int PRIMARY KEY, N int)\nINSERT INTO Counter VALUES (1, 0)"

    def test_parallel_connections_each_see_committed_work(self):
        failures = []

        def worker():
            try:
                with self.server.connect() as connection, connection.cursor() as cursor:
                    for _ in range(20):
                        cursor.execute("UPDATE Counter SET N = N + 1 WHERE Id = 1")
            except Exception as error:  # reported below
                failures.append(error)

        threads = [threading.Thread(target=worker) for _ in range(4)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(failures, [])
        with self.server.connect() as connection, connection.cursor() as cursor:
            cursor.execute("SELECT N FROM Counter")
            self.assertEqual(cursor.fetchone()[0], 80)


if __name__ == "__main__":
    standin_harness.main("127.0.0.11")
