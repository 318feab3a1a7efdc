#include "host/helpers/datehelper.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace zeltpc5::host {

namespace {

const QDate SerialEpoch(1899, 12, 30);
// 1 January 100 and 31 December 9999, the range of automation dates.
constexpr double MinimumSerial = -657434.0;
constexpr double MaximumSerial = 2958465.999999;

std::optional<double> serialOf(const QDateTime &dt)
{
    if (!dt.isValid())
        return std::nullopt;
    const qint64 days = SerialEpoch.daysTo(dt.date());
    const double time = dt.time().msecsSinceStartOfDay() / 86400000.0;
    return days < 0 ? double(days) - time : double(days) + time;
}

} // namespace

std::optional<double> SerialDate(const Variant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return serialOf(value.toDateTime());
    case QMetaType::QDate:
        return serialOf(value.toDate().startOfDay());
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        QDateTime dt = QDateTime::fromString(text, Qt::ISODate);
        if (!dt.isValid())
            dt = QLocale().toDateTime(text, QLocale::ShortFormat);
        if (!dt.isValid()) {
            const QDate d = QLocale().toDate(text, QLocale::ShortFormat);
            if (d.isValid())
                dt = d.startOfDay();
        }
        if (dt.isValid())
            return serialOf(dt);
        break;
    }
    default:
        break;
    }
    // Numbers (and number texts) are serial dates already.
    const auto number = ToDouble(value);
    if (number && std::isfinite(*number))
        return *number;
    return std::nullopt;
}

double DayBoundary(double serial, bool endOfRange)
{
    // The whole part counts days in both directions; the time of day is dropped.
    const double day = std::trunc(serial);
    return endOfRange ? day + 1.0 : day + 0.0;
}

const QUuid DateHelper::Clsid(QStringLiteral("{4798268F-588A-4B49-8CD2-2848CC58359D}"));

namespace {

const MemberTable &dateHelperMembers()
{
    static const MemberTable table = [] {
        MemberTable t;
        // The first member: callers reach it by name or as dispatch identifier 1.
        t.method(QStringLiteral("GetDateBoundary"), 1, 2,
                 [](Dispatch &, VariantList &args, Variant &result) {
                     ArgReader a(args);
                     const qint16 flag = a.int16(1);
                     if (!a.ok())
                         return a.status();
                     if (flag != 0 && flag != 1)
                         return Status::error(Error::InvalidProcedureCall);
                     const auto serial = SerialDate(args.at(0));
                     if (!serial)
                         return Status::error(Error::TypeMismatch);
                     if (*serial < MinimumSerial || *serial > MaximumSerial)
                         return Status::error(Error::Overflow);
                     result = MakeDouble(DayBoundary(*serial, flag == 1));
                     return Status();
                 });
        return t;
    }();
    return table;
}

} // namespace

DateHelper::DateHelper() : DispatchObject(QStringLiteral("DateHelper"), &dateHelperMembers()) {}

DispatchPtr DateHelper::create()
{
    return DispatchPtr(new DateHelper);
}

} // namespace zeltpc5::host
