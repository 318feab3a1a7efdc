// Statements written for the original database server, arbitrary, through the translator
// that makes them runnable on the host's driver.
//
// Checked: a statement is translated or refused with a reason, never both; a translated
// statement translates again to itself (nothing is rewritten twice); the server's own dialect
// keeps the text as it is.
#include "fuzzsupport.h"

#include "host/database/schema.h"
#include "host/database/sqldialect.h"

using namespace zeltpc5::host;
using zeltpc5::fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zeltpc5::fuzzing::InitializeOnce();
    const QString sql = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const SqlDialect dialect :
         {SqlDialect::LimitClause, SqlDialect::PostgreSql, SqlDialect::TopClause}) {
        QString error;
        const auto translated = TranslateStatement(sql, dialect, &error, SchemaTablesWithID());
        Check(translated.has_value() == error.isEmpty(),
              "a statement is translated or refused with a reason");
        if (!translated)
            continue;
        if (dialect == SqlDialect::TopClause)
            Check(translated->text == sql, "the server's own dialect is left as it is");
        const auto again =
            TranslateStatement(translated->text, dialect, nullptr, SchemaTablesWithID());
        Check(again.has_value() && again->text == translated->text,
              "a translated statement translates to itself");
    }
    return 0;
}
