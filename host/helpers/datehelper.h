// DateHelper: turns the start or end date of a date range into the moment the present is
// compared with, so that an end date includes its whole day.
#pragma once

#include <zeltpc5/dispatch.h>

#include <QUuid>

#include <optional>

namespace zeltpc5::host {

// Dates cross the boundary as serial day numbers: 0.0 is 30 December 1899 00:00, the
// whole part counts days and the fraction is the time of day. Before day 0 the fraction
// still counts forwards from midnight (-1.25 is 29 December 1899 06:00).
std::optional<double> SerialDate(const Variant &value);

// The start of the serial date's day (flag 0) or of the following day (flag 1).
double DayBoundary(double serial, bool endOfRange);

class DateHelper : public DispatchObject
{
public:
    static const QUuid Clsid;
    static DispatchPtr create();

private:
    DateHelper();
};

} // namespace zeltpc5::host
