// Arbitrary bytes as a product file: the schema check and the builder, then a product session
// over whatever they accept, with every style and option driven by the same input.
//
// Checked: a file is either accepted with a product or refused with a reason naming the file;
// an accepted product opens, takes each of its styles, processes values from the input, and
// answers every option field.
#include "fuzzsupport.h"

#include "host/productengine/productfile.h"
#include "host/productengine/productsession.h"

using namespace zeltpc5;
using namespace zeltpc5::host;
using zeltpc5::fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::InitializeOnce();
    const QString path = QStringLiteral("fuzz.xml");
    const ProductFileResult result =
        ParseProductFile(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), path);
    Check((result.product == nullptr) != result.error.isEmpty(),
          "a product file is either accepted or refused with a reason");
    if (!result.product) {
        Check(result.error.startsWith(path), "a refusal names the file");
        return 0;
    }
    const ProductDefinition &product = *result.product;
    ProductSession session;
    session.open(result.product);
    QStringList styles = product.styles;
    styles << QStringLiteral("No Such Style");
    for (const QString &style : styles) {
        session.initForAccess();
        if (!session.initForProcessing(style))
            continue;
        // Each option takes a choice of its own or its default, then a second pass with the
        // values the rules left; both pass through the rules and limits.
        for (const OptionDefinition &option : product.options)
            session.setOptionValue(option.name, option.choices.isEmpty() ? option.defaultValue
                                                                         : option.choices.last());
        session.processOptions();
        for (int i = 0; i < session.optionCount(); ++i) {
            for (int f = int(OptionField::Sequence); f <= int(OptionField::Choices); ++f)
                (void)session.optionField(i, OptionField(f));
        }
        (void)session.priceAfterDiscount();
        (void)session.priceLines();
    }
    session.close();
    return 0;
}
