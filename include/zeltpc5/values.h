// Storage forms of the automation value types that have no Qt counterpart.
// They travel inside a Variant (QVariant) between a host and the component.
#pragma once

#include <QMetaType>
#include <QtGlobal>

namespace zeltpc5 {

// A currency amount as stored: a signed 64-bit count of ten-thousandths.
// Arithmetic and formatting live in zeltpc5::Currency; this is only the wire form.
struct CurrencyValue
{
    qint64 scaled = 0;
    friend bool operator==(CurrencyValue, CurrencyValue) = default;
};

// A 16-bit boolean: true is -1, false is 0. Any non-zero value reads as true.
struct VariantBool
{
    qint16 value = 0;
    constexpr VariantBool() = default;
    constexpr explicit VariantBool(bool b) : value(b ? qint16(-1) : qint16(0)) {}
    constexpr bool isTrue() const { return value != 0; }
    friend bool operator==(VariantBool a, VariantBool b) { return a.isTrue() == b.isTrue(); }
};

inline constexpr qint16 VariantTrue = -1;
inline constexpr qint16 VariantFalse = 0;

// The explicit null value, as opposed to an empty (never assigned) Variant.
struct NullValue
{
    friend bool operator==(NullValue, NullValue) { return true; }
};

} // namespace zeltpc5

Q_DECLARE_METATYPE(zeltpc5::CurrencyValue)
Q_DECLARE_METATYPE(zeltpc5::VariantBool)
Q_DECLARE_METATYPE(zeltpc5::NullValue)
