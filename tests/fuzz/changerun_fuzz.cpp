// A whole bulk change over one quote line whose documents are arbitrary: the demo quote's
// first line (a roller shade) with the input as its item document, its price/cost document
// and the new Room Location, through the replace engine's boundary against the reference
// host (its database, product engine and formula engine). The input is
// "item document \0 price/cost document \0 new value"; an empty part keeps the demo's.
//
// Checked: the run ends; the line's new documents are either the ones handed in or readable
// documents; every change text is one markup element, so that no value from a document or
// from the user can add markup of its own.
#include "fuzzsupport.h"

#include "referencehost.h"

#include "engine/engines.h"
#include "xml/xmlaccess.h"

#include <zeltpc5/classregistry.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;
using zeltpc5::fuzzing::Check;

namespace {

ReferenceHost &Reference()
{
    static ReferenceHost *reference = new ReferenceHost();
    return *reference;
}

QString Data(const DispatchPtr &engine, const char *field)
{
    return ToText(Call(engine, u"GetLineData", {MakeInt16(0), QString::fromLatin1(field)}).value)
        .value_or(QString());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::InitializeOnce();
    static const std::vector<host::QuoteLine> demo =
        Reference().quoteLines(QStringLiteral("Q-1001"));
    Check(!demo.empty(), "the demo quote has lines");

    const QList<QByteArray> parts = fuzzing::SplitInput(data, size, 3);
    host::QuoteLine line = demo.front();
    if (!parts.at(0).isEmpty())
        line.itemXML = QString::fromUtf8(parts.at(0));
    if (!parts.at(1).isEmpty())
        line.priceCostXML = QString::fromUtf8(parts.at(1));
    const QString value =
        parts.at(2).isEmpty() ? QStringLiteral("Den") : QString::fromUtf8(parts.at(2));

    const Ref<Library> library = Library::create();
    library->Initialize(Reference().sharedCodeLibrary());
    const DispatchPtr engine(library->CreateReplaceEngine());
    AddLines(engine, {line});
    const CallResult run =
        Call(engine, u"ChangeOptionValue", {QStringLiteral("Room Location"), value, line.uniqueID});
    Check(run.ok(), "the run answers");

    const QString newItem = Data(engine, "newitemxml");
    const QString newPriceCost = Data(engine, "newpricecostxml");
    if (newItem != Data(engine, "originalitemxml"))
        Check(LoadXMLDocument(newItem).has_value(), "a changed item document is readable");
    if (newPriceCost != Data(engine, "originalpricecostxml"))
        Check(LoadXMLDocument(newPriceCost).has_value(),
              "a changed price/cost document is readable");

    const qint16 count = ToInt16(Call(engine, u"CountChanges", {MakeInt16(0)}).value).value_or(0);
    for (qint16 j = 0; j < count; ++j) {
        const QString text = ToText(Call(engine, u"GetChange", {MakeInt16(0), MakeInt16(j)}).value)
                                 .value_or(QString());
        if (text.isEmpty())
            continue;
        Check(text.startsWith(QStringLiteral("<TextBlock")) &&
                  text.count(QStringLiteral("<TextBlock")) == 1 &&
                  text.endsWith(QStringLiteral("</TextBlock>")),
              "a change text is one markup element");
    }
    return 0;
}
