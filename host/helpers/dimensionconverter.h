// DimensionConverter: a measurement text of an option value as a number, for windows
// that compare sizes across lines.
#pragma once

#include <zeltpc5/dispatch.h>

#include <QUuid>

namespace zeltpc5::host {

class DimensionConverter : public DispatchObject
{
public:
    static const QUuid Clsid;
    // The only conversion offered: a measurement in inches.
    static constexpr qint16 ToInches = 4;

    static DispatchPtr create();

private:
    DimensionConverter();
};

} // namespace zeltpc5::host
