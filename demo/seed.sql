-- Demo data for the SQL Server stand-in: product system databases, company databases of both
-- products, and databases whose names the products' patterns must not match.
CREATE DATABASE qnt8sys
GO

CREATE DATABASE qnt4sys
GO

CREATE DATABASE zarvekksys
GO

CREATE DATABASE qnt8dat001
GO
USE qnt8dat001
CREATE TABLE dbo.TM_BANK (BANK_CD char(4) NOT NULL PRIMARY KEY, BANK_NAME nvarchar(40), BANK_KANA nvarchar(40))
INSERT INTO TM_BANK (BANK_CD, BANK_NAME, BANK_KANA) VALUES (N'0001', N'あおば銀行', N'ｱｵﾊﾞｷﾞﾝｺｳ'), (N'0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ'), (N'0009', N'ひかり銀行', N'ﾋｶﾘｷﾞﾝｺｳ')
CREATE TABLE dbo.TM_TORIHIKISAKI (TORI_CD int NOT NULL PRIMARY KEY, TORI_NAME nvarchar(40), FURIKOMI_BANK_CD char(4), FURIKOMI_BANK_NAME nvarchar(40), FURIKOMI_BANK_KANA nvarchar(40))
INSERT INTO TM_TORIHIKISAKI VALUES (101, N'株式会社ひまわり商事', '0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ'), (102, N'有限会社つばき工業', '0001', N'あおば銀行', N'ｱｵﾊﾞｷﾞﾝｺｳ'), (103, N'さくら運輸株式会社', '0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ')
CREATE TABLE dbo.TM_JISHA_KOZA (KOZA_NO int NOT NULL PRIMARY KEY, BANK_CD char(4), BANK_NM varchar(40))
INSERT INTO TM_JISHA_KOZA VALUES (1, '0005', 'みらい銀行'), (2, '0009', 'ひかり銀行')
CREATE TABLE dbo.TT_FURIKOMI (DENPYO_NO int NOT NULL PRIMARY KEY, BANK_CD char(4), BANK_NAME nvarchar(40))
INSERT INTO TT_FURIKOMI VALUES (5001, '0005', N'みらい銀行'), (5002, '0001', N'あおば銀行')
GO

CREATE DATABASE qnt8dat002
GO
USE qnt8dat002
CREATE TABLE dbo.TM_BANK (BANK_CD char(4) NOT NULL PRIMARY KEY, BANK_NAME nvarchar(40), BANK_KANA nvarchar(40))
INSERT INTO TM_BANK (BANK_CD, BANK_NAME, BANK_KANA) VALUES (N'0001', N'あおば銀行', N'ｱｵﾊﾞｷﾞﾝｺｳ'), (N'0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ'), (N'0009', N'ひかり銀行', N'ﾋｶﾘｷﾞﾝｺｳ')
CREATE TABLE dbo.TM_TORIHIKISAKI (TORI_CD int NOT NULL PRIMARY KEY, TORI_NAME nvarchar(40), FURIKOMI_BANK_CD char(4), FURIKOMI_BANK_NAME nvarchar(40), FURIKOMI_BANK_KANA nvarchar(40))
INSERT INTO TM_TORIHIKISAKI VALUES (101, N'株式会社ひまわり商事', '0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ'), (102, N'有限会社つばき工業', '0001', N'あおば銀行', N'ｱｵﾊﾞｷﾞﾝｺｳ'), (103, N'さくら運輸株式会社', '0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ')
CREATE TABLE dbo.TM_JISHA_KOZA (KOZA_NO int NOT NULL PRIMARY KEY, BANK_CD char(4), BANK_NM varchar(40))
INSERT INTO TM_JISHA_KOZA VALUES (1, '0005', 'みらい銀行'), (2, '0009', 'ひかり銀行')
CREATE TABLE dbo.TT_FURIKOMI (DENPYO_NO int NOT NULL PRIMARY KEY, BANK_CD char(4), BANK_NAME nvarchar(40))
INSERT INTO TT_FURIKOMI VALUES (5001, '0005', N'みらい銀行'), (5002, '0001', N'あおば銀行')
GO

CREATE DATABASE qnt4dat001
GO
USE qnt4dat001
CREATE TABLE dbo.TM_BANK (BANK_CD char(4) NOT NULL PRIMARY KEY, BANK_NAME nvarchar(40), BANK_KANA nvarchar(40))
INSERT INTO TM_BANK (BANK_CD, BANK_NAME, BANK_KANA) VALUES (N'0001', N'あおば銀行', N'ｱｵﾊﾞｷﾞﾝｺｳ'), (N'0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ'), (N'0009', N'ひかり銀行', N'ﾋｶﾘｷﾞﾝｺｳ')
CREATE TABLE dbo.TM_TORIHIKISAKI (TORI_CD int NOT NULL PRIMARY KEY, TORI_NAME nvarchar(40), FURIKOMI_BANK_CD char(4), FURIKOMI_BANK_NAME nvarchar(40))
INSERT INTO TM_TORIHIKISAKI VALUES (201, N'株式会社あさがお', '0005', N'みらい銀行'), (202, N'もみじ建設', '0009', N'ひかり銀行')
GO

CREATE DATABASE qnt8def
GO
USE qnt8def
CREATE TABLE dbo.TM_BANK (BANK_CD char(4) NOT NULL PRIMARY KEY, BANK_NAME nvarchar(40), BANK_KANA nvarchar(40))
INSERT INTO TM_BANK (BANK_CD, BANK_NAME, BANK_KANA) VALUES (N'0001', N'あおば銀行', N'ｱｵﾊﾞｷﾞﾝｺｳ'), (N'0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ'), (N'0009', N'ひかり銀行', N'ﾋｶﾘｷﾞﾝｺｳ')
CREATE TABLE dbo.TM_TORIHIKISAKI (TORI_CD int NOT NULL PRIMARY KEY, TORI_NAME nvarchar(40), FURIKOMI_BANK_CD char(4), FURIKOMI_BANK_NAME nvarchar(40))
INSERT INTO TM_TORIHIKISAKI VALUES (201, N'株式会社あさがお', '0005', N'みらい銀行'), (202, N'もみじ建設', '0009', N'ひかり銀行')
GO

CREATE DATABASE zarvekkdat001
GO
USE zarvekkdat001
CREATE TABLE dbo.M_GINKO (GINKO_CD varchar(4) NOT NULL PRIMARY KEY, GINKO_MEI nvarchar(40), GINKO_KANA nvarchar(40))
INSERT INTO M_GINKO VALUES (N'0001', N'あおば銀行', N'ｱｵﾊﾞｷﾞﾝｺｳ'), (N'0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ'), (N'0009', N'ひかり銀行', N'ﾋｶﾘｷﾞﾝｺｳ')
CREATE TABLE dbo.M_SHIHARAISAKI (SHIHARAI_CD int NOT NULL PRIMARY KEY, SHIHARAI_MEI nvarchar(40), GINKO_CD varchar(4), GINKO_MEI nvarchar(40))
INSERT INTO M_SHIHARAISAKI VALUES (1, N'株式会社ひまわり商事', '0005', N'みらい銀行'), (2, N'すみれ物産', '0009', N'ひかり銀行')
CREATE TABLE dbo.T_SHIHARAI (SHIHARAI_NO int NOT NULL PRIMARY KEY, GINKO_CD varchar(4), GINKO_MEI nvarchar(40))
INSERT INTO T_SHIHARAI VALUES (9001, '0005', N'みらい銀行')
GO

CREATE DATABASE zarvekkdat002
GO
USE zarvekkdat002
CREATE TABLE dbo.M_GINKO (GINKO_CD varchar(4) NOT NULL PRIMARY KEY, GINKO_MEI nvarchar(40), GINKO_KANA nvarchar(40))
INSERT INTO M_GINKO VALUES (N'0001', N'あおば銀行', N'ｱｵﾊﾞｷﾞﾝｺｳ'), (N'0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ'), (N'0009', N'ひかり銀行', N'ﾋｶﾘｷﾞﾝｺｳ')
CREATE TABLE dbo.M_SHIHARAISAKI (SHIHARAI_CD int NOT NULL PRIMARY KEY, SHIHARAI_MEI nvarchar(40), GINKO_CD varchar(4), GINKO_MEI nvarchar(40))
INSERT INTO M_SHIHARAISAKI VALUES (1, N'株式会社ひまわり商事', '0005', N'みらい銀行'), (2, N'すみれ物産', '0009', N'ひかり銀行')
CREATE TABLE dbo.T_SHIHARAI (SHIHARAI_NO int NOT NULL PRIMARY KEY, GINKO_CD varchar(4), GINKO_MEI nvarchar(40))
INSERT INTO T_SHIHARAI VALUES (9001, '0005', N'みらい銀行')
GO

CREATE DATABASE zarvekkbank
GO
USE zarvekkbank
CREATE TABLE dbo.M_GINKO (GINKO_CD varchar(4) NOT NULL PRIMARY KEY, GINKO_MEI nvarchar(40), GINKO_KANA nvarchar(40))
INSERT INTO M_GINKO VALUES (N'0001', N'あおば銀行', N'ｱｵﾊﾞｷﾞﾝｺｳ'), (N'0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ'), (N'0009', N'ひかり銀行', N'ﾋｶﾘｷﾞﾝｺｳ')
CREATE TABLE dbo.M_SHIHARAISAKI (SHIHARAI_CD int NOT NULL PRIMARY KEY, SHIHARAI_MEI nvarchar(40), GINKO_CD varchar(4), GINKO_MEI nvarchar(40))
INSERT INTO M_SHIHARAISAKI VALUES (1, N'株式会社ひまわり商事', '0005', N'みらい銀行'), (2, N'すみれ物産', '0009', N'ひかり銀行')
CREATE TABLE dbo.T_SHIHARAI (SHIHARAI_NO int NOT NULL PRIMARY KEY, GINKO_CD varchar(4), GINKO_MEI nvarchar(40))
INSERT INTO T_SHIHARAI VALUES (9001, '0005', N'みらい銀行')
GO

CREATE DATABASE qntdat_archive
GO
USE qntdat_archive
CREATE TABLE dbo.TM_BANK (BANK_CD char(4) NOT NULL PRIMARY KEY, BANK_NAME nvarchar(40), BANK_KANA nvarchar(40))
INSERT INTO TM_BANK (BANK_CD, BANK_NAME, BANK_KANA) VALUES (N'0001', N'あおば銀行', N'ｱｵﾊﾞｷﾞﾝｺｳ'), (N'0005', N'みらい銀行', N'ﾐﾗｲｷﾞﾝｺｳ'), (N'0009', N'ひかり銀行', N'ﾋｶﾘｷﾞﾝｺｳ')
CREATE TABLE dbo.TM_TORIHIKISAKI (TORI_CD int NOT NULL PRIMARY KEY, TORI_NAME nvarchar(40), FURIKOMI_BANK_CD char(4), FURIKOMI_BANK_NAME nvarchar(40))
INSERT INTO TM_TORIHIKISAKI VALUES (201, N'株式会社あさがお', '0005', N'みらい銀行'), (202, N'もみじ建設', '0009', N'ひかり銀行')
GO

CREATE DATABASE zarvekk_backup
GO
