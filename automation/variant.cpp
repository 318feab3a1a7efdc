#include <zeltpc5/dispatch.h>
#include <zeltpc5/variant.h>

#include "common/conversions.h"
#include "common/currency.h"

#include <charconv>
#include <cmath>

namespace zeltpc5 {

namespace {

template <class T>
std::optional<T> fail(Status *error, qint32 number)
{
    if (error)
        *error = Status::error(number);
    return std::nullopt;
}

// Float's own shortest form, so 0.1f reads "0.1" and not its double expansion.
QString singleToText(float f)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, f);
    QString s = QString::fromLatin1(buf, int(r.ptr - buf));
    return s.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

} // namespace

Variant MakeObject(const DispatchPtr &v)
{
    return Variant::fromValue(v);
}

VariantType TypeOf(const Variant &v)
{
    if (!v.isValid())
        return VariantType::Empty;
    const int t = v.userType();
    switch (t) {
    case QMetaType::Short:
        return VariantType::Int16;
    case QMetaType::Int:
        return VariantType::Int32;
    case QMetaType::Float:
        return VariantType::Single;
    case QMetaType::Double:
        return VariantType::Double;
    case QMetaType::Bool:
        return VariantType::Bool;
    case QMetaType::QString:
        return VariantType::String;
    default:
        break;
    }
    if (t == qMetaTypeId<NullValue>())
        return VariantType::Null;
    if (t == qMetaTypeId<CurrencyValue>())
        return VariantType::Currency;
    if (t == qMetaTypeId<VariantBool>())
        return VariantType::Bool;
    if (t == qMetaTypeId<DispatchPtr>())
        return VariantType::Object;
    return VariantType::Unsupported;
}

QString TypeName(const Variant &v)
{
    switch (TypeOf(v)) {
    case VariantType::Empty:
        return QStringLiteral("Empty");
    case VariantType::Null:
        return QStringLiteral("Null");
    case VariantType::Int16:
        return QStringLiteral("Integer");
    case VariantType::Int32:
        return QStringLiteral("Long");
    case VariantType::Single:
        return QStringLiteral("Single");
    case VariantType::Double:
        return QStringLiteral("Double");
    case VariantType::Currency:
        return QStringLiteral("Currency");
    case VariantType::Bool:
        return QStringLiteral("Boolean");
    case VariantType::String:
        return QStringLiteral("String");
    case VariantType::Object: {
        const auto p = v.value<DispatchPtr>();
        return p ? p->TypeName() : QStringLiteral("Nothing");
    }
    case VariantType::Unsupported:
        break;
    }
    return QStringLiteral("Unknown");
}

std::optional<double> ToDouble(const Variant &v, Status *error)
{
    switch (TypeOf(v)) {
    case VariantType::Empty:
        return 0.0;
    case VariantType::Null:
        return fail<double>(error, Error::InvalidUseOfNull);
    // The numbers straight from the variant's storage: QVariant's own conversion goes through
    // the meta-type system, and late-bound calls convert numbers all the time.
    case VariantType::Int16:
        return double(*static_cast<const short *>(v.constData()));
    case VariantType::Int32:
        return double(*static_cast<const int *>(v.constData()));
    case VariantType::Single:
        return double(*static_cast<const float *>(v.constData()));
    case VariantType::Double:
        return *static_cast<const double *>(v.constData());
    case VariantType::Currency:
        return Currency(v.value<CurrencyValue>()).toDouble();
    case VariantType::Bool:
        return ToBool(v).value_or(false) ? -1.0 : 0.0;
    case VariantType::String:
        if (auto d = ParseNumber(v.toString()))
            return d;
        return fail<double>(error, Error::TypeMismatch);
    case VariantType::Object:
    case VariantType::Unsupported:
        break;
    }
    return fail<double>(error, Error::TypeMismatch);
}

std::optional<qint16> ToInt16(const Variant &v, Status *error)
{
    const auto d = ToDouble(v, error);
    if (!d)
        return std::nullopt;
    if (auto i = RoundToInt16(*d))
        return i;
    return fail<qint16>(error, Error::Overflow);
}

std::optional<qint32> ToInt32(const Variant &v, Status *error)
{
    if (v.userType() == QMetaType::Int)
        return *static_cast<const int *>(v.constData());
    const auto d = ToDouble(v, error);
    if (!d)
        return std::nullopt;
    if (auto i = RoundToInt32(*d))
        return i;
    return fail<qint32>(error, Error::Overflow);
}

std::optional<float> ToSingle(const Variant &v, Status *error)
{
    const auto d = ToDouble(v, error);
    if (!d)
        return std::nullopt;
    if (auto f = zeltpc5::ToSingle(*d))
        return f;
    return fail<float>(error, Error::Overflow);
}

std::optional<CurrencyValue> ToCurrency(const Variant &v, Status *error)
{
    switch (TypeOf(v)) {
    case VariantType::Currency:
        return v.value<CurrencyValue>();
    case VariantType::String:
        // Read the text directly so that no binary rounding creeps in.
        if (auto c = Currency::fromString(v.toString()))
            return c->value();
        if (IsNumeric(v.toString()))
            return fail<CurrencyValue>(error, Error::Overflow);
        return fail<CurrencyValue>(error, Error::TypeMismatch);
    default:
        break;
    }
    const auto d = ToDouble(v, error);
    if (!d)
        return std::nullopt;
    if (auto c = Currency::fromDouble(*d))
        return c->value();
    return fail<CurrencyValue>(error, Error::Overflow);
}

std::optional<bool> ToBool(const Variant &v, Status *error)
{
    switch (TypeOf(v)) {
    case VariantType::Empty:
        return false;
    case VariantType::Null:
        return fail<bool>(error, Error::InvalidUseOfNull);
    case VariantType::Bool:
        if (v.userType() == QMetaType::Bool)
            return v.toBool();
        return v.value<VariantBool>().isTrue();
    case VariantType::Int16:
    case VariantType::Int32:
    case VariantType::Single:
    case VariantType::Double:
        return v.toDouble() != 0.0;
    case VariantType::Currency:
        return v.value<CurrencyValue>().scaled != 0;
    case VariantType::String: {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        if (auto d = ParseNumber(s))
            return *d != 0.0;
        return fail<bool>(error, Error::TypeMismatch);
    }
    case VariantType::Object:
    case VariantType::Unsupported:
        break;
    }
    return fail<bool>(error, Error::TypeMismatch);
}

std::optional<QString> ToText(const Variant &v, Status *error)
{
    switch (TypeOf(v)) {
    case VariantType::Empty:
        return QString();
    case VariantType::Null:
        return fail<QString>(error, Error::InvalidUseOfNull);
    case VariantType::Int16:
    case VariantType::Int32:
        return QString::number(v.toInt());
    case VariantType::Single:
        return singleToText(v.toFloat());
    case VariantType::Double:
        return NumberToText(v.toDouble());
    case VariantType::Currency:
        return Currency(v.value<CurrencyValue>()).toString();
    case VariantType::Bool:
        return ToBool(v).value_or(false) ? QStringLiteral("True") : QStringLiteral("False");
    case VariantType::String:
        return v.toString();
    case VariantType::Object:
    case VariantType::Unsupported:
        break;
    }
    return fail<QString>(error, Error::TypeMismatch);
}

std::optional<DispatchPtr> ToObject(const Variant &v, Status *error)
{
    switch (TypeOf(v)) {
    case VariantType::Empty:
    case VariantType::Null:
        return DispatchPtr();
    case VariantType::Object:
        return v.value<DispatchPtr>();
    default:
        break;
    }
    return fail<DispatchPtr>(error, Error::TypeMismatch);
}

} // namespace zeltpc5
