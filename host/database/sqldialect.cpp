#include "host/database/sqldialect.h"

#include <QStringList>

#include <algorithm>
#include <vector>

namespace zeltpc5::host {

namespace {

enum class TokenKind { Word, Number, Literal, Identifier, Punct, Space, Comment };

struct Token
{
    TokenKind kind;
    qsizetype begin;
    qsizetype end; // one past the last character
};

bool IsWordStart(QChar c)
{
    return c.isLetter() || c == u'_' || c == u'@' || c == u'#';
}

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

// Splits the text into tokens; nothing when a literal, quoted name or comment is left open.
std::optional<std::vector<Token>> Tokenise(const QString &sql, QString *error)
{
    std::vector<Token> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto fail = [&](const QString &what) {
        if (error)
            *error = what;
        return std::nullopt;
    };
    // A quoted run closed by `close`, where a doubled `close` stands for itself.
    auto quoted = [&](QChar close) -> bool {
        ++i;
        while (i < n) {
            if (sql[i] == close) {
                if (i + 1 < n && sql[i + 1] == close) {
                    i += 2;
                    continue;
                }
                ++i;
                return true;
            }
            ++i;
        }
        return false;
    };
    while (i < n) {
        const qsizetype start = i;
        const QChar c = sql[i];
        TokenKind kind;
        if (c.isSpace()) {
            while (i < n && sql[i].isSpace())
                ++i;
            kind = TokenKind::Space;
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                ++i;
            kind = TokenKind::Comment;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype close = sql.indexOf(QStringLiteral("*/"), i + 2);
            if (close < 0)
                return fail(QStringLiteral("unterminated comment"));
            i = close + 2;
            kind = TokenKind::Comment;
        } else if (c == u'\'') {
            if (!quoted(u'\''))
                return fail(QStringLiteral("unterminated text literal"));
            kind = TokenKind::Literal;
        } else if (c == u'"' || c == u'`') {
            if (!quoted(c))
                return fail(QStringLiteral("unterminated quoted name"));
            kind = TokenKind::Identifier;
        } else if (c == u'[') {
            if (!quoted(u']'))
                return fail(QStringLiteral("unterminated bracketed name"));
            kind = TokenKind::Identifier;
        } else if (c.isDigit()) {
            while (i < n && (sql[i].isLetterOrNumber() || sql[i] == u'.'))
                ++i;
            kind = TokenKind::Number;
        } else if (IsWordStart(c)) {
            while (i < n && IsWordChar(sql[i]))
                ++i;
            kind = TokenKind::Word;
        } else {
            ++i;
            kind = TokenKind::Punct;
        }
        tokens.push_back({kind, start, i});
    }
    return tokens;
}

class Statement
{
public:
    Statement(const QString &sql, std::vector<Token> tokens)
        : m_sql(sql), m_tokens(std::move(tokens))
    {}

    qsizetype size() const { return qsizetype(m_tokens.size()); }
    const Token &at(qsizetype i) const { return m_tokens[size_t(i)]; }
    QStringView text(qsizetype i) const
    {
        return QStringView(m_sql).mid(at(i).begin, at(i).end - at(i).begin);
    }
    bool significant(qsizetype i) const
    {
        return at(i).kind != TokenKind::Space && at(i).kind != TokenKind::Comment;
    }
    bool isWord(qsizetype i, QStringView word) const
    {
        return i < size() && at(i).kind == TokenKind::Word &&
               text(i).compare(word, Qt::CaseInsensitive) == 0;
    }
    bool isPunct(qsizetype i, QChar c) const
    {
        return i < size() && at(i).kind == TokenKind::Punct && text(i).front() == c;
    }
    // The next significant token at or after i (size() when none).
    qsizetype next(qsizetype i) const
    {
        while (i < size() && !significant(i))
            ++i;
        return i;
    }

private:
    const QString &m_sql;
    std::vector<Token> m_tokens;
};

struct Edit
{
    qsizetype begin;
    qsizetype end;
    QString replacement;
};

// The name inside a quoted name token, with its doubled closing quote made single.
QString Unquoted(QStringView token)
{
    const QChar close = token.front() == u'[' ? QChar(u']') : token.front();
    return token.mid(1, token.size() - 2).toString().replace(QString(2, close), QString(close));
}

bool IsWholeNumber(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (!c.isDigit())
            return false;
    return true;
}

} // namespace

SqlDialect DialectOfDriver(const QString &driverName)
{
    static const QStringList limitDrivers{QStringLiteral("QSQLITE"), QStringLiteral("QMYSQL"),
                                          QStringLiteral("QMARIADB")};
    const QString driver = driverName.toUpper();
    if (driver == u"QPSQL")
        return SqlDialect::PostgreSql;
    return limitDrivers.contains(driver) ? SqlDialect::LimitClause : SqlDialect::TopClause;
}

std::optional<TranslatedStatement> TranslateStatement(const QString &sql, SqlDialect dialect,
                                                      QString *error,
                                                      const QStringList &tablesWithID)
{
    auto fail = [&](const QString &what) -> std::optional<TranslatedStatement> {
        if (error)
            *error = what;
        return std::nullopt;
    };
    auto tokens = Tokenise(sql, error);
    if (!tokens)
        return std::nullopt;
    const Statement st(sql, std::move(*tokens));

    // One statement only: a trailing semicolon is fine, anything after it is not.
    qsizetype statementEnd = st.size();
    for (qsizetype i = 0; i < st.size(); ++i) {
        if (st.isPunct(i, u';')) {
            if (st.next(i + 1) < st.size())
                return fail(QStringLiteral("only one statement can be run at a time"));
            statementEnd = i;
            break;
        }
    }
    const qsizetype first = st.next(0);
    if (first >= statementEnd)
        return fail(QStringLiteral("empty statement"));

    TranslatedStatement result;
    result.isRead = st.isWord(first, u"SELECT");
    if (dialect == SqlDialect::TopClause) {
        result.text = sql;
        return result;
    }

    std::vector<Edit> edits;
    for (qsizetype i = 0; i < statementEnd; ++i) {
        if (dialect == SqlDialect::PostgreSql && st.at(i).kind == TokenKind::Identifier) {
            const QString name = Unquoted(st.text(i)).toLower();
            edits.push_back({st.at(i).begin, st.at(i).end,
                             u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"'});
            continue;
        }
        // "+" joins text where one side is a text literal; these servers would add numbers.
        if (st.isPunct(i, u'+')) {
            qsizetype before = i - 1;
            while (before >= 0 && !st.significant(before))
                --before;
            const qsizetype after = st.next(i + 1);
            if ((before >= 0 && st.at(before).kind == TokenKind::Literal) ||
                (after < statementEnd && st.at(after).kind == TokenKind::Literal))
                edits.push_back({st.at(i).begin, st.at(i).end, QStringLiteral("||")});
            continue;
        }
        if (!st.isWord(i, u"SELECT"))
            continue;

        // SELECT [DISTINCT | ALL] TOP n | TOP (n)
        qsizetype k = st.next(i + 1);
        if (st.isWord(k, u"DISTINCT") || st.isWord(k, u"ALL"))
            k = st.next(k + 1);
        if (!st.isWord(k, u"TOP"))
            continue;
        const qsizetype topToken = k;
        qsizetype numberToken = st.next(k + 1);
        qsizetype lastToken = numberToken;
        if (st.isPunct(numberToken, u'(')) {
            numberToken = st.next(numberToken + 1);
            lastToken = st.next(numberToken + 1);
            if (!st.isPunct(lastToken, u')'))
                return fail(QStringLiteral("TOP takes a whole number"));
        }
        if (numberToken >= statementEnd || st.at(numberToken).kind != TokenKind::Number) {
            // "SELECT Top FROM ..." names a column; only a count makes it the TOP clause.
            if (lastToken == numberToken)
                continue;
            return fail(QStringLiteral("TOP takes a whole number"));
        }
        const QStringView count = st.text(numberToken);
        if (!IsWholeNumber(count))
            return fail(QStringLiteral("TOP takes a whole number"));
        const qsizetype after = st.next(lastToken + 1);
        if (st.isWord(after, u"PERCENT") || st.isWord(after, u"WITH"))
            return fail(QStringLiteral("TOP ... PERCENT and WITH TIES have no LIMIT form"));
        // A second count would stay in the text after the first became a LIMIT.
        if (st.isWord(after, u"TOP")) {
            const qsizetype next = st.next(after + 1);
            if (next < statementEnd &&
                (st.at(next).kind == TokenKind::Number || st.isPunct(next, u'(')))
                return fail(QStringLiteral("a SELECT can have only one TOP"));
        }

        // The SELECT's own scope ends at the parenthesis that closes its level, or at the
        // end of the statement. LIMIT goes after its last significant token, so that a
        // trailing line comment cannot swallow it.
        int level = 0;
        qsizetype lastSignificant = lastToken;
        qsizetype j = lastToken + 1;
        for (; j < statementEnd; ++j) {
            if (st.isPunct(j, u'(')) {
                ++level;
            } else if (st.isPunct(j, u')')) {
                if (level == 0)
                    break;
                --level;
            } else if (level == 0 && (st.isWord(j, u"UNION") || st.isWord(j, u"INTERSECT") ||
                                      st.isWord(j, u"EXCEPT"))) {
                return fail(QStringLiteral("a TOP query cannot be combined with %1")
                                .arg(st.text(j).toString().toUpper()));
            } else if (level == 0 && st.isWord(j, u"LIMIT")) {
                return fail(QStringLiteral("a statement cannot have both TOP and LIMIT"));
            }
            if (st.significant(j))
                lastSignificant = j;
        }
        // Drop "TOP n" and the blank after it; add the limit at the end of the scope.
        const qsizetype removeEnd =
            (lastToken + 1 < st.size() && st.at(lastToken + 1).kind == TokenKind::Space)
                ? st.at(lastToken + 1).end
                : st.at(lastToken).end;
        edits.push_back({st.at(topToken).begin, removeEnd, QString()});
        edits.push_back({st.at(lastSignificant).end, st.at(lastSignificant).end,
                         QStringLiteral(" LIMIT ") + count.toString()});
    }

    // A plain read of one table without an order: SQLite gives its rows in the order of their
    // key, a server in whatever order its storage holds them (an updated row moves to the end).
    if (dialect == SqlDialect::PostgreSql && !tablesWithID.isEmpty() &&
        st.isWord(first, u"SELECT")) {
        int level = 0;
        qsizetype from = -1;
        bool plain = true;
        qsizetype last = first;
        for (qsizetype i = first + 1; i < statementEnd && plain; ++i) {
            if (st.isPunct(i, u'(')) {
                // A call in the column list may be an aggregate, which an order would break.
                if (from < 0)
                    plain = false;
                ++level;
            } else if (st.isPunct(i, u')')) {
                if (--level < 0)
                    plain = false;
            } else if (level == 0 && st.at(i).kind == TokenKind::Word) {
                for (QStringView word :
                     {u"ORDER", u"GROUP", u"HAVING", u"UNION", u"INTERSECT", u"EXCEPT", u"JOIN",
                      u"DISTINCT", u"LIMIT", u"FOR", u"INTO"})
                    if (st.isWord(i, word))
                        plain = false;
                if (from < 0 && st.isWord(i, u"FROM"))
                    from = i;
            }
            if (st.significant(i))
                last = i;
        }
        // Unbalanced parentheses hide the statement's own words: not a read to order.
        if (plain && from >= 0 && level == 0) {
            const qsizetype table = st.next(from + 1);
            const qsizetype after = st.next(table + 1);
            const bool oneTable = table < statementEnd &&
                                  (st.at(table).kind == TokenKind::Word ||
                                   st.at(table).kind == TokenKind::Identifier) &&
                                  (after >= statementEnd || st.isWord(after, u"WHERE"));
            // "... FROM" at the very end names no table.
            const QString name = !oneTable ? QString()
                                 : st.at(table).kind == TokenKind::Identifier
                                     ? Unquoted(st.text(table))
                                     : st.text(table).toString();
            if (oneTable && tablesWithID.contains(name, Qt::CaseInsensitive))
                edits.push_back({st.at(last).end, st.at(last).end, QStringLiteral(" ORDER BY ID")});
        }
    }

    // Apply from the back so that earlier positions stay valid; an insertion at the
    // same place as a removal's end comes after it.
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit &a, const Edit &b) { return a.begin > b.begin; });
    result.text = sql;
    for (const Edit &e : edits)
        result.text.replace(e.begin, e.end - e.begin, e.replacement);
    return result;
}

QStringList StatementNames(const QString &sql)
{
    QStringList names;
    const auto tokens = Tokenise(sql, nullptr);
    if (!tokens)
        return names;
    for (const Token &t : *tokens) {
        const QStringView text = QStringView(sql).mid(t.begin, t.end - t.begin);
        if (t.kind == TokenKind::Word)
            names << text.toString();
        else if (t.kind == TokenKind::Identifier)
            names << Unquoted(text);
    }
    return names;
}

} // namespace zeltpc5::host
