// The error model of the boundary: a call either succeeds or fails with a number and a
// description. Nothing is thrown across the boundary.
#pragma once

#include <QString>

namespace zeltpc5 {

// Error numbers as automation clients know them.
namespace Error {
inline constexpr qint32 InvalidProcedureCall = 5;
inline constexpr qint32 Overflow = 6;
inline constexpr qint32 SubscriptOutOfRange = 9;
inline constexpr qint32 TypeMismatch = 13;
inline constexpr qint32 ObjectNotSet = 91;
inline constexpr qint32 InvalidUseOfNull = 94;
inline constexpr qint32 ObjectRequired = 424;
inline constexpr qint32 CannotCreateObject = 429;
inline constexpr qint32 MemberNotFound = 438;
inline constexpr qint32 WrongArgumentCount = 450;
} // namespace Error

// The usual description of an error number ("Overflow", "Subscript out of range", ...).
QString ErrorDescription(qint32 number);

class Status
{
public:
    Status() = default;
    // An error with the usual description of its number unless one is given.
    static Status error(qint32 number, const QString &description = QString());

    bool ok() const { return m_number == 0; }
    explicit operator bool() const { return ok(); }
    qint32 number() const { return m_number; }
    const QString &description() const { return m_description; }
    // "Overflow (6)"; empty when ok.
    QString toString() const;

    friend bool operator==(const Status &, const Status &) = default;

private:
    qint32 m_number = 0;
    QString m_description;
};

} // namespace zeltpc5
