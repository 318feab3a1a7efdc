// Readable GoogleTest output for Qt values: a failing EXPECT_EQ prints the texts it saw.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        *os << (i ? ", " : "") << '"' << list.at(i).toStdString() << '"';
    *os << '}';
}

inline void PrintTo(const QVariant &v, std::ostream *os)
{
    *os << "QVariant(" << (v.isValid() ? v.typeName() : "invalid") << ", \""
        << v.toString().toStdString() << "\")";
}
