#include "host/helpers/dimensionconverter.h"

#include "host/helpers/dimensiontext.h"

namespace zeltpc5::host {

const QUuid DimensionConverter::Clsid(QStringLiteral("{40DBD189-76D5-4731-B64D-F2ABF77CEC3F}"));

namespace {

const MemberTable &converterMembers()
{
    static const MemberTable table = [] {
        MemberTable t;
        // The first member: callers reach it by name or as dispatch identifier 1.
        t.method(QStringLiteral("ConvertDimension"), 1, 2,
                 [](Dispatch &, VariantList &args, Variant &result) {
                     ArgReader a(args);
                     const QString text = a.text(0);
                     const qint16 code = a.int16(1);
                     if (!a.ok())
                         return a.status();
                     if (code != DimensionConverter::ToInches)
                         return Status::error(Error::InvalidProcedureCall);
                     // A text that is no measurement counts as no size at all.
                     result = MakeSingle(float(ParseDimension(text).value_or(0.0)));
                     return Status();
                 });
        return t;
    }();
    return table;
}

} // namespace

DimensionConverter::DimensionConverter()
    : DispatchObject(QStringLiteral("DimensionConverter"), &converterMembers())
{}

DispatchPtr DimensionConverter::create()
{
    return DispatchPtr(new DimensionConverter);
}

} // namespace zeltpc5::host
