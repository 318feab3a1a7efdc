// Record sets as a host returns them, arbitrary: every query of the discount loading, the
// charge list and the option descriptions answers with the input, and the reference host's
// own record readers read it.
//
// Checked: the readers never fail whatever comes back; the charge list keeps at least its
// empty record; the price/cost document stays a document that serialises and parses again.
#include "fuzzsupport.h"

#include "host/services/recordsxml.h"
#include "pricing/additionalcharges.h"
#include "pricing/discounts.h"
#include "pricing/optiondescriptions.h"
#include "support/fakes.h"
#include "xml/xmlaccess.h"

using namespace zeltpc5;
using zeltpc5::fuzzing::Check;

namespace {

const QString Item = QStringLiteral("<ItemData><Options>"
                                    "<Option><Name>Color</Name><Value>Red</Value></Option>"
                                    "<Option><Name>Lift</Name><Value>Cord</Value></Option>"
                                    "</Options></ItemData>");
const QString PriceCost =
    QStringLiteral("<PriceCostData><ProductID>7</ProductID><Style>Standard</Style>"
                   "<CustomerID>3</CustomerID></PriceCostData>");

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::InitializeOnce();
    const QString records =
        QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    testing::FakeHost fake;
    const auto answer = [records](VariantList &) { return Variant(records); };
    fake.sql->on(QStringLiteral("ExecuteRead"), answer)
        .on(QStringLiteral("ExecuteScaler"), [](VariantList &) { return MakeInt32(11); });
    fake.database->on(QStringLiteral("ExecuteRead"), answer);
    fake.common->on(QStringLiteral("ExecuteSelect"), answer);
    fake.options->on(QStringLiteral("GetCompanyOption"),
                     [](VariantList &args) { return args.value(2); });
    fake.connection->set(QStringLiteral("Close"), Variant());
    const HostServices host(fake.scl);

    SqlSession session = host.ZELTSQL();
    AdditionalChargeList charges;
    LoadAdditionalCharges(charges, host, session);
    Check(!charges.empty(), "the charge list keeps its empty record");

    auto priceCost = LoadXMLDocument(PriceCost);
    Check(priceCost.has_value(), "the price/cost document parses");
    LoadDiscounts(Item, priceCost->documentElement(), host, session);
    const QString written = priceCost->xml();
    Check(LoadXMLDocument(written).has_value(), "the price/cost document stays readable");

    (void)BuildOptionDescriptions(Item, host);

    for (const QString &field : {QStringLiteral("ID"), QStringLiteral("Discount"),
                                 QStringLiteral("OptionName"), QStringLiteral("id")}) {
        (void)host::RecordField(records, field);
        (void)host::FirstRecordField(records, field);
    }
    return 0;
}
