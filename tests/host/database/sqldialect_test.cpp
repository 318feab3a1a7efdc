#include "host/database/sqldialect.h"

#include <gtest/gtest.h>

using namespace zeltpc5::host;

namespace {

QString Limit(const QString &sql)
{
    QString error;
    const auto t = TranslateStatement(sql, SqlDialect::LimitClause, &error);
    return t ? t->text : QStringLiteral("error: ") + error;
}

} // namespace

TEST(SqlDialect, shouldMoveTopToATrailingLimit)
{
    EXPECT_EQ(
        Limit(QStringLiteral("SELECT TOP 1 VendorID FROM ProductVendors WHERE (ProductID = 4)")),
        QStringLiteral("SELECT VendorID FROM ProductVendors WHERE (ProductID = 4) LIMIT 1"));
    EXPECT_EQ(Limit(QStringLiteral("select top 5 a from t order by a;")),
              QStringLiteral("select a from t order by a LIMIT 5;"));
    EXPECT_EQ(Limit(QStringLiteral("SELECT DISTINCT TOP (3) a FROM t")),
              QStringLiteral("SELECT DISTINCT a FROM t LIMIT 3"));
    // A trailing line comment must not swallow the limit.
    EXPECT_EQ(Limit(QStringLiteral("SELECT TOP 2 a FROM t -- newest first")),
              QStringLiteral("SELECT a FROM t LIMIT 2 -- newest first"));
    // Each SELECT gets the limit of its own scope.
    EXPECT_EQ(
        Limit(QStringLiteral("SELECT a FROM (SELECT TOP 2 b FROM t ORDER BY b) x WHERE a > 0")),
        QStringLiteral("SELECT a FROM (SELECT b FROM t ORDER BY b LIMIT 2) x WHERE a > 0"));
    EXPECT_EQ(Limit(QStringLiteral("SELECT TOP 1 a FROM u WHERE a IN (SELECT TOP 4 b FROM t)")),
              QStringLiteral("SELECT a FROM u WHERE a IN (SELECT b FROM t LIMIT 4) LIMIT 1"));
    // A column named Top after the count is a column.
    EXPECT_EQ(Limit(QStringLiteral("SELECT TOP 1 Top FROM t")),
              QStringLiteral("SELECT Top FROM t LIMIT 1"));
}

QString Postgres(const QString &sql)
{
    QString error;
    const auto t = TranslateStatement(sql, SqlDialect::PostgreSql, &error);
    return t ? t->text : QStringLiteral("error: ") + error;
}

// The original server's quoted names and text joins: PostgreSQL folds unquoted names to lower
// case, so a quoted one is folded too; "+" beside a text literal joins text everywhere but on
// the original server (SQLite would add the two as numbers and answer 0).
TEST(SqlDialect, shouldTranslateQuotedNamesAndTextJoins)
{
    EXPECT_EQ(Postgres(QStringLiteral("SELECT TOP 1 [Option Name], \"Style\" FROM [Discounts]")),
              QStringLiteral("SELECT \"option name\", \"style\" FROM \"discounts\" LIMIT 1"));
    EXPECT_EQ(Postgres(QStringLiteral("SELECT [a]]b], `c\"d` FROM t")),
              QStringLiteral("SELECT \"a]b\", \"c\"\"d\" FROM t"));
    EXPECT_EQ(Limit(QStringLiteral("SELECT [Name] FROM t")),
              QStringLiteral("SELECT [Name] FROM t"));
    for (const auto &translate : {&Limit, &Postgres}) {
        EXPECT_EQ(translate(QStringLiteral("SELECT OptionName + ': ' + OptionValue FROM t")),
                  QStringLiteral("SELECT OptionName || ': ' || OptionValue FROM t"));
        EXPECT_EQ(translate(QStringLiteral("SELECT 'a'+b, c + 1, '+' FROM t WHERE d = 'x + y'")),
                  QStringLiteral("SELECT 'a'||b, c + 1, '+' FROM t WHERE d = 'x + y'"));
    }
    EXPECT_EQ(
        TranslateStatement(QStringLiteral("SELECT a + 'b' FROM t"), SqlDialect::TopClause)->text,
        QStringLiteral("SELECT a + 'b' FROM t"));
}

// SQLite gives a plain read of one table in the order of its key; a server need not.
TEST(SqlDialect, shouldOrderAPlainReadOfAKeyedTableByItsKeyOnPostgreSql)
{
    const QStringList keyed{QStringLiteral("AdditionalCharges"), QStringLiteral("Discounts")};
    const auto translate = [&](const char *sql) {
        return TranslateStatement(QString::fromUtf8(sql), SqlDialect::PostgreSql, nullptr, keyed)
            ->text;
    };
    EXPECT_EQ(translate("SELECT * FROM AdditionalCharges WHERE Enabled <> 0 AND (ChargeType = 4)"),
              QStringLiteral("SELECT * FROM AdditionalCharges WHERE Enabled <> 0 AND (ChargeType "
                             "= 4) ORDER BY ID"));
    EXPECT_EQ(translate("SELECT TOP 1 Discount FROM [discounts];"),
              QStringLiteral("SELECT Discount FROM \"discounts\" ORDER BY ID LIMIT 1;"));
    for (const char *unchanged :
         {"SELECT COUNT(*) FROM Discounts", "SELECT a FROM Discounts ORDER BY a",
          "SELECT a FROM Discounts d", "SELECT a FROM Discounts JOIN x ON 1 = 1",
          "SELECT DISTINCT a FROM Discounts", "SELECT a FROM Vendors",
          "SELECT a FROM Discounts GROUP BY a",
          // Found by fuzzing: an unclosed parenthesis hid the order added before, so each
          // translation added another.
          "SELECT * FROM Discounts WHERE (a = 1", "SELECT * FROM Discounts WHERE a = 1)",
          // ... and a FROM at the very end was read past the end of the statement.
          "SELECT a FROM", "SELECT a FROM ", "SELECT a FROM -- none"})
        EXPECT_EQ(translate(unchanged), QString::fromUtf8(unchanged));
    EXPECT_EQ(TranslateStatement(QStringLiteral("SELECT * FROM Discounts"), SqlDialect::LimitClause,
                                 nullptr, keyed)
                  ->text,
              QStringLiteral("SELECT * FROM Discounts"));
}

TEST(SqlDialect, shouldLeaveTextThatOnlyLooksLikeTopAlone)
{
    for (const char *sql : {"SELECT Top FROM t", "SELECT a FROM t WHERE b = 'SELECT TOP 1 x'",
                            "SELECT \"TOP 1\" FROM t", "SELECT a /* SELECT TOP 1 */ FROM t",
                            "SELECT a FROM t WHERE b = 'it''s TOP 1'"}) {
        const QString text = QString::fromUtf8(sql);
        EXPECT_EQ(Limit(text), text);
    }
}

TEST(SqlDialect, shouldRefuseFormsWithoutASafeTranslation)
{
    for (const char *sql :
         {"SELECT TOP 10 PERCENT a FROM t", "SELECT TOP 1 WITH TIES a FROM t",
          "SELECT TOP 1 a FROM t UNION SELECT b FROM u", "SELECT TOP 1 a FROM t LIMIT 3",
          "SELECT TOP (x) a FROM t", "SELECT TOP 1.5 a FROM t", "SELECT a FROM t WHERE b = 'open",
          "SELECT 1; DELETE FROM Products", "   ", "SELECT a /* open",
          // Found by fuzzing: the second count stayed in the text beside the new LIMIT.
          "SELECT TOP 1 TOP 1 a FROM t", "SELECT TOP 2 TOP (3) a FROM t"}) {
        EXPECT_TRUE(Limit(QString::fromUtf8(sql)).startsWith(u"error: ")) << sql;
    }
}

TEST(SqlDialect, shouldPassTopThroughOnServersThatHaveItAndStillRefuseSeveralStatements)
{
    const auto top =
        TranslateStatement(QStringLiteral("SELECT TOP 1 a FROM t"), SqlDialect::TopClause);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->text, QStringLiteral("SELECT TOP 1 a FROM t"));
    EXPECT_FALSE(
        TranslateStatement(QStringLiteral("SELECT 1; DROP TABLE t"), SqlDialect::TopClause));
    EXPECT_EQ(DialectOfDriver(QStringLiteral("QSQLITE")), SqlDialect::LimitClause);
    EXPECT_EQ(DialectOfDriver(QStringLiteral("QPSQL")), SqlDialect::PostgreSql);
    EXPECT_EQ(DialectOfDriver(QStringLiteral("QODBC")), SqlDialect::TopClause);
}

TEST(SqlDialect, shouldMarkOnlySingleSelectsAsReads)
{
    EXPECT_TRUE(TranslateStatement(QStringLiteral("  select 1"), SqlDialect::LimitClause)->isRead);
    EXPECT_FALSE(
        TranslateStatement(QStringLiteral("UPDATE t SET a = 1"), SqlDialect::LimitClause)->isRead);
    EXPECT_FALSE(
        TranslateStatement(QStringLiteral("/* SELECT */ DELETE FROM t"), SqlDialect::LimitClause)
            ->isRead);
}
