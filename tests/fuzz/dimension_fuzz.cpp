// Measurement and number texts: ParseDimension, ParseNumber, LeadingNumber, the product
// engine's option numbers, the charge criteria's numbers, and the product session's measures
// (the demo roller shade's Width and Height set to the text, then processed).
//
// Checked: a measurement is finite and not negative, and written back as the product engine
// writes it, it reads again to within the eighth it was rounded to; ParseNumber and IsNumeric
// agree; the session answers every field of a measure option.
#include "fuzzsupport.h"

#include "common/conversions.h"
#include "host/formula/criteriadocuments.h"
#include "host/helpers/dimensiontext.h"
#include "host/productengine/productfile.h"
#include "host/productengine/productsession.h"

#include <cmath>

using namespace zeltpc5;
using namespace zeltpc5::host;
using zeltpc5::fuzzing::Check;

namespace {

std::shared_ptr<const ProductDefinition> RollerShade()
{
    static const std::shared_ptr<const ProductDefinition> product = [] {
        const ProductFileResult r =
            LoadProductFile(QStringLiteral(ZELTPC5_PRODUCTS_DIR "/roller-shade.xml"));
        Check(r.product != nullptr, "the demo product file loads");
        return r.product;
    }();
    return product;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::InitializeOnce();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    for (const QLocale &locale : {QLocale(), QLocale(QLocale::German, QLocale::Germany)}) {
        if (const auto inches = ParseDimension(text, locale)) {
            Check(std::isfinite(*inches) && *inches >= 0, "a measurement is finite, not negative");
            for (const bool decimal : {false, true}) {
                const QString written = FormatDimension(*inches, false, decimal, locale);
                const auto back = ParseDimension(written, locale);
                Check(back.has_value(), "a written measurement reads again");
                Check(std::abs(*back - *inches) <= 1.0 / 16 + 1e-9 * *inches,
                      "a written measurement keeps its value to the eighth");
            }
        }
        const auto number = ParseNumber(text, locale);
        Check(number.has_value() == IsNumeric(text, locale), "ParseNumber and IsNumeric agree");
    }
    (void)LeadingNumber(text);
    (void)ParseOptionNumber(text);
    (void)CriteriaNumber(text.toUtf8());

    ProductSession session;
    session.open(RollerShade());
    if (session.initForProcessing(RollerShade()->styles.value(0))) {
        session.setOptionValue(u"Width", text);
        session.setOptionValue(u"Height", text);
        session.processOptions();
        const int width = session.optionIndex(u"Width");
        Check(width >= 0, "the demo product has a Width");
        for (int f = int(OptionField::Sequence); f <= int(OptionField::Choices); ++f)
            (void)session.optionField(width, OptionField(f));
        (void)session.priceAfterDiscount();
    }
    return 0;
}
