// Decimal digit arithmetic shared by the amount and number formatting code.
// Rounding decisions are taken on decimal digits, never on the binary value: 2.345 is stored
// as 2.34499999..., yet a user who typed 2.345 expects it to round to 2.35.
#pragma once

#include "common/currency.h"

#include <string>

namespace zeltpc5::detail {

// The number (-1)^negative × digits × 10^exponent; digits are ASCII and may have leading zeros.
struct Decimal
{
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

// The shortest decimal that reads back as value (at most 17 digits). value must be finite.
Decimal ShortestDecimal(double value);

// The magnitude of d rounded to `decimals` places, as the digits of |d| × 10^decimals without
// leading zeros ("0" for zero).
std::string RoundedDigits(const Decimal &d, int decimals, RoundingMode mode);

} // namespace zeltpc5::detail
