#include <zeltpc5/refcounted.h>
#include <zeltpc5/status.h>

namespace zeltpc5 {

RefCounted::~RefCounted() = default;

QString ErrorDescription(qint32 number)
{
    switch (number) {
    case 0:
        return QString();
    case Error::InvalidProcedureCall:
        return QStringLiteral("Invalid procedure call or argument");
    case Error::Overflow:
        return QStringLiteral("Overflow");
    case Error::SubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case Error::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case Error::ObjectNotSet:
        return QStringLiteral("Object variable or With block variable not set");
    case Error::InvalidUseOfNull:
        return QStringLiteral("Invalid use of Null");
    case Error::ObjectRequired:
        return QStringLiteral("Object required");
    case Error::CannotCreateObject:
        return QStringLiteral("ActiveX component can't create object");
    case Error::MemberNotFound:
        return QStringLiteral("Object doesn't support this property or method");
    case Error::WrongArgumentCount:
        return QStringLiteral("Wrong number of arguments or invalid property assignment");
    }
    return QStringLiteral("Application-defined or object-defined error");
}

Status Status::error(qint32 number, const QString &description)
{
    Status s;
    s.m_number = number;
    s.m_description = description.isEmpty() ? ErrorDescription(number) : description;
    return s;
}

QString Status::toString() const
{
    if (ok())
        return QString();
    return QStringLiteral("%1 (%2)").arg(m_description).arg(m_number);
}

} // namespace zeltpc5
