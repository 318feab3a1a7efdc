#include "host/helpers/dimensiontext.h"

namespace zeltpc5::host {

namespace {

// Reads a run of ASCII digits; nothing when there are none or too many to be a size.
std::optional<qint64> readDigits(QStringView text, qsizetype &pos)
{
    const qsizetype start = pos;
    qint64 value = 0;
    while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
        if (pos - start >= 9)
            return std::nullopt;
        value = value * 10 + (text[pos].unicode() - u'0');
        ++pos;
    }
    if (pos == start)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<double> ParseDimension(QStringView text, const QLocale &locale)
{
    text = text.trimmed();
    qsizetype pos = 0;
    const auto whole = readDigits(text, pos);
    if (!whole)
        return std::nullopt;
    if (pos == text.size())
        return double(*whole);

    const QString decimalPoint = locale.decimalPoint();
    const QChar c = text[pos];
    if (c == u'.' || (decimalPoint.size() == 1 && c == decimalPoint[0])) {
        ++pos;
        const qsizetype fractionStart = pos;
        const auto digits = readDigits(text, pos);
        if (!digits || pos != text.size())
            return std::nullopt;
        double scale = 1.0;
        for (qsizetype i = fractionStart; i < pos; ++i)
            scale *= 10.0;
        return double(*whole) + double(*digits) / scale;
    }

    // "36 1/2" or "36-1/2": one dash, or any run of spaces, between whole and fraction.
    if (c == u'-') {
        ++pos;
    } else if (c == u' ') {
        while (pos < text.size() && text[pos] == u' ')
            ++pos;
    } else {
        return std::nullopt;
    }
    const auto numerator = readDigits(text, pos);
    if (!numerator || pos >= text.size() || text[pos] != u'/')
        return std::nullopt;
    ++pos;
    const auto denominator = readDigits(text, pos);
    if (!denominator || pos != text.size() || *denominator == 0 || *numerator == 0 ||
        *numerator >= *denominator)
        return std::nullopt;
    return double(*whole) + double(*numerator) / double(*denominator);
}

} // namespace zeltpc5::host
