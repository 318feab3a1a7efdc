// Variant values for arguments and results: a QVariant holding one of the automation
// types. Conversions follow the rules automation clients expect: numbers round halves to
// even, text is read under the user's regional settings, out-of-range is an overflow.
#pragma once

#include <zeltpc5/refcounted.h>
#include <zeltpc5/status.h>
#include <zeltpc5/values.h>

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

namespace zeltpc5 {

class Dispatch;
using DispatchPtr = Ref<Dispatch>;
using Variant = QVariant;
using VariantList = QList<Variant>;

enum class VariantType {
    Empty,
    Null,
    Int16,
    Int32,
    Single,
    Double,
    Currency,
    Bool,
    String,
    Object,
    Unsupported,
};

VariantType TypeOf(const Variant &v);
// The automation name of the type: "Empty", "Integer", "Long", "String", ...
QString TypeName(const Variant &v);

// Constructors that say which automation type they make.
inline Variant MakeInt16(qint16 v)
{
    return Variant::fromValue(v);
}
inline Variant MakeInt32(qint32 v)
{
    return Variant::fromValue(v);
}
inline Variant MakeSingle(float v)
{
    return Variant::fromValue(v);
}
inline Variant MakeDouble(double v)
{
    return Variant::fromValue(v);
}
inline Variant MakeCurrency(CurrencyValue v)
{
    return Variant::fromValue(v);
}
inline Variant MakeBool(bool v)
{
    return Variant::fromValue(VariantBool(v));
}
inline Variant MakeString(const QString &v)
{
    return Variant(v);
}
Variant MakeObject(const DispatchPtr &v);
inline Variant MakeNull()
{
    return Variant::fromValue(NullValue{});
}
inline Variant MakeEmpty()
{
    return Variant();
}

// Conversions; on failure they give nothing and, when asked, the error (13 type
// mismatch, 6 overflow, 94 invalid use of null).
std::optional<qint16> ToInt16(const Variant &v, Status *error = nullptr);
std::optional<qint32> ToInt32(const Variant &v, Status *error = nullptr);
std::optional<float> ToSingle(const Variant &v, Status *error = nullptr);
std::optional<double> ToDouble(const Variant &v, Status *error = nullptr);
std::optional<CurrencyValue> ToCurrency(const Variant &v, Status *error = nullptr);
std::optional<bool> ToBool(const Variant &v, Status *error = nullptr);
std::optional<QString> ToText(const Variant &v, Status *error = nullptr);
// ToObject is declared in dispatch.h, where Dispatch is complete.

} // namespace zeltpc5
