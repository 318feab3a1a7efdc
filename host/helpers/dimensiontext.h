// Measurements as people write them on an order: "36", "36.5", "36 1/2", "36-1/2". The
// product engine reads option values this way and DimensionConverter hands them out.
#pragma once

#include <QLocale>
#include <QStringView>

#include <optional>

namespace zeltpc5::host {

// Inches from a measurement text, or nothing when the text is not one. The decimal point
// is "." or the locale's decimal separator; a fraction needs a whole number before it
// and must be proper (1/2, 3/8, 15/16). Negative measurements are not measurements.
std::optional<double> ParseDimension(QStringView text, const QLocale &locale = QLocale());

} // namespace zeltpc5::host
